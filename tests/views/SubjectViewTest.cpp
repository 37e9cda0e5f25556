// The subject view over real group files written by the store's writer,
// driven with keys, scroll messages, clicks and header notifications.
#include <gtest/gtest.h>
#include "ViewTestWindow.h"
#include "store/IndexRecord.h"
#include "views/SubjectView.h"
#include <commctrl.h>

namespace {

const wchar_t kGroup[] = L"fj.test.views";
const wchar_t kWidthKey[] = L"Software\\tidewell\\Pelora\\SubjectView";

class SubjectViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterViewClasses();
        font_ = MakeViewFont(14);
        parent_.ClearNotifications();
        RegDeleteKeyW(HKEY_CURRENT_USER, kWidthKey);
    }
    void TearDown() override
    {
        Close();
        DeleteObject(font_);
    }
    // A view of `width` x `height` over `count` numbered articles, shown.
    void Open(int count, BOOL lineMode = FALSE, int height = 240, const std::string& filter = "")
    {
        ASSERT_TRUE(data_.WriteGroup(kGroup, NumberedArticles(count), filter));
        OpenView(lineMode, height);
    }
    void OpenView(BOOL lineMode = FALSE, int height = 240, BOOL showRead = FALSE)
    {
        view_ = new SubjectView();
        RECT r = { 0, 0, 640, height };
        ASSERT_TRUE(view_->Create(GetModuleHandleW(NULL), parent_.Handle(), 106, r, showRead, 1));
        ASSERT_TRUE(view_->OpenGroup(data_.Path().c_str(), kGroup));
        view_->SetFont(font_, 14);
        view_->SetLineScrollKeys(lineMode);
        view_->Show(SW_SHOW);
        PumpMessages();
        ASSERT_TRUE(view_->LayoutValid());
    }
    void Close()
    {
        if (!view_)
            return;
        view_->List().Close();
        DestroyWindow(view_->Window());
        delete view_;
        view_ = NULL;
    }
    void Key(WPARAM key)
    {
        SendMessageW(view_->Window(), WM_KEYDOWN, key, 0);
        UpdateWindow(view_->Window());
    }
    void Scroll(WORD code, WORD position = 0)
    {
        SendMessageW(view_->Window(), WM_VSCROLL, MAKEWPARAM(code, position), 0);
        UpdateWindow(view_->Window());
    }
    void Click(int row, bool twice = false)
    {
        LPARAM at = MAKELPARAM(100, view_->ListRect().top + row * 14 + 5);
        SendMessageW(view_->Window(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(view_->Window(), WM_LBUTTONUP, 0, at);
        if (twice)
            SendMessageW(view_->Window(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        UpdateWindow(view_->Window());
    }
    DWORD Position() { return view_->List().Top() + view_->List().Selection(); }
    std::vector<UINT> Codes()
    {
        std::vector<UINT> codes;
        for (const Notification& n : parent_.Notifications()) {
            EXPECT_EQ(106u, n.id);
            EXPECT_EQ(view_->Window(), n.from);
            codes.push_back(n.code);
        }
        return codes;
    }
    std::string SelectedSubject()
    {
        const IndexRecord* r = view_->List().SelectedRecord();
        return r ? std::string(r->subject) : std::string();
    }
    int ScrollMax()
    {
        int low = -1, high = -1;
        GetScrollRange(view_->ScrollBar(), SB_CTL, &low, &high);
        EXPECT_EQ(0, low);
        return high;
    }
    int ColumnWidth(int item)
    {
        HDITEMW hd = {};
        hd.mask = HDI_WIDTH;
        SendMessageW(view_->Header(), HDM_GETITEMW, item, (LPARAM)&hd);
        return hd.cxy;
    }
    void DividerDoubleClick(int item)
    {
        NMHEADERW n = {};
        n.hdr.hwndFrom = view_->Header();
        n.hdr.idFrom = 109;
        n.hdr.code = HDN_DIVIDERDBLCLICKW;
        n.iItem = item;
        SendMessageW(view_->Window(), WM_NOTIFY, 109, (LPARAM)&n);
    }

    ViewTestWindow& parent_ = SharedTestWindow();
    TestDataFolder data_;
    SubjectView* view_ = NULL;
    HFONT font_;
};

TEST_F(SubjectViewTest, ScrollRangeKeepsThumbPositionsOnTheList)
{
    Open(40);
    EXPECT_EQ(15u, view_->List().PageSize());
    EXPECT_EQ(25, ScrollMax());
    Scroll(SB_THUMBPOSITION, 20);
    EXPECT_EQ(20u, view_->List().Top());
    EXPECT_EQ(0u, view_->List().Selection());
    EXPECT_EQ("subject 20", SelectedSubject());
    Scroll(SB_THUMBPOSITION, 60000);
    EXPECT_EQ(25u, view_->List().Top());
    EXPECT_EQ(15u, view_->List().LoadedCount());
    EXPECT_EQ(25, GetScrollPos(view_->ScrollBar(), SB_CTL));
    Close();

    Open(5);
    EXPECT_EQ(0, ScrollMax());
    Scroll(SB_THUMBPOSITION, 3);
    EXPECT_EQ(0u, view_->List().Top());
    EXPECT_EQ(5u, view_->List().LoadedCount());
}

TEST_F(SubjectViewTest, DownAtTheLastRowTurnsThePageAndKeepsTheArticle)
{
    Open(40);
    for (int i = 0; i < 14; ++i)
        Key(VK_DOWN);
    EXPECT_EQ(0u, view_->List().Top());
    EXPECT_EQ(14u, view_->List().Selection());
    Key(VK_DOWN);
    EXPECT_EQ(13u, view_->List().Top());
    EXPECT_EQ(1u, view_->List().Selection());
    EXPECT_EQ("subject 14", SelectedSubject());
    Key(VK_DOWN);
    EXPECT_EQ("subject 15", SelectedSubject());
    // Up at row 0 turns back the same way.
    Key(VK_UP);
    Key(VK_UP);
    EXPECT_EQ(0u, view_->List().Selection());
    Key(VK_UP);
    EXPECT_EQ(0u, view_->List().Top());
    EXPECT_EQ("subject 13", SelectedSubject());
    // Next row never stops at a page boundary.
    Scroll(SB_THUMBPOSITION, 0);
    Click(0);
    for (int i = 0; i < 14; ++i)
        Key(VK_DOWN);
    EXPECT_TRUE(view_->NextRow());
    EXPECT_EQ("subject 15", SelectedSubject());
    EXPECT_EQ(13u, view_->List().Top());
    // Down runs to the last article and stops there.
    for (int i = 0; i < 60; ++i)
        Key(VK_DOWN);
    EXPECT_EQ("subject 39", SelectedSubject());
    EXPECT_EQ(25u, view_->List().Top());
}

TEST_F(SubjectViewTest, LineModeScrollsOneRowAndDropsUnpaintedScrolls)
{
    Open(40, TRUE);
    for (int i = 0; i < 14; ++i)
        Key(VK_DOWN);
    SendMessageW(view_->Window(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(1u, view_->List().Top());
    EXPECT_EQ(14u, view_->List().Selection());
    EXPECT_EQ("subject 15", SelectedSubject());
    // Not painted yet: the next one-row scroll is dropped.
    SendMessageW(view_->Window(), WM_KEYDOWN, VK_DOWN, 0);
    Scroll(SB_LINEDOWN);
    EXPECT_EQ(1u, view_->List().Top());
    Scroll(SB_LINEDOWN);
    EXPECT_EQ(2u, view_->List().Top());
    Scroll(SB_LINEUP);
    EXPECT_EQ(1u, view_->List().Top());
    for (int i = 0; i < 14; ++i)
        Key(VK_UP);
    EXPECT_EQ(0u, view_->List().Selection());
    Key(VK_UP);
    EXPECT_EQ(0u, view_->List().Top());
    EXPECT_EQ("subject 0", SelectedSubject());
    // Next row clears the pending scroll itself.
    for (int i = 0; i < 14; ++i)
        Key(VK_DOWN);
    EXPECT_TRUE(view_->NextRow());
    EXPECT_TRUE(view_->NextRow());
    EXPECT_EQ("subject 16", SelectedSubject());
}

TEST_F(SubjectViewTest, PagingAndTheEndOfTheList)
{
    Open(40);
    Key(VK_NEXT);
    EXPECT_EQ(13u, view_->List().Top());
    Key(VK_RIGHT);
    EXPECT_EQ(25u, view_->List().Top());   // clamped to the last page
    EXPECT_TRUE(Codes().empty());
    Key(VK_NEXT);
    EXPECT_EQ(std::vector<UINT>{ 2 }, Codes());
    Key(VK_PRIOR);
    EXPECT_EQ(12u, view_->List().Top());
    Key(VK_LEFT);
    Key(VK_LEFT);
    EXPECT_EQ(0u, view_->List().Top());
    Scroll(SB_PAGEDOWN);
    EXPECT_EQ(13u, view_->List().Top());
    Scroll(SB_PAGEUP);
    EXPECT_EQ(0u, view_->List().Top());
    Key(VK_RETURN);
    Key(VK_SPACE);
    Key(VK_ESCAPE);
    std::vector<UINT> expected = { 2, 3, 3, 1 };
    EXPECT_EQ(expected, Codes());
}

TEST_F(SubjectViewTest, ShortAndEmptyLists)
{
    Open(3);
    Key(VK_NEXT);
    EXPECT_EQ(std::vector<UINT>{ 2 }, Codes());
    for (int i = 0; i < 5; ++i)
        Key(VK_DOWN);
    EXPECT_EQ("subject 2", SelectedSubject());
    EXPECT_FALSE(view_->NextRow());
    // Below the last row a double click selects and opens nothing.
    parent_.ClearNotifications();
    Click(6, true);
    EXPECT_EQ(2u, view_->List().Selection());
    EXPECT_TRUE(Codes().empty());
    Close();

    Open(0);
    Key(VK_RETURN);
    Key(VK_SPACE);
    EXPECT_TRUE(Codes().empty());
    Key(VK_NEXT);
    Key(VK_DOWN);
    EXPECT_EQ((std::vector<UINT>{ 2, 2 }), Codes());
    EXPECT_TRUE(view_->ToggleRead());
}

TEST_F(SubjectViewTest, StylusSelectsAndDoubleClickOpens)
{
    Open(20);
    Click(3);
    EXPECT_EQ(3u, view_->List().Selection());
    EXPECT_TRUE(Codes().empty());
    Click(5, true);
    EXPECT_EQ(5u, view_->List().Selection());
    EXPECT_EQ(std::vector<UINT>{ 3 }, Codes());
    // Above the rows (the header) nothing happens.
    SendMessageW(view_->Window(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(100, 5));
    EXPECT_EQ(5u, view_->List().Selection());
    EXPECT_EQ(1u, Codes().size());
}

TEST_F(SubjectViewTest, ToggleReadWritesTheIndexAndKeepsTheRow)
{
    Open(5);
    Key(VK_DOWN);
    EXPECT_TRUE(view_->ToggleRead());
    EXPECT_EQ(4u, view_->List().UnreadCount());
    std::vector<IndexRecord> records;
    DWORD unread = 0;
    ASSERT_TRUE(data_.ReadIndex(kGroup, &records, &unread));
    EXPECT_EQ(1u, records[1].flags & kRecordRead);
    // Read ones are hidden, but the row stays until the next layout.
    UpdateWindow(view_->Window());
    EXPECT_EQ(5u, view_->List().LoadedCount());
    EXPECT_EQ("subject 1", SelectedSubject());
    EXPECT_TRUE(view_->ToggleRead());
    ASSERT_TRUE(data_.ReadIndex(kGroup, &records, &unread));
    EXPECT_EQ(0u, records[1].flags & kRecordRead);
    EXPECT_TRUE(view_->ToggleRead());
    view_->List().Close();
    ASSERT_TRUE(data_.ReadIndex(kGroup, &records, &unread));
    EXPECT_EQ(4u, unread);

    // A change of show read lays out again from the first entry.
    ASSERT_TRUE(view_->OpenGroup(data_.Path().c_str(), kGroup));
    UpdateWindow(view_->Window());
    EXPECT_EQ(4u, view_->List().VisibleCount());
    Key(VK_DOWN);
    view_->SetShowRead(TRUE);
    UpdateWindow(view_->Window());
    EXPECT_EQ(5u, view_->List().VisibleCount());
    EXPECT_EQ(0u, Position());
    view_->SetPriorityLevel(2);
    UpdateWindow(view_->Window());
    EXPECT_EQ(0u, view_->List().VisibleCount());
}

TEST_F(SubjectViewTest, ReapplyFilterKeepsTheUnreadCountOfThisVisit)
{
    Open(6);
    EXPECT_TRUE(view_->ToggleRead());   // subject 0 read
    EXPECT_EQ(5u, view_->List().UnreadCount());
    HANDLE f = CreateFileW((data_.Path() + kGroup + L".flt").c_str(), GENERIC_WRITE, 0, NULL,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written;
    WriteFile(f, "+ subject 4\r\n", 13, &written, NULL);
    CloseHandle(f);
    Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_TRUE(view_->ReapplyFilter());
    UpdateWindow(view_->Window());
    EXPECT_EQ(5u, view_->List().UnreadCount());
    EXPECT_EQ(0u, Position());
    EXPECT_EQ("subject 4", SelectedSubject());   // high priority first
    view_->List().Close();
    std::vector<IndexRecord> records;
    DWORD unread = 0;
    ASSERT_TRUE(data_.ReadIndex(kGroup, &records, &unread));
    EXPECT_EQ(5u, unread);
    EXPECT_EQ((DWORD)kPriorityHigh, RecordPriority(records[4]));
}

TEST_F(SubjectViewTest, PagesOfFewerThanThreeRowsStillMove)
{
    for (int height : { 21 + 28 + 1, 21 + 14 + 1 }) {   // two rows, one row
        Open(7, FALSE, height);
        UINT page = view_->List().PageSize();
        EXPECT_EQ(height > 40 ? 2u : 1u, page);
        // Down turns a full page first and keeps the article; the next
        // Down (or Next row at once) moves on.
        for (int i = 0; i < 6; ++i) {
            DWORD before = Position();
            Key(VK_DOWN);
            if (Position() == before)
                Key(VK_DOWN);
            EXPECT_EQ(before + 1, Position()) << page;
            EXPECT_LT(view_->List().Selection(), page);
        }
        EXPECT_EQ("subject 6", SelectedSubject());
        for (int i = 0; i < 12; ++i)
            Key(VK_UP);
        EXPECT_EQ(0u, Position());
        parent_.ClearNotifications();
        for (int i = 0; i < 10; ++i)
            Key(VK_NEXT);
        EXPECT_EQ(7u - page, view_->List().Top());
        EXPECT_FALSE(Codes().empty());
        Scroll(SB_THUMBPOSITION, 0);
        Click(0);
        ASSERT_EQ(0u, Position());
        for (int i = 0; i < 6; ++i)
            EXPECT_TRUE(view_->NextRow()) << page << " " << i;
        EXPECT_EQ("subject 6", SelectedSubject());
        EXPECT_FALSE(view_->NextRow());
        Close();
    }
}

TEST_F(SubjectViewTest, ColumnWidthsPersistInTheRegistry)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kWidthKey, 0, NULL, 0,
                                             KEY_WRITE, NULL, &key, NULL));
    DWORD from = 111;
    RegSetValueExW(key, L"fromWidth", 0, REG_DWORD, (const BYTE*)&from, 4);
    DWORD broken = 0xFFFFFFF0;
    RegSetValueExW(key, L"subjectWidth", 0, REG_DWORD, (const BYTE*)&broken, 4);
    RegCloseKey(key);
    Open(4);
    EXPECT_EQ(25, ColumnWidth(0));
    EXPECT_EQ(40, ColumnWidth(1));
    EXPECT_EQ(111, ColumnWidth(2));
    EXPECT_EQ(400, ColumnWidth(3));

    // A divider double click fits the column to the widest text now loaded
    // and puts the date column back to its default.
    HDITEMW hd = {};
    hd.mask = HDI_WIDTH;
    hd.cxy = 77;
    SendMessageW(view_->Header(), HDM_SETITEMW, 1, (LPARAM)&hd);
    DividerDoubleClick(1);
    EXPECT_EQ(40, ColumnWidth(1));
    DividerDoubleClick(3);
    EXPECT_EQ((int)(14 * (strlen("subject 3") + 1) / 2 + 4), ColumnWidth(3));
    DividerDoubleClick(2);
    EXPECT_EQ((int)(14 * (strlen("sender 3") + 1) / 2 + 4), ColumnWidth(2));
    Close();

    DWORD values[4] = {};
    const wchar_t* names[4] = { L"markWidth", L"dateWidth", L"fromWidth", L"subjectWidth" };
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kWidthKey, 0, KEY_READ, &key));
    for (int i = 0; i < 4; ++i) {
        DWORD size = 4, type = 0;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, names[i], NULL, &type, (BYTE*)&values[i], &size));
        EXPECT_EQ((DWORD)REG_DWORD, type);
    }
    RegCloseKey(key);
    EXPECT_EQ(25u, values[0]);
    EXPECT_EQ(40u, values[1]);
    EXPECT_EQ(14u * 9 / 2 + 4, values[2]);
    EXPECT_EQ(14u * 10 / 2 + 4, values[3]);
    // Back again after a restart.
    OpenView();
    EXPECT_EQ((int)values[3], ColumnWidth(3));
}

