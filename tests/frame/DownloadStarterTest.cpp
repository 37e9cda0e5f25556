// The road around the pass: the password prompt, the progress dialog and
// the report at the end.
#include <gtest/gtest.h>
#include "frame/StarterHarness.h"
#include "resource.h"

namespace {

typedef std::vector<std::string> Lines;

// Answers the password prompt as a user would, from a timer of this thread.
struct PromptAnswer {
    const wchar_t* typed;   // none: Cancel
    std::wstring shownUser;
    bool focusOnPassword = false;
    bool seen = false;
};
PromptAnswer* g_answer;

void CALLBACK AnswerPrompt(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindWindowW(L"#32770", L"ﾊﾟｽﾜｰﾄﾞの入力");
    if (!dialog || !g_answer || g_answer->seen)
        return;
    g_answer->seen = true;
    wchar_t user[64] = L"";
    GetDlgItemTextW(dialog, IDC_PASSWORD_USER, user, 64);
    g_answer->shownUser = user;
    g_answer->focusOnPassword = GetFocus() == GetDlgItem(dialog, IDC_PASSWORD_EDIT);
    if (g_answer->typed) {
        SetDlgItemTextW(dialog, IDC_PASSWORD_EDIT, g_answer->typed);
        SendDlgItemMessageW(dialog, IDOK, BM_CLICK, 0, 0);
    } else {
        SendDlgItemMessageW(dialog, IDCANCEL, BM_CLICK, 0, 0);
    }
}

struct PromptDriver {
    explicit PromptDriver(PromptAnswer* answer)
    {
        g_answer = answer;
        timer = SetTimer(NULL, 0, 50, AnswerPrompt);
    }
    ~PromptDriver()
    {
        KillTimer(NULL, timer);
        g_answer = NULL;
    }
    UINT_PTR timer;
};

TEST(Starter, TypedPasswordIsUsedAndCancelStartsNothing)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(15000));
    server.On("authinfo user taro", "381 more\r\n");
    server.On(std::string("authinfo pass ") + "p\x82\xa0ss", "281 ok\r\n");
    StarterHarness harness;
    {
        PromptAnswer answer;
        answer.typed = L"pあss";
        PromptDriver driver(&answer);
        PatrolOutcome outcome = harness.Run(server, 10, "taro", NULL);
        ASSERT_TRUE(answer.seen);
        EXPECT_EQ(L"taro", answer.shownUser);
        EXPECT_TRUE(answer.focusOnPassword);
        EXPECT_TRUE(outcome.ended);
        EXPECT_EQ(Lines({"authinfo user taro", std::string("authinfo pass p\x82\xa0ss"), "QUIT"}),
                  server.Commands());
    }
    {
        PromptAnswer answer;
        answer.typed = NULL;
        PromptDriver driver(&answer);
        harness.SetWaitForEnd(false);
        PatrolOutcome outcome = harness.Run(server, 10, "taro", NULL);
        ASSERT_TRUE(answer.seen);
        EXPECT_FALSE(outcome.ended);
        EXPECT_TRUE(outcome.boxes.empty());
        EXPECT_EQ(1, server.Connections());
    }
}

TEST(Starter, AGoodPassIsReportedOnceThenHangsUpAndReloads)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(10000));
    server.On("GROUP g.a", "211 1 1 1\r\n");
    server.AddArticle(1, Simple(1), "b\r\n");
    StarterHarness harness;
    harness.AddGroup(L"g.a");
    PatrolOutcome outcome = harness.Run(server);
    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ((DWORD)StatusOk, outcome.result.status);
    ASSERT_EQ(1u, outcome.boxes.size());
    EXPECT_EQ(L"ダウンロードが終了しました。", outcome.boxes[0].text);
    EXPECT_EQ(L"Disconnect", outcome.boxes[0].caption);
    EXPECT_EQ((UINT)MB_OK, outcome.boxes[0].flags);
    EXPECT_EQ(1, outcome.hangUps);
    EXPECT_EQ(1, outcome.reloads);
}

TEST(Starter, FatalPassIsReportedByItsOwnBoxWithoutReload)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(10000));
    unsigned short port = server.Port();
    server.Stop();   // nobody listens: the worker ends at once, likely before the dialog opened
    StarterHarness harness;
    harness.AddGroup(L"g.a");
    PatrolOutcome outcome = harness.RunOnPort(port);
    ASSERT_TRUE(outcome.ended);
    ASSERT_EQ(1u, outcome.boxes.size());
    EXPECT_EQ(L"127.0.0.1", outcome.boxes[0].caption);
    EXPECT_EQ(L"サーバに接続できませんでした", outcome.boxes[0].text);
    EXPECT_EQ((UINT)MB_ICONHAND, outcome.boxes[0].flags);
    EXPECT_NE((HWND)NULL, outcome.boxes[0].owner);
    EXPECT_EQ(1, outcome.hangUps);
    EXPECT_EQ(0, outcome.reloads);
}

}  // namespace
