// A new user's whole first road: nothing stored, the settings sheet, the group list from the server, a
// subscription, a patrol, reading, a keyword and the deletion of what was read.
#include "frame/FrameFixture.h"
#include "resource.h"
#include "store/IndexRecord.h"
#include "support/DialogDriver.h"

namespace {

// "その一" .. "その三" as ISO-2022-JP encoded-words.
const char* const kSubjects[] = {
    "=?ISO-2022-JP?B?GyRCJD0kTjBsGyhC?=",
    "=?ISO-2022-JP?B?GyRCJD0kTkZzGyhC?=",
    "=?ISO-2022-JP?B?GyRCJD0kTjswGyhC?=",
};

// Runs the accelerator table over one key as the program's loop does, and returns whether it was one.
BOOL Accelerate(HWND frame, HWND focus, UINT key)
{
    HACCEL table = LoadAcceleratorsW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDR_ACCELERATORS));
    MSG msg = {focus, WM_KEYDOWN, key, 1, 0, {0, 0}};
    BOOL translated = TranslateAcceleratorW(frame, table, &msg);
    DestroyAcceleratorTable(table);
    return translated;
}

class FirstRoadTest : public RoadFixture {};

TEST_F(FirstRoadTest, FromNothingToReadingAndDeletingWhatWasRead)
{
    server.On("LIST active", "215 list\r\nfj.test 3 1 y\r\njapan.misc 9 1 y\r\n.\r\n");
    server.On("GROUP fj.test", "211 3 1 3 fj.test\r\n");
    for (unsigned n = 1; n <= 3; n++) {
        std::string header = "From: user@example.jp\r\nSubject: " + std::string(kSubjects[n - 1]) +
                             "\r\nDate: Sun, 6 Dec 2026 10:00:00 +0900\r\n";
        server.AddArticle(n, header, "\x1b$BK\\J8$G$9!#\x1b(B\r\n");
    }
    DialogDriver driver;
    driver.Ignore(L"購読可能ｸﾞﾙｰﾌﾟの取得中..");
    driver.Ignore(L"記事の取得");
    // 1. The first start asks for the settings.
    driver.Then([&](HWND sheet) {
        HWND page = (HWND)SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0);
        DialogDriver::SetText(page, IDC_MAIN_SERVER, L"127.0.0.1");
        DialogDriver::SetText(page, IDC_MAIN_PORT, std::to_wstring(server.Port()).c_str());
        DialogDriver::SetText(page, IDC_MAIN_FOLDER, DataPath().c_str());
        DialogDriver::SetText(page, IDC_MAIN_LIMIT, L"50");
        DialogDriver::Click(sheet, IDOK);
    });
    Open();
    ASSERT_EQ(1u, driver.Handled());
    EXPECT_EQ(0, ListRows(List()));

    // 2. Subscribe from the group list the server sends.
    driver.Then([&](HWND dialog) {
        DialogDriver::Click(dialog, IDC_SUBSCRIBE_DOWNLOAD);
        for (const wchar_t* name : {L"fj", L"fj.test"})
            ASSERT_TRUE(DialogDriver::DoubleTap(dialog, IDC_SUBSCRIBE_LIST, name));
        DialogDriver::Click(dialog, IDOK);
    });
    SendMessageW(frame->Window(), WM_COMMAND, IDM_SUBSCRIBE, 0);
    ASSERT_EQ(1, ListRows(List()));
    EXPECT_EQ(L"fj.test", GroupRow(0)[kGroupColumnName]);

    // 3. The patrol: I is the download only in the group view, where it runs
    // inside the accelerator's command, in its modal dialog.
    OpenGroup();
    ASSERT_EQ(kViewSubject, frame->CurrentView());
    int connections = server.Connections();
    EXPECT_TRUE(Accelerate(frame->Window(), frame->Subjects()->Window(), 'I'));
    EXPECT_EQ(connections, server.Connections());
    Key(frame->Subjects()->Window(), VK_ESCAPE);
    ASSERT_EQ(kViewGroup, frame->CurrentView());
    EXPECT_TRUE(Accelerate(frame->Window(), List(), 'I'));
    // The worker's end may come just after the progress dialog has closed.
    DialogDriver::PumpUntil([&] { return !boxes.Boxes().empty(); }, 10000);
    EXPECT_EQ(connections + 1, server.Connections());
    EXPECT_TRUE(boxes.Showed(1, 0, L"ダウンロードが終了しました。", L"Disconnect", MB_OK));
    EXPECT_EQ(Texts({L"fj.test", L"3", L"3", L"3件の記事を取得しました。", L"3", L"3"}), GroupRow(0));

    // 4. Read the first article, then give "その二" (a decoded subject) a high priority.
    OpenGroup();
    OpenArticle();
    ASSERT_EQ(kViewArticle, frame->CurrentView());
    EXPECT_NE(std::wstring::npos, ArticleText().find(L"本文です。"));
    Key(frame->Article()->Window(), VK_ESCAPE);
    ASSERT_EQ(kViewSubject, frame->CurrentView());

    driver.Then([&](HWND dialog) {
        HWND combo = GetDlgItem(dialog, IDC_FILTER_KEYWORDS);
        SendMessageW(combo, CB_SETCURSEL, (WPARAM)-1, 0);
        SetWindowTextW(combo, L"その二");
        DialogDriver::Click(dialog, IDC_FILTER_HIGH);
        DialogDriver::Click(dialog, IDOK);
    });
    SendMessageW(frame->Window(), WM_COMMAND, IDM_FILTER, 0);
    const std::string index = ReadFileBytes("fj.test.idx");
    EXPECT_EQ((DWORD)kRecordRead, WordAt(index, IndexRecordOffset(0)));
    EXPECT_EQ(2u << kRecordPriorityShift, WordAt(index, IndexRecordOffset(1)));
    EXPECT_EQ(0u, WordAt(index, IndexRecordOffset(2)));
    // High priority comes first in the list, laid out anew.
    frame->Subjects()->EnsureLayout();
    ASSERT_NE(nullptr, frame->Subjects()->List().Record(0));
    EXPECT_EQ(2u, frame->Subjects()->List().Record(0)->articleNumber);

    // 5. Back in the group view, delete what was read.
    Key(frame->Subjects()->Window(), VK_ESCAPE);
    ASSERT_EQ(kViewGroup, frame->CurrentView());
    EXPECT_EQ(L"2", GroupRow(0)[kGroupColumnUnread]);
    boxes.SetAnswer(IDYES);
    SendMessageW(frame->Window(), WM_COMMAND, IDM_DELETE_READ, 0);
    EXPECT_EQ(2u, boxes.Boxes().size());
    EXPECT_EQ(L"2", GroupRow(0)[kGroupColumnArticles]);
    EXPECT_TRUE(driver.Unexpected().empty());
}

}  // namespace
