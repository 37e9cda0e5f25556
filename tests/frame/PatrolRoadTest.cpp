// The whole road: a patrol from a scripted server fills the group view, the
// group is opened, an article read, the next one reached by paging past the
// end, and back in the group view the unread count has gone down.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>
#include "RoadFixture.h"
#include "frame/GroupView.h"
#include "frame/MainFrame.h"
#include "resource.h"
#include "support/MessageBoxRecorder.h"
#include "support/ScriptedNntpServer.h"
#include "views/ArticleView.h"
#include "views/SubjectView.h"

namespace {

const char* const kSubjects[] = {
    "=?ISO-2022-JP?B?GyRCJVElSCVtITwlayRONS07diQ9JE4wbBsoQg==?=",
    "=?ISO-2022-JP?B?GyRCJVElSCVtITwlayRONS07diQ9JE5GcxsoQg==?=",
    "=?ISO-2022-JP?B?GyRCJVElSCVtITwlayRONS07diQ9JE47MBsoQg==?=",
};

// Runs the accelerator table over one key as the program's loop does, and
// returns whether it was one.
BOOL Accelerate(HWND frame, HWND focus, UINT key)
{
    HACCEL table = LoadAcceleratorsW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDR_ACCELERATORS));
    MSG msg = {focus, WM_KEYDOWN, key, 1};
    BOOL translated = TranslateAcceleratorW(frame, table, &msg);
    DestroyAcceleratorTable(table);
    return translated;
}

class PatrolRoadTest : public RoadFixture {
protected:
    void SetUp() override
    {
        RoadFixture::SetUp();
        if (HasFatalFailure())
            return;
        server.On("GROUP fj.test", "211 3 1 3 fj.test\r\n");
        for (unsigned n = 1; n <= 3; n++) {
            std::string header = "From: =?ISO-2022-JP?B?GyRCRURDZhsoQg==?= <tanaka@example.jp>\r\n"
                                 "Subject: " + std::string(kSubjects[n - 1]) + "\r\n"
                                 "Newsgroups: fj.test\r\nDate: Sun, 6 Dec 2026 10:00:00 +0900\r\n"
                                 "X-Newsreader: none\r\n";
            server.AddArticle(n, header, "\x1b$BK\\J8$G$9!#\x1b(B\r\n");
        }
        env.WriteCompleteSettings(L"127.0.0.1", server.Port(), 50);
        env.WriteGroups({"fj.test"});
    }
};

TEST_F(PatrolRoadTest, PatrolThenReadWithAutoNextLowersTheUnreadCount)
{
    frame = new MainFrame();
    ASSERT_TRUE(frame->Create(L"Pelora", GetModuleHandleW(NULL), SW_SHOW));
    FrameFixture::Pump();
    ASSERT_EQ(L"0", FrameFixture::ListText(List(), 0, kGroupColumnArticles));

    // I is the download only in the group view.
    FrameFixture::Key(List(), VK_RETURN);
    ASSERT_EQ(kViewSubject, frame->CurrentView());
    EXPECT_TRUE(Accelerate(frame->Window(), frame->Subjects()->Window(), 'I'));
    EXPECT_EQ(0, server.Connections());
    FrameFixture::Key(frame->Subjects()->Window(), VK_ESCAPE);
    ASSERT_EQ(kViewGroup, frame->CurrentView());

    // The patrol runs inside the accelerator's command, in its modal dialog.
    EXPECT_TRUE(Accelerate(frame->Window(), List(), 'I'));
    // The worker's end may come just after the progress dialog has closed.
    for (int waited = 0; boxes.Boxes().empty() && waited < 10000; waited += 20) {
        FrameFixture::Pump();
        Sleep(20);
    }
    EXPECT_EQ(1, server.Connections());
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(L"ダウンロードが終了しました。", boxes.Boxes()[0].text);
    EXPECT_EQ(L"Disconnect", boxes.Boxes()[0].caption);
    EXPECT_EQ(L"3", FrameFixture::ListText(List(), 0, kGroupColumnArticles));
    EXPECT_EQ(L"3", FrameFixture::ListText(List(), 0, kGroupColumnUnread));
    EXPECT_EQ(L"3", FrameFixture::ListText(List(), 0, kGroupColumnCurrent));
    EXPECT_EQ(L"3件の記事を取得しました。", FrameFixture::ListText(List(), 0, kGroupColumnState));

    FrameFixture::Key(List(), VK_RETURN);
    ASSERT_EQ(kViewSubject, frame->CurrentView());
    frame->Subjects()->EnsureLayout();
    FrameFixture::Key(frame->Subjects()->Window(), VK_RETURN);
    ASSERT_EQ(kViewArticle, frame->CurrentView());
    ASSERT_TRUE(frame->Text().Text() != NULL);
    EXPECT_NE(nullptr, wcsstr(frame->Text().Text(), L"Subject: パトロールの記事その一"));
    EXPECT_NE(nullptr, wcsstr(frame->Text().Text(), L"本文です。"));
    EXPECT_EQ(nullptr, wcsstr(frame->Text().Text(), L"X-Newsreader"));

    // A short article: paging past its end opens the next one.
    frame->Article()->EnsureLayout();
    FrameFixture::Key(frame->Article()->Window(), VK_NEXT);
    EXPECT_NE(nullptr, wcsstr(frame->Text().Text(), L"パトロールの記事その二"));

    FrameFixture::Key(frame->Article()->Window(), VK_ESCAPE);
    FrameFixture::Key(frame->Subjects()->Window(), VK_ESCAPE);
    ASSERT_EQ(kViewGroup, frame->CurrentView());
    EXPECT_EQ(L"1", FrameFixture::ListText(List(), 0, kGroupColumnUnread));
    EXPECT_EQ(1u, boxes.Boxes().size());
}

}  // namespace
