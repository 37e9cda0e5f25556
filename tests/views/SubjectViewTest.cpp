// The subject view over group files written by the store, driven with keys,
// scroll messages, clicks and header notifications.
#include "ViewTestWindow.h"
#include "store/DataFolder.h"
#include "views/SubjectView.h"
#include "support/RegistrySandbox.h"
#include "support/StoreFiles.h"
#include <commctrl.h>

namespace {

const wchar_t kGroup[] = L"fj.test.views";
const wchar_t kWidthKey[] = L"Software\\tidewell\\Pelora\\SubjectView";

class SubjectViewTest : public ViewTest {
protected:
    HWND View() override { return view_->Window(); }
    void TearDown() override { Close(); }
    void Open(int count, int height = 240)
    {
        Close();   // its close writes the header of the group
        ASSERT_TRUE(WriteGroup(count));
        OpenView(height);
    }
    // The log and the filter file; the index is rebuilt from them as at a
    // start. Article N is "subject N" from "sender N".
    // With `parents`, article N answers article parents[N] (-1: none).
    bool WriteGroup(DWORD count, const std::string& filter = std::string(),
                    const std::vector<int>& parents = std::vector<int>())
    {
        std::string log;
        for (DWORD n = 0; n < count; ++n) {
            std::string number = std::to_string(n);
            int parent = n < parents.size() ? parents[n] : -1;
            std::string thread = "\nMessage-ID: <" + number + "@x>";
            if (parent >= 0)
                thread += "\nReferences: <" + std::to_string(parent) + "@x>";
            log += ArticleBlock("From: sender " + number + "\nSubject: subject " + number + thread
                                    + "\nDate: Sat, 5 Dec 2026 15:08:39 +0900", n + 1, "body");
        }
        DeleteFileW(File(L".idx").c_str());
        return WriteBytes(File(L".flt"), filter) && WriteBytes(File(L".log"), log)
               && WriteBytes(data_.File(L"group.dat"), Sjis(kGroup) + "\r\n")
               && InitializeDataFolder(data_.Path().c_str());
    }
    std::wstring File(const wchar_t* extension) { return data_.File(kGroup + std::wstring(extension)); }
    void OpenView(int height = 240, BOOL showRead = FALSE)
    {
        Close();
        view_ = new SubjectView();
        RECT r = { 0, 0, 640, height };
        ASSERT_TRUE(view_->Create(GetModuleHandleW(NULL), parent_, 106, r, showRead, 1));
        ASSERT_TRUE(view_->OpenGroup(data_.Path().c_str(), kGroup));
        view_->SetFont(font_, 14);
        view_->Show(SW_SHOW);
        DialogDriver::PumpFor(0);
        ASSERT_TRUE(view_->LayoutValid());
    }
    void Close()
    {
        if (view_) {
            view_->List().Close();
            DestroyWindow(view_->Window());
            delete view_;
            view_ = NULL;
        }
    }
    void Click(int row, bool twice = false)
    {
        LPARAM at = MAKELPARAM(100, view_->ListRect().top + row * 14 + 5);
        SendMessageW(view_->Window(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        if (twice)
            SendMessageW(view_->Window(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        UpdateWindow(view_->Window());
    }
    DWORD Top() { return view_->List().Top(); }
    DWORD Row() { return view_->List().Selection(); }
    DWORD Position() { return Top() + Row(); }
    std::string Selected()
    {
        const IndexRecord* r = view_->List().SelectedRecord();
        return r ? std::string(r->subject) : std::string();
    }
    int ColumnWidth(int item)
    {
        HDITEMW hd = {};
        hd.mask = HDI_WIDTH;
        SendMessageW(view_->Header(), HDM_GETITEMW, item, (LPARAM)&hd);
        return hd.cxy;
    }
    RegistrySandbox sandbox_;   // no column widths of an earlier test
    TempDataFolder data_;
    SubjectView* view_ = NULL;
};

TEST_F(SubjectViewTest, ScrollRangeKeepsThumbPositionsOnTheListAndTheCursorTurnsPagesOrRowsOfAnyPageSize)
{
    Open(40);
    EXPECT_EQ(15u, view_->List().PageSize());
    EXPECT_EQ(25, ScrollMax(view_->ScrollBar()));
    Scroll(SB_THUMBPOSITION, 20);
    EXPECT_EQ("subject 20", Selected());
    Scroll(SB_THUMBPOSITION, 60000);
    EXPECT_EQ(25u, Top());
    EXPECT_EQ(15u, view_->List().LoadedCount());
    EXPECT_EQ(25, GetScrollPos(view_->ScrollBar(), SB_CTL));

    Open(5);
    EXPECT_EQ(0, ScrollMax(view_->ScrollBar()));
    Scroll(SB_THUMBPOSITION, 3);
    EXPECT_EQ(0u, Top());

    // The cursor turns pages and keeps the article.
    Open(40);
    Keys({ VK_DOWN }, 15);
    EXPECT_EQ(13u, Top());
    EXPECT_EQ(1u, Row());
    EXPECT_EQ("subject 14", Selected());
    Keys({ VK_UP, VK_UP });
    EXPECT_EQ(0u, Top());
    EXPECT_EQ("subject 13", Selected());
    // Next row moves on even where Down only turns the page.
    Click(14);
    EXPECT_TRUE(view_->NextRow());
    EXPECT_EQ("subject 15", Selected());
    Keys({ VK_DOWN }, 60);
    EXPECT_EQ("subject 39", Selected());
    EXPECT_FALSE(view_->NextRow());
    Codes();
    // Paging, and the end of the list.
    Scroll(SB_THUMBPOSITION, 0);
    Key(VK_NEXT);
    EXPECT_EQ(13u, Top());
    Key(VK_RIGHT);
    EXPECT_EQ(25u, Top());
    EXPECT_TRUE(Codes().empty());
    Scroll(SB_PAGEDOWN);
    Key(VK_PRIOR);
    EXPECT_EQ(12u, Top());
    Key(VK_LEFT);
    Scroll(SB_PAGEUP);
    EXPECT_EQ(0u, Top());
    Keys({ VK_RETURN, VK_SPACE, VK_ESCAPE });
    EXPECT_EQ((std::vector<UINT>{ 2, 3, 3, 1 }), Codes());

    // Line mode: Down on the last row scrolls one row; scrolls not painted yet are dropped.
    view_->SetLineScrollKeys(TRUE);
    Click(0);
    Keys({ VK_DOWN }, 14);
    Key(VK_DOWN, false);
    Key(VK_DOWN, false);
    Scroll(SB_LINEDOWN);
    EXPECT_EQ(1u, Top());
    EXPECT_EQ(14u, Row());
    EXPECT_EQ("subject 15", Selected());
    Scroll(SB_LINEDOWN);
    Scroll(SB_LINEUP);
    EXPECT_EQ(1u, Top());
    Click(0);
    Key(VK_UP);
    EXPECT_EQ("subject 0", Selected());

    // Pages of fewer than three rows still move.
    for (int height : { 21 + 28 + 1, 21 + 14 + 1 }) {   // two rows, one row
        Open(7, height);
        UINT page = view_->List().PageSize();
        EXPECT_EQ(height > 40 ? 2u : 1u, page);
        for (DWORD i = 1; i < 7; ++i) {
            EXPECT_TRUE(view_->NextRow());
            EXPECT_EQ(i, Position());
            EXPECT_LT(Row(), page);
        }
        Keys({ VK_UP }, 12);
        EXPECT_EQ(0u, Position());
        Keys({ VK_NEXT }, 10);
        EXPECT_EQ(7u - page, Top());
        EXPECT_FALSE(Codes().empty());
    }
}

TEST_F(SubjectViewTest, ShortAndEmptyListsToggleReadFilterAndLevelsAndDrawGlyphsForThem)
{
    Open(3);
    Key(VK_NEXT);
    EXPECT_EQ(std::vector<UINT>{ 2 }, Codes());
    Keys({ VK_DOWN }, 3);
    EXPECT_EQ("subject 2", Selected());
    EXPECT_EQ(std::vector<UINT>{ 2 }, Codes());   // Down at the end is a Page Down
    Click(1);
    EXPECT_EQ(1u, Row());
    Click(0, true);
    EXPECT_EQ(std::vector<UINT>{ 3 }, Codes());
    // Below the last row, or on the header, a double click does nothing.
    Click(6, true);
    SendMessageW(view_->Window(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(100, 5));
    EXPECT_EQ(0u, Row());
    EXPECT_TRUE(Codes().empty());

    Open(0);
    Keys({ VK_RETURN, VK_SPACE, VK_NEXT, VK_DOWN });
    EXPECT_EQ((std::vector<UINT>{ 2, 2 }), Codes());
    EXPECT_TRUE(view_->ToggleRead());

    Open(6);
    Key(VK_DOWN);
    EXPECT_TRUE(view_->ToggleRead());
    EXPECT_EQ(5u, view_->List().UnreadCount());
    // Hidden once read, but the row stays until the next layout.
    UpdateWindow(view_->Window());
    EXPECT_EQ("subject 1", Selected());
    EXPECT_TRUE(view_->ToggleRead());
    EXPECT_TRUE(view_->ToggleRead());
    // The filter reorders from the first entry.
    WriteBytes(File(L".flt"), "+ subject 4\r\n");
    EXPECT_TRUE(view_->ReapplyFilter());
    UpdateWindow(view_->Window());
    EXPECT_EQ(0u, Position());
    EXPECT_EQ("subject 4", Selected());
    EXPECT_EQ(5u, view_->List().VisibleCount());
    view_->List().Close();

    ASSERT_TRUE(view_->OpenGroup(data_.Path().c_str(), kGroup));
    view_->SetShowRead(TRUE);
    UpdateWindow(view_->Window());
    EXPECT_EQ(6u, view_->List().VisibleCount());
    view_->SetPriorityLevel(2);
    UpdateWindow(view_->Window());
    EXPECT_EQ(1u, view_->List().VisibleCount());

    // Glyphs: R for read, up for high, down for low and for priority 3, nothing else.
    Close();
    ASSERT_TRUE(WriteGroup(4, "+ subject 1\r\n- subject 2\r\n"));
    // Priority 3, which no filter gives.
    std::string index = ReadBytes(File(L".idx"));
    index.replace(IndexRecordOffset(3), 4, U32(3 << kRecordPriorityShift));
    WriteBytes(File(L".idx"), index);
    OpenView(240, TRUE);
    // Rows: high, normal (read below), low, priority 3.
    Click(1);
    EXPECT_TRUE(view_->ToggleRead());
    Click(3);   // row 3 inverted
    auto glyph = [&](int row, int column, bool inverted = false) {
        std::string bits;
        LONG top = view_->ListRect().top + row * 14 + 2, left = view_->ListRect().left + column * 10;
        for (COLORREF pixel : Pixels({ left, top, left + 10, top + 10 }))
            bits += (pixel == RGB(0, 0, 0)) != inverted ? '#' : '.';
        return bits;
    };
    std::string blank(100, '.');
    EXPECT_EQ(blank, glyph(0, 0));
    EXPECT_NE(blank, glyph(0, 1));
    EXPECT_NE(blank, glyph(1, 0));
    EXPECT_EQ(blank, glyph(1, 1));
    EXPECT_NE(blank, glyph(2, 1));
    EXPECT_NE(glyph(0, 1), glyph(2, 1));
    EXPECT_EQ(glyph(2, 1), glyph(3, 1, true));
    // The marks are made once for the window: later paints draw them alike.
    std::string high = glyph(0, 1), read = glyph(1, 0);
    for (int i = 0; i < 3; ++i) {
        InvalidateRect(view_->Window(), NULL, TRUE);
        UpdateWindow(view_->Window());
    }
    EXPECT_EQ(high, glyph(0, 1));
    EXPECT_EQ(read, glyph(1, 0));
}

TEST_F(SubjectViewTest, ColumnWidthsPersistInTheRegistry)
{
    WriteDword(kWidthKey, L"fromWidth", 111);
    WriteDword(kWidthKey, L"subjectWidth", 0xFFFFFFF0);
    Open(4);
    EXPECT_EQ((std::vector<int>{25, 40, 111, 400}),
              (std::vector<int>{ColumnWidth(0), ColumnWidth(1), ColumnWidth(2), ColumnWidth(3)}));

    HDITEMW hd = {};
    hd.mask = HDI_WIDTH;
    hd.cxy = 77;
    SendMessageW(view_->Header(), HDM_SETITEMW, 1, (LPARAM)&hd);
    // Dividers double-clicked on the header: date, sender, subject.
    for (int item = 1; item < 4; ++item) {
        int x = 0;
        for (int k = 0; k <= item; ++k)
            x += ColumnWidth(k);
        SendMessageW(view_->Header(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, 10));
    }
    Close();

    const wchar_t* names[4] = { L"markWidth", L"dateWidth", L"fromWidth", L"subjectWidth" };
    DWORD expected[4] = { 25, 40, 14 * 9 / 2 + 4, 14 * 10 / 2 + 4 };   // widest "sender 3", "subject 3"
    for (int i = 0; i < 4; ++i) {
        DWORD type = 0;
        EXPECT_EQ(expected[i], ReadDword(kWidthKey, names[i], &type)) << i;
        EXPECT_EQ((DWORD)REG_DWORD, type);
    }
    OpenView();
    EXPECT_EQ((int)expected[3], ColumnWidth(3));
}

} // namespace

TEST_F(SubjectViewTest, ThreadsShowTheirDepthByAnIndentWithATreeMarkAndMarkReadAsOne)
{
    // 0, 1 under 0, 2, 3 under 1.
    ASSERT_TRUE(WriteGroup(4, std::string(), {-1, 0, -1, 1}));
    OpenView();
    view_->SetThreaded(TRUE);
    UpdateWindow(view_->Window());
    ASSERT_TRUE(view_->List().InThreadOrder());
    const char* order[] = {"subject 0", "subject 1", "subject 3", "subject 2"};
    for (DWORD row = 0; row < 4; ++row)
        EXPECT_STREQ(order[row], view_->List().Record(row)->subject) << row;
    // The mark's stem stands one level left of the row's text.
    auto stem = [&](int row, int depth) {
        LONG x = 25 + 40 + 160 + 2 + (depth - 1) * 6 + 1, top = view_->ListRect().top + row * 14;
        int black = 0;
        for (COLORREF pixel : Pixels({x, top + 1, x + 1, top + 7}))
            black += pixel == RGB(0, 0, 0);
        return black;
    };
    EXPECT_EQ(6, stem(1, 1));
    EXPECT_EQ(6, stem(2, 2));
    EXPECT_GT(6, stem(3, 1));
    EXPECT_GT(6, stem(2, 1));

    // The selected row's thread is read; rows stay until the next layout.
    Click(2);
    EXPECT_TRUE(view_->MarkThreadRead());
    EXPECT_EQ(1u, view_->List().UnreadCount());
    view_->SetThreaded(FALSE);
    UpdateWindow(view_->Window());
    EXPECT_FALSE(view_->List().InThreadOrder());
    EXPECT_EQ(1u, view_->List().VisibleCount());
    EXPECT_STREQ("subject 2", view_->List().Record(0)->subject);
}
