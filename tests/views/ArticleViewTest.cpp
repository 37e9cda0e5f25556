// The article view driven as a user would: keys, scroll messages, the
// clipboard command; checked against its line table, its notifications to
// the parent, the clipboard and the pixels it draws.
#include <gtest/gtest.h>
#include "ViewTestWindow.h"
#include "views/ArticleText.h"
#include "views/ArticleView.h"
#include <stdlib.h>
#include <string>
#include <wchar.h>
#include <stdio.h>

namespace {

wchar_t* Dup(const std::wstring& text)
{
    wchar_t* copy = (wchar_t*)malloc((text.size() + 1) * sizeof(wchar_t));
    wcscpy(copy, text.c_str());
    return copy;
}

std::wstring LineText(const DisplayLine& line) { return std::wstring(line.text, line.length); }

class ArticleViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterViewClasses();
        font_ = MakeViewFont(14);
        parent_.ClearNotifications();
    }
    void TearDown() override
    {
        text_.Attach(NULL);
        view_.Destroy();
        text_.Destroy();
        DeleteObject(font_);
    }
    // A view of `width` x `height` pixels at the parent's origin, shown.
    void Open(const std::wstring& text, BOOL showHeader = FALSE, int width = 640, int height = 240)
    {
        RECT r = { 0, 0, width, height };
        ASSERT_TRUE(view_.Create(GetModuleHandleW(NULL), parent_.Handle(), 104, r, showHeader));
        view_.AttachText(&text_);
        text_.Attach(&view_);
        view_.SetFont(font_);
        view_.SetColors(RGB(255, 0, 0), RGB(0, 0, 255));
        text_.SetText(Dup(text));
        view_.Show(SW_SHOW);
        PumpMessages();
        ASSERT_TRUE(view_.LayoutValid());
    }
    void Key(WPARAM key)
    {
        SendMessageW(view_.Window(), WM_KEYDOWN, key, 0);
        UpdateWindow(view_.Window());
    }
    std::vector<UINT> Codes() const
    {
        std::vector<UINT> codes;
        for (const Notification& n : parent_.Notifications()) {
            EXPECT_EQ(104u, n.id);
            EXPECT_EQ(view_.Window(), n.from);
            codes.push_back(n.code);
        }
        return codes;
    }
    // Display lines before the blank page that follows the text.
    std::vector<std::wstring> Shown() const
    {
        std::vector<std::wstring> lines;
        for (UINT i = 0; i + view_.PageSize() < view_.LineCount(); ++i)
            lines.push_back(LineText(view_.Lines()[i]));
        return lines;
    }
    int Width(const wchar_t* text, int length)
    {
        HDC dc = GetDC(NULL);
        HGDIOBJ old = SelectObject(dc, font_);
        SIZE size = {};
        GetTextExtentPoint32W(dc, text, length, &size);
        SelectObject(dc, old);
        ReleaseDC(NULL, dc);
        return size.cx;
    }

    ViewTestWindow& parent_ = SharedTestWindow();
    ArticleView view_;
    ArticleText text_;
    HFONT font_;
};

const wchar_t kArticle[] =
    L"Path: news.example.jp\r\n"
    L"From: 山田太郎 <taro@example.jp>\r\n"
    L"Date: Sat, 5 Dec 2026 15:08:39 +0900\r\n"
    L"Subject: 巡回のテスト\r\n"
    L"\r\n"
    L"本文です。\r\n"
    L"> 引用です。\r\n"
    L"＞ 全角の引用\r\n"
    L" > 空白の後の記号\r\n";

TEST_F(ArticleViewTest, HidesHeadersButFromAndSubject)
{
    Open(kArticle, FALSE);
    std::vector<std::wstring> expected = {
        L"From: 山田太郎 <taro@example.jp>", L"Subject: 巡回のテスト", L"",
        L"本文です。", L"> 引用です。", L"＞ 全角の引用", L" > 空白の後の記号" };
    EXPECT_EQ(expected, Shown());
    EXPECT_EQ(2u, view_.HeaderLines());
    const DisplayLine* lines = view_.Lines();
    EXPECT_EQ(0, lines[0].quoted);
    EXPECT_EQ(0, lines[3].quoted);
    EXPECT_EQ(1, lines[4].quoted);
    EXPECT_EQ(1, lines[5].quoted);
    EXPECT_EQ(0, lines[6].quoted);
    // The blank page after the text, then the end marker.
    UINT count = view_.LineCount();
    EXPECT_EQ(7u + view_.PageSize(), count);
    EXPECT_EQ(0u, lines[count - 1].length);
    EXPECT_EQ(nullptr, lines[count].text);

    // Showing the header lays out again with every header line.
    view_.SetShowHeader(TRUE);
    EXPECT_FALSE(view_.LayoutValid());
    UpdateWindow(view_.Window());
    EXPECT_EQ(4u, view_.HeaderLines());
    EXPECT_EQ(L"Path: news.example.jp", Shown()[0]);
    EXPECT_EQ(9u, Shown().size());
}

