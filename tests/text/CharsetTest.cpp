#include <gtest/gtest.h>
#include "support/StoreFiles.h"
#include "support/ImportPatch.h"
#include "text/Charset.h"

namespace {

ImportPatch* g_toMultiByte;

// The device's WideCharToMultiByte: it knows only these flags.
int WINAPI DeviceWideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wide, int count, LPSTR bytes,
                                     int size, LPCCH defaultChar, LPBOOL usedDefault)
{
    if (flags & ~(DWORD)(WC_COMPOSITECHECK | WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    return ((decltype(&WideCharToMultiByte))g_toMultiByte->Original())(codePage, flags, wide, count, bytes, size,
                                                                        defaultChar, usedDefault);
}

// The text written and the source bytes consumed.
typedef std::pair<std::string, size_t> Converted;

Converted Convert(MimeCharset charset, const std::string& source, bool final = true,
                  size_t capacity = 256)
{
    std::string out(capacity + 8, '\x7f');
    size_t consumed;
    size_t length = ConvertToSjis(charset, source.data(), source.size(), final, &out[0], capacity,
                                  &consumed);
    EXPECT_LT(length, capacity);
    EXPECT_EQ('\0', out[length]);
    EXPECT_EQ('\x7f', out[capacity]) << "wrote past the capacity";
    return Converted(out.substr(0, length), consumed);
}

std::string Text(MimeCharset charset, const std::string& source) { return Convert(charset, source).first; }

}  // namespace

TEST(Charset, NamesInAnyCaseAndTheAliasesIntoShiftJisGetaForWhatItLacksOrCannotReadAndTheOutputLimit)
{
    struct { const char* name; MimeCharset charset; } names[] = {
        {"ISO-2022-JP", kCharsetJis}, {"utf-8", kCharsetUtf8}, {"Shift_JIS", kCharsetShiftJis},
        {"SHIFT-JIS", kCharsetShiftJis}, {"x-sjis", kCharsetShiftJis}, {"CP932", kCharsetShiftJis},
        {"windows-31j", kCharsetShiftJis}, {"EUC-JP", kCharsetEucJp}, {"US-ASCII", kCharsetAscii},
        {"UTF8", kCharsetUtf8}, {"x-euc-jp", kCharsetEucJp},
        {"iso-8859-1", kCharsetLatin1}, {"big5", kCharsetUnknown}, {"utf-8x", kCharsetUnknown},
        {"", kCharsetNone}};
    for (const auto& n : names)
        EXPECT_EQ(n.charset, CharsetFromName(n.name, strlen(n.name))) << n.name;

    ImportPatch patch("kernel32.dll", "WideCharToMultiByte", (void*)DeviceWideCharToMultiByte);
    ASSERT_TRUE(patch.Active());
    g_toMultiByte = &patch;
    EXPECT_EQ("abc " + kSjisNihongo, Text(kCharsetUtf8, "abc \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e"));
    EXPECT_EQ("\xb1", Text(kCharsetUtf8, "\xef\xbd\xb1"));   // half-width katakana
    // Wave dash, double vertical line, minus, cent, pound, not, em dash, yen, overline, no-break space; a
    // byte-order mark is dropped.
    EXPECT_EQ("\x81\x60\x81\x61\x81\x7c\x81\x91\x81\x92\x81\xca" "\x81\x5c\x81\x8f\x81\x50 a\x81\x8f",
              Text(kCharsetUtf8, "\xe3\x80\x9c\xe2\x80\x96\xe2\x88\x92\xc2\xa2\xc2\xa3\xc2\xac"
                                 "\xe2\x80\x94\xc2\xa5\xe2\x80\xbe\xc2\xa0\xef\xbb\xbf" "a\xef\xbf\xa5"));
    // No best fit: e-acute, a hangul syllable, a C1 control, an emoji.
    EXPECT_EQ("caf" + kGeta + kGeta + kGeta + "!" + kGeta,
              Text(kCharsetUtf8, "caf\xc3\xa9\xed\x95\x9c\xc2\x80!\xf0\x9f\x98\x80"));

    // Invalid UTF-8 becomes geta.
    EXPECT_EQ(kGeta + "(", Text(kCharsetUtf8, "\xc3("));
    EXPECT_EQ(kGeta + "a" + kGeta, Text(kCharsetUtf8, "\xff" "a\x80"));
    EXPECT_EQ(kGeta + kGeta + kGeta, Text(kCharsetUtf8, "\xed\xa0\x80"));   // a surrogate
    EXPECT_EQ(kGeta + kGeta, Text(kCharsetUtf8, "\xc0\xaf"));               // overlong
    // An unfinished character waits unless the text has ended.
    EXPECT_EQ(Converted("a", 1), Convert(kCharsetUtf8, "a\xe6\x97", false));
    EXPECT_EQ(Converted("a" + kGeta, 3), Convert(kCharsetUtf8, "a\xe6\x97", true));

    // Output stops before a character that does not fit.
    const std::string nihongo = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e";
    EXPECT_EQ(Converted(kSjisNihongo.substr(0, 2), 3), Convert(kCharsetUtf8, nihongo, true, 4));
    EXPECT_EQ(Converted(kSjisNihongo.substr(0, 4), 6), Convert(kCharsetUtf8, nihongo, true, 5));
    EXPECT_EQ(Converted("ab\x81\x92", 3), Convert(kCharsetLatin1, "ab\xa3\xa3", true, 6));

    EXPECT_EQ("a" + kSjisNihongo.substr(0, 4) + "\xb1", Text(kCharsetEucJp, "a\xc6\xfc\xcb\xdc\x8e\xb1"));
    EXPECT_EQ(kGeta + "x", Text(kCharsetEucJp, "\x8f\xb0\xa1x"));   // JIS X 0212
    // A user-defined row and an empty cell; the row code page 932 took over.
    EXPECT_EQ(kGeta + kGeta + "\xed\x40", Text(kCharsetEucJp, "\xf5\xa1\xa2\xaf\xf9\xa1"));
    EXPECT_EQ(kGeta + "a", Text(kCharsetEucJp, "\xc6" "a"));
    EXPECT_EQ(kSjisNihongo + "\xb1", Text(kCharsetShiftJis, kSjisNihongo + "\xb1"));
    EXPECT_EQ(kGeta + " " + kGeta, Text(kCharsetShiftJis, "\x81 \xfd"));
    EXPECT_EQ("", Convert(kCharsetShiftJis, "\x93", false).first);
    EXPECT_EQ("caf" + kGeta, Text(kCharsetAscii, "caf\xe9"));
    EXPECT_EQ("caf" + kGeta + "\x81\x92\x81\x7e", Text(kCharsetLatin1, "caf\xe9\xa3\xd7"));
}
