// Mutated lines from a fixed seed: whatever the bytes, both conversions stay
// inside their destination, terminate it, and never grow the text.
#include <gtest/gtest.h>
#include <string.h>
#include "text/Jis.h"

namespace {

struct Random {
    unsigned long long state;
    unsigned Next()
    {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return (unsigned)(state >> 33);
    }
};

const char* const kSeeds[] = {
    "Subject: =?ISO-2022-JP?B?GyRCRnxLXDhsJE4lRiU5JUgbKEI=?= =?iso-2022-jp?B?YWJj?=\r\n",
    "\x1b$BF|K\\8l$N%F%9%H\x1b(B \x1b(I\x36\x40\x1b(J \x1bK\xb0\xa1\x1bH\r\n",
    "From: =?ISO-2022-JP?B?YQ==?= <a@b> =?ISO-2022-JP?B?YWI?x\r\n",
};

// Bytes that steer the decoders into their special paths.
const unsigned char kInteresting[] = {0x1b, '$', '(', 'B', '@', 'I', 'J', 'H', 'K', '=', '?',
                                      0x30, 0x21, 0x7e, 0xa1, 0xfe, 0x80, '\r', '\n', 'Y', 'Q'};

const size_t kGuard = 32;
const unsigned char kGuardByte = 0xA5;

}  // namespace

TEST(ConversionBounds, MutatedInputsStayInsideTheDestination)
{
    Random random = {20261206ULL};
    unsigned char source[160];
    unsigned char buffer[160 + kGuard];
    for (int round = 0; round < 300000; ++round) {
        const char* seed = kSeeds[random.Next() % 3];
        size_t length = strlen(seed);
        if (length > sizeof source - 1)
            length = sizeof source - 1;
        memcpy(source, seed, length);
        int mutations = 1 + random.Next() % 6;
        for (int m = 0; m < mutations; ++m) {
            unsigned r = random.Next();
            size_t at = (r >> 8) % length;
            if (r & 1)
                source[at] = kInteresting[(r >> 1) % sizeof kInteresting];
            else
                source[at] = (unsigned char)(r >> 16);
            if (source[at] == 0)
                source[at] = 1;
        }
        // Cut the source anywhere, so that every construct meets the end.
        size_t cut = random.Next() % (length + 1);
        source[cut] = 0;

        size_t capacity = random.Next() % (cut + 2);
        memset(buffer, kGuardByte, sizeof buffer);
        size_t written = (round & 1)
            ? JisToSjis((const char*)source, (char*)buffer, capacity)
            : DecodeEncodedWords((char*)buffer, capacity, (const char*)source);
        for (size_t i = capacity; i < sizeof buffer; ++i)
            ASSERT_EQ(kGuardByte, buffer[i]) << "round " << round << " wrote past " << capacity;
        if (capacity == 0) {
            ASSERT_EQ(0u, written);
            continue;
        }
        ASSERT_LT(written, capacity);
        ASSERT_EQ(0, buffer[written]);
        ASSERT_EQ(written, strlen((const char*)buffer));
        ASSERT_LE(written, cut);
    }
}
