// The article view driven as a user would, checked against its line table,
// its notifications and the pixels it draws.
#include "ViewTestWindow.h"
#include "views/ArticleText.h"
#include "views/ArticleView.h"
#include "support/ImportPatch.h"
#include <algorithm>

namespace {

typedef std::vector<std::wstring> Lines;

// Windows fills the extent array only for the characters that fit; Wine
// fills it all. This one leaves the rest as garbage, as Windows may.
ImportPatch* g_measure;
BOOL WINAPI MeasureAsDocumented(HDC dc, LPCWSTR text, int count, int maxExtent, LPINT fit, LPINT dx, LPSIZE size)
{
    typedef BOOL(WINAPI * Measure)(HDC, LPCWSTR, int, int, LPINT, LPINT, LPSIZE);
    BOOL ok = ((Measure)g_measure->Original())(dc, text, count, maxExtent, fit, dx, size);
    if (ok && fit && dx)
        for (int i = *fit; i < count; ++i)
            dx[i] = 0;
    return ok;
}

const wchar_t kArticle[] =
    L"Path: news.example.jp\r\nFrom: 山田太郎 <taro@example.jp>\r\n"
    L"Date: Sat, 5 Dec 2026 15:08:39 +0900\r\nSubject: 巡回のテスト\r\n\r\n"
    L"本文です。\r\n> 引用です。\r\n＞ 全角の引用\r\n > 空白の後\r\n";

// A body of `count` lines that differ, so that a scroll shows.
std::wstring Numbered(int count)
{
    std::wstring text = L"From: a\r\n\r\n";
    for (int i = 0; i < count; ++i)
        text += L"行" + std::to_wstring(i) + L" 日本語\r\n";
    return text;
}

class ArticleViewTest : public ViewTest {
protected:
    HWND View() override { return view_.Window(); }
    void TearDown() override { view_.Destroy(); }
    void Open(const std::wstring& text, BOOL showHeader = FALSE, int width = 640, int height = 240)
    {
        view_.Destroy();
        RECT r = { 0, 0, width, height };
        ASSERT_TRUE(view_.Create(GetModuleHandleW(NULL), parent_, 104, r, showHeader));
        view_.AttachText(&text_);
        text_.Attach(&view_);
        view_.SetFont(font_);
        view_.SetColors(RGB(255, 0, 0), RGB(0, 0, 255));
        text_.SetText(wcsdup(text.c_str()));
        view_.Show(SW_SHOW);
        DialogDriver::PumpFor(0);
        ASSERT_TRUE(view_.LayoutValid());
    }
    // The display lines before the blank page that follows the text.
    Lines Shown()
    {
        Lines lines;
        for (UINT i = 0; i + view_.PageSize() < view_.LineCount(); ++i)
            lines.push_back(std::wstring(view_.Lines()[i].text, view_.Lines()[i].length));
        return lines;
    }
    int Width(const std::wstring& text)
    {
        WindowDc dc(NULL);
        SelectedObject font(dc.Get(), font_);
        SIZE size = {};
        GetTextExtentPoint32W(dc.Get(), text.c_str(), (int)text.size(), &size);
        return size.cx;
    }

    ArticleView view_;
    ArticleText text_;
};

TEST_F(ArticleViewTest, HeaderHidingAndQuotedLines)
{
    Open(kArticle);
    Lines expected = { L"From: 山田太郎 <taro@example.jp>", L"Subject: 巡回のテスト", L"",
                       L"本文です。", L"> 引用です。", L"＞ 全角の引用", L" > 空白の後" };
    EXPECT_EQ(expected, Shown());
    EXPECT_EQ(2u, view_.HeaderLines());
    EXPECT_EQ(0, ScrollMax(view_.ScrollBar()));   // it all fits
    // Header and quote lines are drawn in their colours, the others in black.
    const COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255), inks[] = { red, red, 0, 0, blue, blue, 0 };
    for (int row : { 0, 1, 3, 4, 5, 6 }) {
        LONG top = 1 + row * view_.LineHeight();
        std::vector<COLORREF> line = Pixels({ 1, top, 300, top + (LONG)view_.LineHeight() });
        EXPECT_GT(std::count(line.begin(), line.end(), inks[row]), 20) << row;
    }

    view_.SetShowHeader(TRUE);
    UpdateWindow(view_.Window());
    EXPECT_EQ(4u, view_.HeaderLines());
    EXPECT_EQ(9u, Shown().size());

    // Without an empty line everything is header.
    Open(L"From: a\r\nDate: b\r\nSubject: c\r\nno body\r\n");
    EXPECT_EQ((Lines{ L"From: a", L"Subject: c" }), Shown());
    EXPECT_EQ(2u, view_.HeaderLines());
    // A form feed line becomes a page of blank lines.
    Open(L"From: a\r\n\r\none\r\n\x0Crest\r\ntwo\r\n");
    Lines lines = Shown();
    ASSERT_EQ(4u + view_.PageSize(), lines.size());
    EXPECT_EQ(Lines(view_.PageSize(), L""), Lines(lines.begin() + 3, lines.end() - 1));
    EXPECT_EQ(L"two", lines.back());
}

