#include <gtest/gtest.h>
#include <windows.h>
#include <stdlib.h>
#include "text/CodePage.h"

// "日本語ﾃｽﾄ" in Shift_JIS: three kanji and three half-width katakana.
static const char kSjis[] = "\x93\xfa\x96\x7b\x8c\xea\xc3\xbd\xc4";
static const wchar_t kWide[] = L"\u65e5\u672c\u8a9e\uff83\uff7d\uff84";

TEST(CodePage, JapaneseTextRoundTrips)
{
    wchar_t* wide = ToWide(kSjis);
    ASSERT_TRUE(wide != NULL);
    EXPECT_STREQ(kWide, wide);
    char* back = ToMultiByte(wide);
    ASSERT_TRUE(back != NULL);
    EXPECT_STREQ(kSjis, back);
    free(back);
    free(wide);
}

TEST(CodePage, EmptyStringIsAnAllocatedEmptyString)
{
    wchar_t* wide = ToWide("");
    ASSERT_TRUE(wide != NULL);
    EXPECT_EQ(L'\0', wide[0]);
    char* bytes = ToMultiByte(L"");
    ASSERT_TRUE(bytes != NULL);
    EXPECT_EQ('\0', bytes[0]);
    free(bytes);
    free(wide);
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

