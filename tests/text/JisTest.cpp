#include <gtest/gtest.h>
#include <string>
#include <string.h>
#include "text/Jis.h"

namespace {

std::string Jis(const std::string& source, size_t capacity = 1024)
{
    std::string out(capacity + 1, '\x7f');
    size_t length = JisToSjis(source.c_str(), &out[0], capacity);
    EXPECT_EQ(length, strlen(out.c_str()));
    return out.substr(0, length);
}

std::string Decode(const std::string& source, size_t capacity = 1024)
{
    std::string out(capacity + 1, '\x7f');
    size_t length = DecodeEncodedWords(&out[0], capacity, source.c_str());
    EXPECT_EQ(length, strlen(out.c_str()));
    return out.substr(0, length);
}

// "日本語のテスト" in ISO-2022-JP and in Shift_JIS.
const std::string kJisNihongo = "\x1b$BF|K\\8l$N%F%9%H\x1b(B";
const std::string kSjisNihongo = "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x58\x83\x67";

}  // namespace

TEST(Jis, KanjiKanaAndAsciiBrokenInputTheOutputLimitInPlaceAndEncodedWordsInBothSpellingsPaddedOrBroken)
{
    EXPECT_EQ("Re: " + kSjisNihongo + " (1)", Jis("Re: " + kJisNihongo + " (1)"));
    // "漢字かな" introduced by the older ESC $ @, ended by ESC ( J.
    EXPECT_EQ("\x8a\xbf\x8e\x9a\x82\xa9\x82\xc8.", Jis("\x1b$@4A;z$+$J\x1b(J."));
    // ESC K / ESC H switch as well.
    EXPECT_EQ("\x88\x9fz", Jis("\x1bK\x30\x21\x1bHz"));
    // EUC-JP bytes inside kanji mode: 0xB0 0xA1 is the pair 0x30 0x21.
    EXPECT_EQ("\x88\x9f", Jis("\x1b$B\xb0\xa1"));
    // Half-width "ｶﾀｶﾅ" and kanji keep line ends and blanks, with no return to ASCII.
    EXPECT_EQ("\xb6\xc0\xb6\xc5\r\n", Jis("\x1b(I\x36\x40\x36\x45\r\n"));
    EXPECT_EQ("\x88\x9f\r\n", Jis("\x1b$B\x30\x21\r\n"));
    EXPECT_EQ("\x88\x9f \x88\x9f", Jis("\x1b$B\x30\x21 \x30\x21"));

    // An unknown or cut escape is an ordinary byte.
    for (const char* kept : {"\x1bZab", "a\x1b", "a\x1b$", "a\x1b("})
        EXPECT_EQ(kept, Jis(kept));
    // A first byte at the end of the source is written alone.
    EXPECT_EQ("\x30", Jis("\x1b$B\x30"));
    // An odd kanji byte before the return to ASCII does not swallow it.
    EXPECT_EQ("\x88\x9f\x30" "abc", Jis("\x1b$B\x30\x21\x30\x1b(Babc"));
    // A pair with a bad second byte is copied as it stands.
    EXPECT_EQ("\x30\x80", Jis("\x1b$B\x30\x80"));

    // Output stays inside the destination.
    EXPECT_EQ("ab", Jis("abcdef", 3));
    EXPECT_EQ("", Jis("abc", 1));
    // A kanji pair is never cut in half.
    EXPECT_EQ("\x88\x9f", Jis("\x1b$B\x30\x21\x30\x21", 4));

    char inPlace[64] = "Re: \x1b$BF|K\\8l\x1b(B!\r\n";
    JisToSjis(inPlace, inPlace, sizeof inPlace);
    EXPECT_STREQ("Re: \x93\xfa\x96\x7b\x8c\xea!\r\n", inPlace);

    // Encoded words into JIS.
    for (const char* word : {"Subject: =?ISO-2022-JP?B?YWJj?=", "Subject: =?iso-2022-jp?B?YWJj?="})
        EXPECT_EQ("Subject: abc", Decode(word));
    // Other spellings, the Q encoding, and a source that ends inside the prefix stay.
    for (const char* kept : {"Subject: =?Iso-2022-Jp?B?YWJj?=", "=?ISO-2022-JP?Q?abc?=", "a=?b", "x=?ISO-2022", "x=?"})
        EXPECT_EQ(kept, Decode(kept));

    std::string line = "Subject: =?ISO-2022-JP?B?GyRCRnxLXDhsJE4lRiU5JUgbKEI=?= (2)\r\n";
    std::string decoded = Decode(line);
    EXPECT_EQ("Subject: " + kJisNihongo + " (2)\r\n", decoded);
    EXPECT_EQ("Subject: " + kSjisNihongo + " (2)\r\n", Jis(decoded));
    // Two words keep the blank between them.
    EXPECT_EQ("\x1b$BF|K\\8l\x1b(B \x1b$B%K%e!<%9\x1b(B",
              Decode("=?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?= =?iso-2022-jp?B?GyRCJUslZSE8JTkbKEI=?="));

    EXPECT_EQ("ab", Decode("=?ISO-2022-JP?B?YWI=?="));
    EXPECT_EQ("a", Decode("=?ISO-2022-JP?B?YQ==?="));
    // Unpadded short last groups still end at "?=" and keep what follows.
    EXPECT_EQ("ab.", Decode("=?ISO-2022-JP?B?YWI?=."));
    EXPECT_EQ("a.", Decode("=?ISO-2022-JP?B?YQ?=."));
    // A lone character or surplus padding yields nothing, not a NUL.
    EXPECT_EQ("abc.", Decode("=?ISO-2022-JP?B?YWJjY?=."));
    EXPECT_EQ("a.", Decode("=?ISO-2022-JP?B?YQ======?=."));
    // Decoded NUL bytes would cut the line: they are dropped.
    EXPECT_EQ("x.", Decode("=?ISO-2022-JP?B?AAAAeA==?=."));

    // '?' not followed by '=' ends the result there, as does a source that
    // ends inside the word or inside a group.
    for (const char* cut : {"=?ISO-2022-JP?B?YWJj?x rest", "=?ISO-2022-JP?B?YWJj?", "=?ISO-2022-JP?B?YWJj"})
        EXPECT_EQ("abc", Decode(cut)) << cut;
    EXPECT_EQ("ab", Decode("=?ISO-2022-JP?B?YWI"));
    EXPECT_EQ("", Decode("=?ISO-2022-JP?B?"));
    // Output stays inside the destination.
    EXPECT_EQ("Subj", Decode("Subject: =?ISO-2022-JP?B?YWJj?=", 5));
    EXPECT_EQ("S: ", Decode("S: =?ISO-2022-JP?B?YWJj?=", 5));  // "abc" does not fit whole

    char subject[80] = "Subject: =?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=\r\n";
    DecodeEncodedWords(subject, sizeof subject, subject);
    EXPECT_STREQ("Subject: \x1b$BF|K\\8l\x1b(B\r\n", subject);
}
