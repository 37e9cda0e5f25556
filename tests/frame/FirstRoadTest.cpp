// A new user's whole first road: nothing stored, the settings sheet, the
// group list from the server, a subscription, a patrol, reading, a keyword
// and the deletion of what was read.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include "RoadFixture.h"
#include "frame/GroupView.h"
#include "frame/MainFrame.h"
#include "resource.h"
#include "store/IndexRecord.h"
#include "support/DialogDriver.h"
#include "support/MessageBoxRecorder.h"
#include "support/ScriptedNntpServer.h"
#include "views/ArticleView.h"
#include "views/SubjectView.h"

namespace {

// "その一" .. "その三" as ISO-2022-JP encoded-words.
const char* const kSubjects[] = {
    "=?ISO-2022-JP?B?GyRCJD0kTjBsGyhC?=",
    "=?ISO-2022-JP?B?GyRCJD0kTkZzGyhC?=",
    "=?ISO-2022-JP?B?GyRCJD0kTjswGyhC?=",
};

void WaitForBoxes(const MessageBoxRecorder& boxes, size_t count)
{
    for (int waited = 0; boxes.Boxes().size() < count && waited < 10000; waited += 20) {
        FrameFixture::Pump();
        Sleep(20);
    }
}

class FirstRoadTest : public RoadFixture {
protected:
    void SetUp() override
    {
        RoadFixture::SetUp();
        if (HasFatalFailure())
            return;
        server.On("LIST active", "215 list\r\nfj.test 3 1 y\r\njapan.misc 9 1 y\r\n.\r\n");
        server.On("GROUP fj.test", "211 3 1 3 fj.test\r\n");
        for (unsigned n = 1; n <= 3; n++) {
            std::string header = "From: user@example.jp\r\nSubject: " + std::string(kSubjects[n - 1]) +
                                 "\r\nDate: Sun, 6 Dec 2026 10:00:00 +0900\r\n";
            server.AddArticle(n, header, "\x1b$BK\\J8$G$9!#\x1b(B\r\n");
        }
    }
    DWORD RecordFlags(const std::string& index, int record)
    {
        return *(const DWORD*)(index.data() + IndexRecordOffset(record));
    }
};

TEST_F(FirstRoadTest, FromNothingToReadingAndDeletingWhatWasRead)
{
    DialogDriver driver;
    driver.Ignore(L"購読可能ｸﾞﾙｰﾌﾟの取得中..");
    driver.Ignore(L"記事の取得");
    // 1. The first start asks for the settings.
    driver.Then([&](HWND sheet) {
        HWND page = (HWND)SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0);
        DialogDriver::SetText(page, IDC_MAIN_SERVER, L"127.0.0.1");
        DialogDriver::SetText(page, IDC_MAIN_PORT, std::to_wstring(server.Port()).c_str());
        DialogDriver::SetText(page, IDC_MAIN_FOLDER, env.DataPath().c_str());
        DialogDriver::SetText(page, IDC_MAIN_LIMIT, L"50");
        DialogDriver::Click(sheet, IDOK);
    });
    frame = new MainFrame();
    ASSERT_TRUE(frame->Create(L"Pelora", GetModuleHandleW(NULL), SW_SHOW));
    FrameFixture::Pump();
    ASSERT_EQ(1u, driver.Handled());
    EXPECT_EQ(server.Port(), env.GetDword(L"", L"Port"));
    EXPECT_EQ(0, FrameFixture::ListRows(List()));

    // 2. Subscribe from the group list the server sends.
    driver.Then([&](HWND dialog) {
        DialogDriver::Click(dialog, IDC_SUBSCRIBE_DOWNLOAD);
        HWND list = GetDlgItem(dialog, IDC_SUBSCRIBE_LIST);
        for (const wchar_t* name : {L"fj", L"fj.test"}) {
            LVFINDINFOW find = {LVFI_STRING, name};
            int index = (int)SendMessageW(list, LVM_FINDITEMW, (WPARAM)-1, (LPARAM)&find);
            ASSERT_GE(index, 0);
            LVITEMW state = {};
            state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(list, LVM_SETITEMSTATE, index, (LPARAM)&state);
            NMHDR notify = {list, IDC_SUBSCRIBE_LIST, (UINT)NM_DBLCLK};
            SendMessageW(dialog, WM_NOTIFY, IDC_SUBSCRIBE_LIST, (LPARAM)&notify);
        }
        DialogDriver::Click(dialog, IDOK);
    });
    SendMessageW(frame->Window(), WM_COMMAND, IDM_SUBSCRIBE, 0);
    EXPECT_EQ("fj.test\r\njapan.misc\r\n", env.ReadFileBytes("active.dat"));
    EXPECT_EQ("fj.test\r\n", env.ReadFileBytes("group.dat"));
    ASSERT_EQ(1, FrameFixture::ListRows(List()));
    EXPECT_EQ(L"fj.test", FrameFixture::ListText(List(), 0, kGroupColumnName));

