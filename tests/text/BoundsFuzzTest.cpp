// Mutated lines from a fixed seed: whatever the bytes, every conversion stays
// inside its destination and terminates it; the JIS ones never grow the text,
// and the article converter hands out only lines that fit a stored line.
#include <gtest/gtest.h>
#include <string.h>
#include <random>
#include "text/ArticleConverter.h"
#include "text/Charset.h"
#include "text/Jis.h"
#include "text/MimeWords.h"

namespace {

const char* const kSeeds[] = {
    "Subject: =?ISO-2022-JP?B?GyRCRnxLXDhsJE4lRiU5JUgbKEI=?= =?iso-2022-jp?B?YWJj?=\r\n",
    "\x1b$BF|K\\8l$N%F%9%H\x1b(B \x1b(I\x36\x40\x1b(J \x1bK\xb0\xa1\x1bH\r\n",
    "From: =?ISO-2022-JP?B?YQ==?= <a@b> =?ISO-2022-JP?B?YWI?x\r\n",
    "Subject: =?UTF-8?B?5pel5pys6Kqe?= =?utf-8*ja?q?=E6=97=A5_x?= \xe6\x97\xa5 =?EUC-JP?B?xvzL3A==?=",
    "=E3=83=86=E3=82= \xc6\xfc\x8e\xb1\x8f\xb0\xa1\xf0\x9f\x98\x80\x93\xfa\xa3 =?ISO-8859-1?Q?=A3?=",
};

// Bytes that steer the decoders into their special paths.
const unsigned char kInteresting[] = {0x1b, '$', '(', 'B', '@', 'I', 'J', 'H', 'K', '=', '?',
                                      0x30, 0x21, 0x7e, 0xa1, 0xfe, 0x80, '\r', '\n', 'Y', 'Q',
                                      0xe6, 0xc3, 0xf0, 0xbf, 0x8e, 0x8f, ' ', '_', 'q', 'b'};

const size_t kGuard = 32;
const unsigned char kGuardByte = 0xA5;

// Fails the test on any line that would not fit a stored line.
struct BoundedLines : ConvertedLines {
    BOOL HeaderLine(char* line, BOOL) override { return BodyLine(line); }
    BOOL BodyLine(char* line) override
    {
        EXPECT_LT(strlen(line), (size_t)kConvertedLineSize - 2);
        return TRUE;
    }
};

const char* const kHeaderTypes[] = {
    "Content-Type: text/plain; charset=UTF-8", "Content-Type: text/plain; charset=\"euc-jp\"",
    "Content-Type: text/plain; charset=iso-8859-1", "Content-Type: multipart/mixed; boundary=b",
    "Content-Type: text/plain; charset=Shift_JIS", "Content-Type: text/plain",
};
const char* const kEncodings[] = {"Content-Transfer-Encoding: base64", "Content-Transfer-Encoding: quoted-printable",
                                  "Content-Transfer-Encoding: 8bit"};

}  // namespace

TEST(ConversionBounds, MutatedInputsStayInsideTheDestinationAndArticleConverterLinesAlwaysFit)
{
    std::mt19937 random(20261206);
    unsigned char source[160];
    unsigned char buffer[160 + kGuard];
    for (int round = 0; round < 300000; ++round) {
        const char* seed = kSeeds[random() % (sizeof kSeeds / sizeof kSeeds[0])];
        size_t length = strlen(seed);
        if (length > sizeof source - 1)
            length = sizeof source - 1;
        memcpy(source, seed, length);
        int mutations = 1 + random() % 6;
        for (int m = 0; m < mutations; ++m) {
            unsigned r = random();
            size_t at = (r >> 8) % length;
            source[at] = (r & 1) ? kInteresting[(r >> 1) % sizeof kInteresting] : (unsigned char)(r >> 16);
            if (source[at] == 0)
                source[at] = 1;
        }
        // Cut the source anywhere, so that every construct meets the end.
        size_t cut = random() % (length + 1);
        source[cut] = 0;

        size_t capacity = random() % (cut + 2);
        memset(buffer, kGuardByte, sizeof buffer);
        const char* in = (const char*)source;
        char* out = (char*)buffer;
        size_t written;
        switch (round % 4) {
        case 0: written = JisToSjis(in, out, capacity); break;
        case 1: written = DecodeEncodedWords(out, capacity, in); break;
        case 2: written = DecodeMimeWords(in, (MimeCharset)(random() % 8), out, capacity); break;
        default: {
            size_t consumed;
            MimeCharset charset = (MimeCharset)(random() % 8);
            written = ConvertToSjis(charset, in, cut, (random() & 1) != 0, out, capacity, &consumed);
            ASSERT_LE(consumed, cut);
            ASSERT_LE(written, 2 * consumed + 2) << "round " << round;
            break;
        }
        }
        for (size_t i = capacity; i < sizeof buffer; ++i)
            ASSERT_EQ(kGuardByte, buffer[i]) << "round " << round << " wrote past " << capacity;
        if (capacity == 0) {
            ASSERT_EQ(0u, written);
            continue;
        }
        ASSERT_LT(written, capacity);
        ASSERT_EQ(written, strlen((const char*)buffer));
        if (round % 4 < 2) {
            ASSERT_LE(written, cut);
        }
    }

    // The article converter, fed random bodies under random headers.
    random.seed(6122026);
    static ArticleConverter converter;
    char line[1024];
    for (int article = 0; article < 3000; ++article) {
        converter.Construct(TRUE);
        converter.BeginArticle();
        BoundedLines lines;
        converter.PutHeaderLine(kHeaderTypes[random() % 6], FALSE, &lines);
        converter.PutHeaderLine(kEncodings[random() % 3], FALSE, &lines);
        ASSERT_TRUE(converter.EndHeader(&lines));
        int count = 1 + random() % 40;
        for (int i = 0; i < count; ++i) {
            // Long runs of random bytes, seeds, boundaries and base64.
            size_t length = random() % 1024;
            for (size_t j = 0; j < length; ++j) {
                unsigned r = random();
                line[j] = (r & 3) == 0 ? (char)kInteresting[(r >> 2) % sizeof kInteresting]
                        : (r & 3) == 1 ? "5pel6Kqe"[(r >> 2) % 8]
                                       : (char)(r >> 8);
                if (!line[j])
                    line[j] = 'x';
            }
            line[length] = '\0';
            if (random() % 8 == 0)
                strcpy(line, random() & 1 ? "--b" : "");
            ASSERT_TRUE(converter.PutBodyLine(line, &lines));
        }
        ASSERT_TRUE(converter.EndBody(&lines));
    }
}