// The glyphs: R for read, an up arrow for high, a down arrow for low and
// for priority 3; nothing for unread normal articles.
TEST_F(SubjectViewTest, DrawsGlyphsForReadAndPriority)
{
    std::vector<TestArticle> articles = NumberedArticles(4);
    articles[1].subject = "high one";
    articles[2].subject = "low one";
    ASSERT_TRUE(data_.WriteGroup(kGroup, articles, "+ high\r\n- low\r\n"));
    // Give the last record priority 3, as a damaged flag would.
    std::vector<IndexRecord> records;
    DWORD unread;
    ASSERT_TRUE(data_.ReadIndex(kGroup, &records, &unread));
    HANDLE f = CreateFileW((data_.Path() + kGroup + L".idx").c_str(), GENERIC_WRITE, 0, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    IndexRecord r = records[3];
    r.flags = 3 << 1;
    SetFilePointer(f, IndexRecordOffset(3), NULL, FILE_BEGIN);
    DWORD written;
    WriteFile(f, &r, sizeof r, &written, NULL);
    CloseHandle(f);
    OpenView(FALSE, 240, TRUE);
    // Order: high, normal (subject 0), low, priority 3 (drawn as low).
    EXPECT_EQ(4u, view_->List().LoadedCount());
    view_->List().SetSelection(1);
    EXPECT_TRUE(view_->ToggleRead());   // subject 0 read
    Click(3);   // keep the inverted row away from the glyph checks
    InvalidateRect(view_->Window(), NULL, TRUE);
    UpdateWindow(view_->Window());

    HDC dc = GetDC(view_->Window());
    auto glyph = [&](int row, int x0) {
        std::string bits;
        int top = view_->ListRect().top + row * 14 + 2;
        for (int y = top; y < top + 10; ++y)
            for (int x = x0; x < x0 + 10; ++x)
                bits += GetPixel(dc, x, y) == RGB(0, 0, 0) ? '#' : '.';
        return bits;
    };
    int left = view_->ListRect().left;
    std::string blank(100, '.');
    EXPECT_EQ(blank, glyph(0, left));          // high: no R
    EXPECT_NE(blank, glyph(0, left + 10));     // up arrow
    EXPECT_NE(blank, glyph(1, left));          // read: R
    EXPECT_EQ(blank, glyph(1, left + 10));     // normal: no arrow
    EXPECT_NE(glyph(0, left + 10), glyph(2, left + 10));
    EXPECT_NE(blank, glyph(2, left + 10));     // low: down arrow
    ReleaseDC(view_->Window(), dc);
    // Row 3 is selected and inverted: its glyph shows white on black.
    dc = GetDC(view_->Window());
    std::string inverted = glyph(3, left + 10);
    ReleaseDC(view_->Window(), dc);
    for (char& c : inverted)
        c = c == '#' ? '.' : '#';
    dc = GetDC(view_->Window());
    EXPECT_EQ(glyph(2, left + 10), inverted);  // priority 3 = the down arrow
    ReleaseDC(view_->Window(), dc);
}

} // namespace