TEST_F(ArticleViewTest, WrapsWhereTheNextCharacterWouldReachTheWidth)
{
    // A text area of 100 pixels: 117 minus the border and the scroll bar.
    std::wstring para;
    for (int i = 0; i < 12; ++i)
        para += L"日本語の文章と English words ";
    Open(L"From: a\r\n\r\n" + para + L"\r\nend\r\n", FALSE, 117, 240);
    std::vector<std::wstring> lines = Shown();
    ASSERT_GT(lines.size(), 10u);
    std::wstring joined;
    for (size_t i = 2; i + 1 < lines.size(); ++i) {
        const std::wstring& line = lines[i];
        ASSERT_FALSE(line.empty());
        EXPECT_LT(Width(line.c_str(), (int)line.size()), 100) << i;
        joined += line;
        if (i + 2 < lines.size()) {
            std::wstring longer = line + lines[i + 1][0];
            EXPECT_GE(Width(longer.c_str(), (int)longer.size()), 100) << i;
        }
    }
    EXPECT_EQ(para, joined);
    EXPECT_EQ(L"end", lines.back());
}

TEST_F(ArticleViewTest, WrappedLinesKeepTheirHeaderAndQuoteDecision)
{
    std::wstring longSubject = L"Subject: ";
    std::wstring longDate = L"Date: ";
    std::wstring quote = L">";
    for (int i = 0; i < 30; ++i) {
        longSubject += L"題";
        longDate += L"日";
        quote += L"引";
    }
    Open(L"From: a\r\n" + longDate + L"\r\n" + longSubject + L"\r\n\r\n" + quote + L"\r\nplain\r\n",
         FALSE, 217, 240);
    std::vector<std::wstring> lines = Shown();
    // The Date line and its continuations are hidden; the Subject's stay.
    std::wstring subject;
    size_t i = 1;
    for (; i < lines.size() && !lines[i].empty(); ++i)
        subject += lines[i];
    EXPECT_EQ(longSubject, subject);
    EXPECT_GE(i, 3u);
    EXPECT_EQ(i, view_.HeaderLines());
    // Every continuation of the quoted line is quoted, the next line is not.
    std::wstring quoted;
    size_t j = i + 1;
    for (; j < lines.size() && view_.Lines()[j].quoted; ++j)
        quoted += lines[j];
    EXPECT_EQ(quote, quoted);
    EXPECT_GE(j - (i + 1), 3u);
    EXPECT_EQ(L"plain", lines[j]);
}

TEST_F(ArticleViewTest, FormFeedLineBecomesABlankPage)
{
    Open(L"From: a\r\n\r\none\r\n\x0Cignored rest\r\ntwo\r\n");
    UINT page = view_.PageSize();
    std::vector<std::wstring> lines = Shown();
    ASSERT_EQ(3u + page + 1u, lines.size());
    EXPECT_EQ(L"one", lines[2]);
    for (UINT k = 0; k < page; ++k)
        EXPECT_EQ(L"", lines[3 + k]);
    EXPECT_EQ(L"two", lines[3 + page]);
}

TEST_F(ArticleViewTest, TextWithoutEmptyLineIsAllHeader)
{
    Open(L"From: a\r\nDate: b\r\nSubject: c\r\nbody without separator\r\n");
    std::vector<std::wstring> expected = { L"From: a", L"Subject: c" };
    EXPECT_EQ(expected, Shown());
    EXPECT_EQ(2u, view_.HeaderLines());
}

TEST_F(ArticleViewTest, CharacterWiderThanTheAreaStillAdvances)
{
    // Text areas of 4 and of 0 pixels: every character gets a line.
    for (int width : { 22, 18 }) {
        Open(L"From: x\r\n\r\n日本\r\nab\r\n", TRUE, width, 240);
        std::vector<std::wstring> lines = Shown();
        std::vector<std::wstring> expected = { L"F", L"r", L"o", L"m", L":", L" ", L"x",
                                               L"", L"日", L"本", L"a", L"b" };
        EXPECT_EQ(expected, lines) << width;
        view_.Destroy();
        parent_.ClearNotifications();
    }
}

