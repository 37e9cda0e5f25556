// The frame driven as a user would: keys, menu commands and list notifications, checked on what is on screen,
// in the registry, in the index files and on the clipboard.
#include <algorithm>
#include "frame/FrameFixture.h"
#include "resource.h"
#include "store/IndexRecord.h"
#include "support/DialogDriver.h"
#include "support/ImportPatch.h"

namespace {

// The fonts made while a patch is on and not deleted yet.
ImportPatch* g_createFont;
ImportPatch* g_deleteObject;
std::vector<HGDIOBJ> g_liveFonts;

HFONT WINAPI CreateFontWatched(const LOGFONTW* font)
{
    HFONT made = ((HFONT(WINAPI*)(const LOGFONTW*))g_createFont->Original())(font);
    if (made)
        g_liveFonts.push_back(made);
    return made;
}

BOOL WINAPI DeleteObjectWatched(HGDIOBJ object)
{
    g_liveFonts.erase(std::remove(g_liveFonts.begin(), g_liveFonts.end(), object), g_liveFonts.end());
    return ((BOOL(WINAPI*)(HGDIOBJ))g_deleteObject->Original())(object);
}

std::wstring ClipboardText()
{
    if (!OpenClipboard(NULL))
        return L"";
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const wchar_t* p = data ? (const wchar_t*)GlobalLock(data) : NULL;
    std::wstring text = p ? p : L"";
    if (p)
        GlobalUnlock(data);
    CloseClipboard();
    return text;
}

class FrameTest : public FrameFixture {
protected:
    void SetUp() override
    {
        WriteCompleteSettings();
        WriteGroups({"fj.test"});
        WriteLog("fj.test", kThreeArticles);
    }
    std::vector<int> Widths()
    {
        std::vector<int> widths;
        for (int c = 0; c < kGroupColumnCount; c++)
            widths.push_back((int)SendMessageW(List(), LVM_GETCOLUMNWIDTH, c, 0));
        return widths;
    }
};

TEST_F(FrameTest, GroupViewListsGroupsInFileOrderWithCountersCatchUpAndWidthsThatLastUnderItsBar)
{
    WriteGroups({"fj.test", "japan.test"});
    WriteBytes(folder.File(L"japan.test.idx"), IndexHeaderBytes(0xFFFFFFFF, 3052, 0, 0, 0, "OK", 0, 0, 0));
    Open();
    ASSERT_TRUE(boxes.Boxes().empty()) << "unexpected box";
    EXPECT_TRUE(ShowsOnly(kViewGroup));
    ASSERT_EQ(2, ListRows(List()));
    // The index made from the log starts at its highest article number.
    EXPECT_EQ(Texts({L"fj.test", L"3", L"3", L"", L"3", L"3"}), GroupRow(0));
    EXPECT_EQ(Texts({L"japan.test", L"0", L"0", L"OK", L"Catchup", L"3052"}), GroupRow(1));
    EXPECT_EQ(0, SendMessageW(List(), LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED));
    EXPECT_EQ(std::vector<int>({100, 40, 40, 150, 60, 60}), Widths());
    wchar_t title[64] = L"";
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT;
    column.pszText = title;
    column.cchTextMax = 64;
    SendMessageW(List(), LVM_GETCOLUMNW, 3, (LPARAM)&column);
    EXPECT_STREQ(L"状態", title);

    // The widths are saved at close and used at the next start.
    SendMessageW(List(), LVM_SETCOLUMNWIDTH, 0, 130);
    SendMessageW(List(), LVM_SETCOLUMNWIDTH, 3, 0);
    Close();
    const struct { const wchar_t* name; DWORD width; } saved[] = {
        {L"NewsgroupWidth", 130}, {L"ureadWidth", 40}, {L"StatusWidth", 0}, {L"maxWidth", 60}};
    for (const auto& column : saved)
        EXPECT_EQ(column.width, ReadDword(kGroupViewKey, column.name)) << column.name;
    Open();
    EXPECT_EQ(std::vector<int>({130, 40, 40, 0, 60, 60}), Widths());

    // The bar sits above the list; Properties is greyed away from it; the close box closes.
    HWND groupBar = frame->Bar(kViewGroup);
    RECT bar = Placed(groupBar), list = Placed(List()), client;
    GetClientRect(frame->Window(), &client);
    EXPECT_EQ(0, bar.top);
    EXPECT_EQ(client.right, bar.right);
    EXPECT_EQ(bar.bottom, list.top);
    EXPECT_EQ(client.bottom, list.bottom);
    EXPECT_TRUE(GetMenuState(frame->SubjectMenu(), IDM_PROPERTIES, MF_BYCOMMAND) & MF_GRAYED);
    HWND closeBox = FindWindowExW(groupBar, NULL, L"BUTTON", NULL);
    ASSERT_TRUE(closeBox != NULL);
    HWND window = frame->Window();
    SendMessageW(closeBox, BM_CLICK, 0, 0);
    Pump();
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(FrameTest, AFailingInitialisationIsReportedWithAnEmptyListThatOpensNothingAndACancelledFirstStartEndsTheRun)
{
    // A data folder that does not exist: IDS_DATA_INIT_FAILED.
    WriteString(kSettingsKey, L"DataPath", DataPath() + L"missing\\");
    Open();
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(L"データファイルの初期化に失敗しました(3)", boxes.Boxes()[0].text);
    EXPECT_EQ(L"PELORA", boxes.Boxes()[0].caption);
    EXPECT_EQ((UINT)MB_ICONHAND, boxes.Boxes()[0].flags);
    EXPECT_EQ(0, ListRows(List()));
    Key(List(), VK_RETURN);
    NMHDR header = {List(), IDC_GROUP_LIST, (UINT)NM_DBLCLK};
    SendMessageW(frame->Window(), WM_NOTIFY, IDC_GROUP_LIST, (LPARAM)&header);
    EXPECT_EQ(kViewGroup, frame->CurrentView());
    Close();

    // With nothing stored, cancelling the first start's sheet ends the run without saving widths.
    RegistrySandbox::Clear();
    DialogDriver driver;   // no action: the sheet is cancelled
    frame = new MainFrame();
    EXPECT_TRUE(frame->Create(L"Pelora", GetModuleHandleW(NULL), SW_SHOW));
    EXPECT_EQ(1u, driver.Unexpected().size());
    EXPECT_EQ(NULL, FindWindowW(kFrameClassName, NULL));
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, msg.wParam);
    EXPECT_FALSE(ReadValue(kGroupViewKey, L"NewsgroupWidth").present);
}

TEST_F(FrameTest, ReadMarksReachTheFilesWhenTheExitKeyClosesTheFrameFromTheSubjectView)
{
    Open();
    // While another opener holds the index the group cannot be opened, and leaving it keeps its unread count.
    HANDLE held = CreateFileW((DataPath() + L"fj.test.idx").c_str(), GENERIC_READ, 0, NULL,
                              OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Key(List(), VK_RETURN);
    ASSERT_EQ(kViewSubject, frame->CurrentView());
    EXPECT_FALSE(frame->Subjects()->List().IsOpen());
    Key(frame->Subjects()->Window(), VK_ESCAPE);
    ASSERT_EQ(kViewGroup, frame->CurrentView());
    EXPECT_EQ(L"3", GroupRow(0)[kGroupColumnUnread]);
    CloseHandle(held);

    OpenGroup();
    ASSERT_TRUE(ShowsOnly(kViewSubject));
    EXPECT_EQ(GetFocus(), frame->Subjects()->Window());
    ASSERT_EQ(3u, frame->Subjects()->List().VisibleCount());
    OpenArticle();
    ASSERT_TRUE(ShowsOnly(kViewArticle));
    EXPECT_NE(std::wstring::npos, ArticleText().find(L"最初の記事"));
    EXPECT_NE(std::wstring::npos, ArticleText().find(L"本文その一\r\n"));

    // Paging past the end of a short article opens the next one, which is marked read as well.
    frame->Article()->EnsureLayout();
    Key(frame->Article()->Window(), VK_NEXT);
    EXPECT_EQ(kViewArticle, frame->CurrentView());
    EXPECT_NE(std::wstring::npos, ArticleText().find(L"二番目の記事"));

    Key(frame->Article()->Window(), VK_ESCAPE);
    EXPECT_TRUE(ShowsOnly(kViewSubject));
    Command(IDM_TOGGLE_READ);   // the second one unread again
    EXPECT_EQ(3u, WordAt(ReadFileBytes("fj.test.idx"), 88));   // the counter waits for the close
    HWND window = frame->Window();
    Key(frame->Subjects()->Window(), 'X', FALSE, TRUE);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(boxes.Boxes().empty());

    // Closing with the subject view up writes the open group's header.
    std::string index = ReadFileBytes("fj.test.idx");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(i ? 0u : (DWORD)kRecordRead, WordAt(index, IndexRecordOffset(i)) & kRecordRead) << i;
    EXPECT_EQ(2u, WordAt(index, 88));
}

TEST_F(FrameTest, CopyWorksOnlyInTheArticleViewAndTabOnTheLastEntryKeepsTheArticle)
{
    WriteLog("fj.test", {kThreeArticles[0]});
    Open();
    ASSERT_TRUE(OpenClipboard(NULL) && EmptyClipboard() && CloseClipboard());
    Key(List(), 'C', TRUE);
    EXPECT_EQ(L"", ClipboardText());
    OpenGroup();
    Key(frame->Subjects()->Window(), 'C', TRUE);
    EXPECT_EQ(L"", ClipboardText());
    OpenArticle();
    ASSERT_EQ(kViewArticle, frame->CurrentView());
    Key(frame->Article()->Window(), 'C', TRUE);
    EXPECT_EQ(ArticleText(), ClipboardText());

    Key(frame->Article()->Window(), VK_TAB);
    EXPECT_EQ(kViewArticle, frame->CurrentView());
    EXPECT_NE(std::wstring::npos, ArticleText().find(L"最初の記事"));
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(FrameTest, ViewTogglesCheckPressStoreAndComeBackAtTheNextStart)
{
    Open();
    HMENU menu = frame->SubjectMenu();
    ASSERT_TRUE(menu != NULL);
    EXPECT_FALSE(Checked(menu, IDM_SHOW_READ));
    EXPECT_TRUE(Checked(menu, IDM_PRIORITY_LOW));

    const std::wstring subjectKey = SettingsKey(L"SubjectView");
    for (DWORD on : {1u, 0u}) {
        Command(IDM_SHOW_READ);
        EXPECT_EQ(on != 0, Checked(menu, IDM_SHOW_READ));
        EXPECT_EQ(on, ReadDword(subjectKey, L"ViewReadArticle"));
        LRESULT state = SendMessageW(frame->Bar(kViewSubject), TB_GETSTATE, IDM_SHOW_READ, 0);
        EXPECT_EQ(TBSTATE_ENABLED | (on ? TBSTATE_PRESSED : 0), state & (TBSTATE_PRESSED | TBSTATE_ENABLED));
    }
    // Threads: off unless stored, then checked, stored and handed to the list.
    EXPECT_FALSE(Checked(menu, IDM_THREAD_VIEW));
    EXPECT_FALSE(frame->Subjects()->List().Threaded());
    Command(IDM_THREAD_VIEW);
    EXPECT_TRUE(Checked(menu, IDM_THREAD_VIEW));
    EXPECT_EQ(1u, ReadDword(subjectKey, L"ThreadView"));
    EXPECT_TRUE(frame->Subjects()->List().Threaded());
    EXPECT_TRUE(boxes.Boxes().empty());

    // The priority commands store the level and check only their item.
    const struct { UINT command; DWORD level; } priorities[] = {
        {IDM_PRIORITY_NORMAL, 0}, {IDM_PRIORITY_HIGH, 2}};
    for (const auto& priority : priorities) {
        Command(priority.command);
        EXPECT_EQ(priority.level, ReadDword(subjectKey, L"PriorityViewLevel"));
        for (UINT id : {IDM_PRIORITY_NORMAL, IDM_PRIORITY_HIGH, IDM_PRIORITY_LOW})
            EXPECT_EQ(id == priority.command, Checked(menu, id)) << id;
    }
    Close();

    // The stored flags come back at the next start, marks and buttons too.
    WriteDword(SettingsKey(L"ArticleView"), L"ShowArticleHeader", 1);
    Open();
    EXPECT_TRUE(Checked(frame->SubjectMenu(), IDM_PRIORITY_HIGH));
    EXPECT_FALSE(Checked(frame->SubjectMenu(), IDM_PRIORITY_LOW));
    EXPECT_TRUE(Checked(frame->SubjectMenu(), IDM_THREAD_VIEW));
    EXPECT_TRUE(frame->Subjects()->List().Threaded());
    EXPECT_TRUE(Checked(frame->ArticleMenu(), IDM_SHOW_HEADER));
    EXPECT_TRUE(frame->Article()->ShowHeader());
    EXPECT_TRUE(SendMessageW(frame->Bar(kViewArticle), TB_GETSTATE, IDM_SHOW_HEADER, 0) & TBSTATE_PRESSED);
    Command(IDM_SHOW_HEADER);
    EXPECT_FALSE(Checked(frame->ArticleMenu(), IDM_SHOW_HEADER));
    EXPECT_FALSE(frame->Article()->ShowHeader());
    EXPECT_EQ(0u, ReadDword(SettingsKey(L"ArticleView"), L"ShowArticleHeader"));
}

TEST_F(FrameTest, PropertiesLeavesNoFontBehindButTheFramesOwn)
{
    Open();
    ImportPatch create("gdi32.dll", "CreateFontIndirectW", (void*)CreateFontWatched);
    ImportPatch remove("gdi32.dll", "DeleteObject", (void*)DeleteObjectWatched);
    ASSERT_TRUE(create.Active() && remove.Active());
    g_createFont = &create;
    g_deleteObject = &remove;
    g_liveFonts.clear();
    DialogDriver driver;
    driver.Then([](HWND sheet) { DialogDriver::Click(sheet, IDCANCEL); });
    driver.Then([](HWND sheet) { DialogDriver::Click(sheet, IDOK); });
    Command(IDM_PROPERTIES);
    EXPECT_TRUE(g_liveFonts.empty()) << g_liveFonts.size() << " fonts left after a cancelled sheet";
    Command(IDM_PROPERTIES);
    EXPECT_TRUE(driver.Done());
    // The frame's record made its two again; nothing else is left.
    std::vector<HGDIOBJ> expected = {frame->CurrentSettings().ArticleFont, frame->CurrentSettings().SubjectFont};
    std::sort(expected.begin(), expected.end());
    std::sort(g_liveFonts.begin(), g_liveFonts.end());
    EXPECT_EQ(expected, g_liveFonts);
}

}  // namespace
