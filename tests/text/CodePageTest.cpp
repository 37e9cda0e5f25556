#include <gtest/gtest.h>
#include <windows.h>
#include <stdlib.h>
#include <string.h>
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

TEST(CodePage, NoneIsRefused)
{
    SetLastError(0);
    EXPECT_TRUE(ToWide(NULL) == NULL);
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_TRUE(ToMultiByte(NULL) == NULL);
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

TEST(CodePage, LongMixedTextRoundTrips)
{
    std::wstring text;
    for (int i = 0; i < 2000; ++i)
        text += (i % 3 == 0) ? L"\u6f22" : (i % 3 == 1) ? L"\uff76" : L"x";
    char* bytes = ToMultiByte(text.c_str());
    ASSERT_TRUE(bytes != NULL);
    EXPECT_EQ(667u * 2 + 1333u, strlen(bytes));  // kanji take two bytes, the rest one
    wchar_t* wide = ToWide(bytes);
    ASSERT_TRUE(wide != NULL);
    EXPECT_EQ(text, std::wstring(wide));
    free(wide);
    free(bytes);
}
