#include <gtest/gtest.h>
#include "support/StoreFiles.h"
#include <string.h>
#include "text/MimeWords.h"

namespace {

std::string Decode(const std::string& source, MimeCharset raw = kCharsetNone, size_t capacity = 1024)
{
    std::string out(capacity + 8, '\x7f');
    size_t length = DecodeMimeWords(source.c_str(), raw, &out[0], capacity);
    EXPECT_EQ(length, strlen(out.c_str()));
    EXPECT_EQ('\x7f', out[capacity]);
    return out.substr(0, length);
}

}  // namespace

TEST(MimeWords, WordsRawTextInTheArticlesCharsetAndTheOutputLimit)
{
    // "日本語" in UTF-8: B and Q, upper and lower case, a language tag; in
    // ISO-2022-JP spelt in mixed case, and in Shift_JIS and EUC-JP.
    EXPECT_EQ("Subject: " + kSjisNihongo, Decode("Subject: =?UTF-8?B?5pel5pys6Kqe?="));
    for (const char* word : {"=?utf-8?b?5pel5pys6Kqe?=", "=?Utf-8*ja?Q?=E6=97=A5=e6=9c=ac=E8=AA=9E?=",
                             "=?Iso-2022-Jp?B?GyRCRnxLXDhsGyhC?=", "=?windows-31j?B?k/qWe4zq?=", "=?EUC-JP?B?xvzL3Ljs?="})
        EXPECT_EQ(kSjisNihongo, Decode(word)) << word;
    EXPECT_EQ("a b", Decode("=?us-ascii?q?a_b?="));
    EXPECT_EQ("caf" + kGeta, Decode("=?ISO-8859-1?Q?caf=E9?="));

    EXPECT_EQ("Re: " + kSjisNihongo + " x", Decode("Re: =?UTF-8?B?5pel?=  =?UTF-8?B?5pys?=\t=?UTF-8?B?6Kqe?= x"));
    // One character cut between two words of one charset.
    EXPECT_EQ(kSjisNihongo.substr(0, 2), Decode("=?UTF-8?Q?=E6=97?= =?UTF-8?Q?=A5?="));
    // Text between words stays, and so do the blanks around it.
    EXPECT_EQ(kSjisNihongo.substr(0, 2) + " - " + kSjisNihongo.substr(2, 2),
              Decode("=?UTF-8?B?5pel?= - =?UTF-8?B?5pys?="));

    // Malformed words stay.
    for (const char* kept : {"=?big5?B?pKSk5A==?=", "=?UTF-8?X?abc?=", "=?UTF-8?B?5p el?=", "=?UTF-8?B?5pel",
                             "=??B?YQ==?=", "a=?b", "=?UTF-8?B?5p*l?="})
        EXPECT_EQ(kept, Decode(kept)) << kept;
    // A broken last group gives what its whole bytes say.
    EXPECT_EQ("ab", Decode("=?UTF-8?B?YWJ?="));
    EXPECT_EQ("a", Decode("=?UTF-8?B?YQ?="));
    // Invalid UTF-8 inside a word; a NUL decoded is dropped.
    EXPECT_EQ(kGeta + "x", Decode("=?UTF-8?Q?=FFx=00?="));

    // Raw text is read in the article's charset.
    const std::string utf8 = "Subject: \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e";
    EXPECT_EQ("Subject: " + kSjisNihongo, Decode(utf8, kCharsetUtf8));
    EXPECT_EQ(utf8, Decode(utf8, kCharsetNone));   // as it comes
    for (MimeCharset charset : {kCharsetNone, kCharsetUtf8})   // escapes are JIS whatever the charset
        EXPECT_EQ("Subject: " + kSjisNihongo, Decode("Subject: \x1b$BF|K\\8l\x1b(B", charset));
    EXPECT_EQ("x " + kSjisNihongo, Decode("x \xc6\xfc\xcb\xdc\xb8\xec", kCharsetEucJp));

    // 8 bytes of room: "ab", then two double-byte characters, then nothing after the one that did not fit.
    EXPECT_EQ("ab" + kSjisNihongo.substr(0, 4), Decode("ab=?UTF-8?B?5pel5pys6Kqe?=c", kCharsetNone, 8));
    EXPECT_EQ("ab" + kSjisNihongo.substr(0, 4), Decode("ab=?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=c", kCharsetNone, 8));
    EXPECT_EQ("", Decode("=?UTF-8?B?5pel?=", kCharsetNone, 2));
}