TEST_F(ArticleViewTest, ScrollRangeKeepsEveryThumbPositionInsideTheTable)
{
    Open(kArticle);
    int low = -1, high = -1;
    GetScrollRange(view_.ScrollBar(), SB_CTL, &low, &high);
    EXPECT_EQ(0, low);
    EXPECT_EQ(0, high);
    SendMessageW(view_.Window(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 500), 0);
    EXPECT_EQ(view_.LineCount() - view_.PageSize(), view_.TopLine());
    view_.Destroy();

    std::wstring text = L"From: a\r\n\r\n";
    for (int i = 0; i < 100; ++i)
        text += L"行\r\n";
    Open(text);
    GetScrollRange(view_.ScrollBar(), SB_CTL, &low, &high);
    EXPECT_EQ((int)(view_.LineCount() - 2 * view_.PageSize()), high);
    SendMessageW(view_.Window(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 30), 0);
    EXPECT_EQ(30u, view_.TopLine());
    EXPECT_EQ(30, GetScrollPos(view_.ScrollBar(), SB_CTL));
    SendMessageW(view_.Window(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 65535), 0);
    EXPECT_EQ(view_.LineCount() - view_.PageSize(), view_.TopLine());
}

TEST_F(ArticleViewTest, KeysPageAndNotify)
{
    std::wstring text = L"From: a\r\n\r\n";
    for (int i = 0; i < 60; ++i)
        text += L"行\r\n";
    Open(text);
    UINT page = view_.PageSize();
    ASSERT_GT(page, 3u);
    Key(VK_NEXT);
    EXPECT_EQ(page - 2, view_.TopLine());
    Key(VK_SPACE);
    Key(VK_RIGHT);
    EXPECT_EQ(3 * (page - 2), view_.TopLine());
    Key(VK_PRIOR);
    Key(VK_LEFT);
    EXPECT_EQ(page - 2, view_.TopLine());
    Key(VK_UP);   // page mode: Up is page up
    EXPECT_EQ(0u, view_.TopLine());
    Key(VK_UP);
    EXPECT_EQ(0u, view_.TopLine());
    Key(VK_TAB);
    Key(VK_RETURN);
    Key(VK_ESCAPE);
    std::vector<UINT> expected = { 2, 2, 1 };
    EXPECT_EQ(expected, Codes());

    // Without auto next, paging stops at the page of blank lines.
    parent_.ClearNotifications();
    for (int i = 0; i < 20; ++i)
        Key(VK_NEXT);
    EXPECT_EQ(view_.LineCount() - page, view_.TopLine());
    EXPECT_TRUE(Codes().empty());

    // With it, paging on the last page asks for the next article.
    view_.SetAutoNext(TRUE);
    Key(VK_NEXT);
    EXPECT_EQ(std::vector<UINT>{ 2 }, Codes());
}

TEST_F(ArticleViewTest, ShortTextPageDown)
{
    Open(kArticle);
    view_.SetAutoNext(TRUE);
    Key(VK_NEXT);
    EXPECT_EQ(std::vector<UINT>{ 2 }, Codes());
    EXPECT_EQ(0u, view_.TopLine());

    parent_.ClearNotifications();
    view_.SetAutoNext(FALSE);
    Key(VK_NEXT);
    EXPECT_EQ(7u, view_.TopLine());   // the blank page after the seven lines
    Key(VK_NEXT);
    EXPECT_EQ(7u, view_.TopLine());
    EXPECT_TRUE(Codes().empty());
}

