#include <gtest/gtest.h>
#include <windows.h>
#include <stdlib.h>
#include "text/CodePage.h"

// "日本語ﾃｽﾄ" (three kanji and three half-width katakana) and the empty
// string, which comes back as an allocated empty string.
TEST(CodePage, JapaneseAndEmptyTextRoundTrip)
{
    const char* sjis[] = {"\x93\xfa\x96\x7b\x8c\xea\xc3\xbd\xc4", ""};
    const wchar_t* wide[] = {L"\u65e5\u672c\u8a9e\uff83\uff7d\uff84", L""};
    for (int i = 0; i < 2; ++i) {
        wchar_t* made = ToWide(sjis[i]);
        ASSERT_TRUE(made != NULL);
        EXPECT_STREQ(wide[i], made);
        char* back = ToMultiByte(made);
        ASSERT_TRUE(back != NULL);
        EXPECT_STREQ(sjis[i], back);
        free(back);
        free(made);
    }
}

TEST(CodePage, LeadByteAtTheEndStaysInsideTheBlock)
{
    // A Shift_JIS lead byte with no trail byte: the result must still be a
    // terminated string no longer than its input.
    wchar_t* wide = ToWide("ab\x93");
    ASSERT_TRUE(wide != NULL);
    EXPECT_LE(wcslen(wide), 3u);
    EXPECT_EQ(L'a', wide[0]);
    free(wide);
}