    // 3. The patrol.
    SendMessageW(frame->Window(), WM_COMMAND, IDM_DOWNLOAD, 0);
    WaitForBoxes(boxes, 1);
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(L"ダウンロードが終了しました。", boxes.Boxes()[0].text);
    EXPECT_EQ(L"3", FrameFixture::ListText(List(), 0, kGroupColumnUnread));

    // 4. Read the first article, then give "その二" a high priority.
    FrameFixture::Key(List(), VK_RETURN);
    ASSERT_EQ(kViewSubject, frame->CurrentView());
    frame->Subjects()->EnsureLayout();
    FrameFixture::Key(frame->Subjects()->Window(), VK_RETURN);
    ASSERT_EQ(kViewArticle, frame->CurrentView());
    EXPECT_NE(nullptr, wcsstr(frame->Text().Text(), L"その一"));
    FrameFixture::Key(frame->Article()->Window(), VK_ESCAPE);
    ASSERT_EQ(kViewSubject, frame->CurrentView());

    std::wstring initial;
    driver.Then([&](HWND dialog) {
        initial = DialogDriver::Text(dialog, IDC_FILTER_KEYWORDS);
        HWND combo = GetDlgItem(dialog, IDC_FILTER_KEYWORDS);
        SendMessageW(combo, CB_SETCURSEL, (WPARAM)-1, 0);
        SetWindowTextW(combo, L"その二");
        DialogDriver::Click(dialog, IDC_FILTER_HIGH);
        DialogDriver::Click(dialog, IDOK);
    });
    SendMessageW(frame->Window(), WM_COMMAND, IDM_FILTER, 0);
    EXPECT_EQ(L"その一", initial);
    EXPECT_EQ("+ \x82\xBB\x82\xCC\x93\xF1\r\n", env.ReadFileBytes("fj.test.flt"));
    std::string index = env.ReadFileBytes("fj.test.idx");
    EXPECT_EQ((DWORD)kRecordRead, RecordFlags(index, 0));
    EXPECT_EQ(2u << kRecordPriorityShift, RecordFlags(index, 1));
    EXPECT_EQ(0u, RecordFlags(index, 2));
    // High priority comes first in the list, laid out anew.
    frame->Subjects()->EnsureLayout();
    ASSERT_NE(nullptr, frame->Subjects()->List().Record(0));
    EXPECT_EQ(2u, frame->Subjects()->List().Record(0)->articleNumber);

    // 5. Back in the group view, delete what was read.
    FrameFixture::Key(frame->Subjects()->Window(), VK_ESCAPE);
    ASSERT_EQ(kViewGroup, frame->CurrentView());
    EXPECT_EQ(L"2", FrameFixture::ListText(List(), 0, kGroupColumnUnread));
    boxes.SetAnswer(IDYES);
    SendMessageW(frame->Window(), WM_COMMAND, IDM_DELETE_READ, 0);
    ASSERT_EQ(2u, boxes.Boxes().size());
    EXPECT_EQ(L"既読記事を削除しますか?", boxes.Boxes()[1].text);
    EXPECT_EQ(L"2", FrameFixture::ListText(List(), 0, kGroupColumnArticles));
    index = env.ReadFileBytes("fj.test.idx");
    ASSERT_EQ(100u + 2 * 92, index.size());
    EXPECT_EQ(2u << kRecordPriorityShift, RecordFlags(index, 0));
    EXPECT_EQ(std::string::npos, env.ReadFileBytes("fj.test.log").find("X-Local-Seq: 1\r\n"));
    EXPECT_TRUE(driver.Unexpected().empty());
}

}  // namespace