TEST_F(ArticleViewTest, LineScrollDropsScrollsUntilPainted)
{
    std::wstring text = L"From: a\r\n\r\n";
    for (int i = 0; i < 60; ++i)
        text += L"行\r\n";
    Open(text);
    view_.SetLineScrollKeys(TRUE);
    SendMessageW(view_.Window(), WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(view_.Window(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(1u, view_.TopLine());
    UpdateWindow(view_.Window());
    SendMessageW(view_.Window(), WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(2u, view_.TopLine());
    UpdateWindow(view_.Window());
    SendMessageW(view_.Window(), WM_KEYDOWN, VK_UP, 0);
    SendMessageW(view_.Window(), WM_VSCROLL, SB_LINEUP, 0);
    EXPECT_EQ(1u, view_.TopLine());
    UpdateWindow(view_.Window());
    SendMessageW(view_.Window(), WM_VSCROLL, SB_LINEUP, 0);
    UpdateWindow(view_.Window());
    SendMessageW(view_.Window(), WM_VSCROLL, SB_LINEUP, 0);
    EXPECT_EQ(0u, view_.TopLine());

    // At the end with auto next, Down asks for the next article.
    SendMessageW(view_.Window(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 65535), 0);
    UpdateWindow(view_.Window());
    view_.SetAutoNext(TRUE);
    Key(VK_DOWN);
    EXPECT_EQ(std::vector<UINT>{ 2 }, Codes());
}

TEST_F(ArticleViewTest, PagesOfFewerThanThreeRowsStillMove)
{
    std::wstring text = L"From: a\r\n\r\n";
    for (int i = 0; i < 10; ++i)
        text += L"行\r\n";
    for (int height : { 30, 16 }) {   // two rows, one row
        Open(text, FALSE, 640, height);
        UINT page = view_.PageSize();
        EXPECT_EQ(height == 30 ? 2u : 1u, page);
        UINT last = 0;
        for (int i = 0; i < 40; ++i) {
            Key(VK_NEXT);
            EXPECT_TRUE(view_.TopLine() > last || view_.TopLine() == view_.LineCount() - page);
            last = view_.TopLine();
        }
        EXPECT_EQ(view_.LineCount() - page, view_.TopLine());
        for (int i = 0; i < 40; ++i)
            Key(VK_PRIOR);
        EXPECT_EQ(0u, view_.TopLine());
        view_.Destroy();
    }
}

TEST_F(ArticleViewTest, NewTextStartsOver)
{
    std::wstring text = L"From: a\r\n\r\n";
    for (int i = 0; i < 60; ++i)
        text += L"行\r\n";
    Open(text);
    Key(VK_NEXT);
    ASSERT_NE(0u, view_.TopLine());
    text_.SetText(Dup(L"From: b\r\n\r\nnew\r\n"));
    EXPECT_EQ(0u, view_.TopLine());
    EXPECT_EQ(nullptr, view_.Lines());
    UpdateWindow(view_.Window());
    std::vector<std::wstring> expected = { L"From: b", L"", L"new" };
    EXPECT_EQ(expected, Shown());
    // No text at all: nothing but the blank page.
    text_.SetText(NULL);
    UpdateWindow(view_.Window());
    EXPECT_TRUE(Shown().empty());
    Key(VK_NEXT);
}

TEST_F(ArticleViewTest, CopyPutsTheWholeTextOnTheClipboard)
{
    Open(kArticle, FALSE);
    view_.Copy(parent_.Handle());
    ASSERT_TRUE(OpenClipboard(parent_.Handle()));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(nullptr, data);
    const wchar_t* copied = (const wchar_t*)GlobalLock(data);
    EXPECT_EQ(std::wstring(kArticle), std::wstring(copied));
    GlobalUnlock(data);
    CloseClipboard();
}

// Header lines in the header colour, drawn twice; quoted lines in the quote
// colour; the body in black.
TEST_F(ArticleViewTest, DrawsHeaderAndQuoteColours)
{
    Open(kArticle, FALSE);
    InvalidateRect(view_.Window(), NULL, TRUE);
    UpdateWindow(view_.Window());
    HDC dc = GetDC(view_.Window());
    auto count = [&](int row, COLORREF colour) {
        int n = 0;
        int top = 1 + row * (int)view_.LineHeight();
        for (int y = top; y < top + (int)view_.LineHeight(); ++y)
            for (int x = 1; x < 300; ++x)
                if (GetPixel(dc, x, y) == colour)
                    ++n;
        return n;
    };
    EXPECT_GT(count(0, RGB(255, 0, 0)), 20);    // From
    EXPECT_GT(count(1, RGB(255, 0, 0)), 20);    // Subject
    EXPECT_EQ(0, count(3, RGB(255, 0, 0)));     // body
    EXPECT_GT(count(3, RGB(0, 0, 0)), 20);
    EXPECT_GT(count(4, RGB(0, 0, 255)), 20);    // "> 引用です。"
    EXPECT_GT(count(5, RGB(0, 0, 255)), 20);    // fullwidth sign
    EXPECT_EQ(0, count(6, RGB(0, 0, 255)));
    ReleaseDC(view_.Window(), dc);
}

} // namespace