TEST_F(ArticleViewTest, WrapsBeforeTheCharacterThatReachesTheWidthAndAlwaysAdvances)
{
    std::wstring subject = L"Subject: " + std::wstring(30, L'題'), quote = L">" + std::wstring(30, L'引');
    std::wstring para, date = L"Date: " + std::wstring(30, L'日');
    for (int i = 0; i < 12; ++i)
        para += L"日本語の文章と English words ";
    // A text area of 100 pixels: 117 less the border and the scroll bar.
    std::wstring text = L"From: a\r\n" + date + L"\r\n" + subject + L"\r\n\r\n" + para + L"\r\n" + quote
                        + L"\r\nend\r\n";
    Open(text, FALSE, 117, 240);
    Lines lines = Shown();
    // A line whose text goes on in the next was cut where one more character would reach the width. Joined
    // again, the lines give back the text without its hidden Date line; a quote stays quoted to its end.
    const DisplayLine* table = view_.Lines();
    std::wstring joined;
    bool quoted = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        bool goesOn = i + 1 < lines.size() && table[i + 1].text == table[i].text + table[i].length;
        if (joined.empty() || joined.back() == L'\n')
            quoted = !lines[i].empty() && lines[i][0] == L'>';
        EXPECT_LT(Width(lines[i]), 100) << i;
        if (goesOn) {
            EXPECT_GE(Width(lines[i] + lines[i + 1][0]), 100) << i;
        }
        EXPECT_EQ(quoted, table[i].quoted != 0) << i;
        joined += lines[i] + (goesOn ? L"" : L"\n");
    }
    EXPECT_EQ(L"From: a\n" + subject + L"\n\n" + para + L"\n" + quote + L"\nend\n", joined);
    EXPECT_EQ(std::find(lines.begin(), lines.end(), L"") - lines.begin(), (ptrdiff_t)view_.HeaderLines());

    // A character wider than the area still gets a line, in areas of 4 and of 0 pixels.
    for (int width : { 22, 18 }) {
        Open(L"From: x\r\n\r\n日本\r\n", TRUE, width, 240);
        EXPECT_EQ((Lines{ L"F", L"r", L"o", L"m", L":", L" ", L"x", L"", L"日", L"本" }), Shown());
    }

    // The same lines from the extents Windows fills, those of the characters that fit.
    ImportPatch patch("gdi32.dll", "GetTextExtentExPointW", (void*)MeasureAsDocumented);
    ASSERT_TRUE(patch.Active());
    g_measure = &patch;
    Open(text, FALSE, 117, 240);
    EXPECT_EQ(lines, Shown());
}

TEST_F(ArticleViewTest, ScrollsStayInsideTheTextNewTextStartsAtItsTopAndLineScrollsLeaveNothingStale)
{
    Open(Numbered(60));
    EXPECT_EQ((int)(view_.LineCount() - 2 * view_.PageSize()), ScrollMax(view_.ScrollBar()));
    Scroll(SB_THUMBPOSITION, 30);
    EXPECT_EQ(30u, view_.TopLine());
    EXPECT_EQ(30, GetScrollPos(view_.ScrollBar(), SB_CTL));
    Scroll(SB_THUMBPOSITION, 65535);
    EXPECT_EQ(view_.LineCount() - view_.PageSize(), view_.TopLine());

    Scroll(SB_THUMBPOSITION, 0);
    UINT step = view_.PageSize() - 2;
    Keys({ VK_NEXT, VK_SPACE, VK_RIGHT });
    EXPECT_EQ(3 * step, view_.TopLine());
    Keys({ VK_PRIOR, VK_LEFT, VK_UP, VK_UP });   // page mode: Up pages
    EXPECT_EQ(0u, view_.TopLine());
    Keys({ VK_TAB, VK_RETURN, VK_ESCAPE });
    EXPECT_EQ((std::vector<UINT>{ 2, 2, 1 }), Codes());
    // Without auto next paging stops at the blank page.
    Keys({ VK_DOWN }, 20);
    EXPECT_EQ(view_.LineCount() - view_.PageSize(), view_.TopLine());
    EXPECT_TRUE(Codes().empty());

    // New text starts at its top; none shows nothing.
    text_.SetText(wcsdup(kArticle));
    EXPECT_EQ(0u, view_.TopLine());
    UpdateWindow(view_.Window());
    EXPECT_EQ(7u, Shown().size());
    text_.SetText(NULL);
    UpdateWindow(view_.Window());
    EXPECT_TRUE(Shown().empty());

    // The strip under the last whole row stays blank: line scrolls move whole
    // rows only, so a line drawn there would go stale. After each scroll the
    // screen is what a full repaint of the same position draws, strip and all.
    int lh = (int)view_.LineHeight();
    // Five whole rows and more than half of one.
    Open(Numbered(40), FALSE, 640, 2 + 5 * lh + lh * 2 / 3);
    ASSERT_EQ(5u, view_.PageSize());
    RECT client;
    GetClientRect(view_.Window(), &client);
    client.right = 600;
    std::vector<COLORREF> strip = Pixels({ 1, 1 + 5 * lh, 600, 1 + 5 * lh + lh * 2 / 3 });
    EXPECT_EQ((ptrdiff_t)strip.size(), std::count(strip.begin(), strip.end(), RGB(255, 255, 255)));
    view_.SetLineScrollKeys(TRUE);
    for (WPARAM key : { VK_DOWN, VK_DOWN, VK_DOWN, VK_UP }) {
        Key(key);
        std::vector<COLORREF> scrolled = Pixels(client);
        InvalidateRect(view_.Window(), NULL, TRUE);
        UpdateWindow(view_.Window());
        EXPECT_TRUE(scrolled == Pixels(client)) << "after key " << key << ", top line " << view_.TopLine();
    }
    EXPECT_EQ(2u, view_.TopLine());
}

} // namespace
