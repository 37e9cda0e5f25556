#include <gtest/gtest.h>
#include <windows.h>
#include <stdlib.h>
#include "text/CodePage.h"

// "日本語ﾃｽﾄ" (three kanji and three half-width katakana) and the empty
// string, which comes back as an allocated empty string.
TEST(CodePage, JapaneseAndEmptyTextRoundTripALeadByteAtTheEndStaysInside)
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
    // A lead byte with no trail byte: still a terminated string no longer than its input.
    wchar_t* cut = ToWide("ab\x93");
    ASSERT_TRUE(cut != NULL);
    EXPECT_LE(wcslen(cut), 3u);
    EXPECT_EQ(L'a', cut[0]);
    free(cut);
}
