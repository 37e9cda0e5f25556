// The group list fetch against the scripted server: the lines it sends, the
// exact bytes of active.dat and category.dat, and how each failure ends.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "nntp/GroupListDialog.h"
#include "nntp/GroupListJob.h"
#include "resource.h"
#include "support/MessageBoxRecorder.h"
#include "support/ScriptedNntpServer.h"
#include "support/StoreFiles.h"

namespace {

typedef std::vector<std::string> Lines;

const char kList[] =
    "fj.comp.lang.c 0000012345 0000010001 y\r\n"
    "japan.misc 10 1 y\r\n"
    "fj.rec\t5 1 m\r\n"
    "control\r\n"
    "\x93\xfa\x96\x7b.\x8c\xea 1 1 y\r\n";   // Shift_JIS bytes pass through
const char kActive[] = "fj.comp.lang.c\r\njapan.misc\r\nfj.rec\r\ncontrol\r\n\x93\xfa\x96\x7b.\x8c\xea\r\n";
const char kCategory[] = "fj\r\njapan\r\ncontrol\r\n\x93\xfa\x96\x7b\r\n";

class GroupListTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start());
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"pelora-grouplist-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(folder.c_str(), NULL);
        active = folder + L"active.dat";
        category = folder + L"category.dat";
        WriteBytes(active, "old.group\r\n");
        WriteBytes(category, "old\r\n");
    }
    void TearDown() override
    {
        DeleteFileW(active.c_str());
        DeleteFileW(category.c_str());
        RemoveDirectoryW(folder.c_str());
    }
    // Runs one fetch on this thread; the error text it ended with.
    std::wstring Fetch(const char* user = NULL, const char* password = NULL, DWORD port = 0)
    {
        GroupListJob* job = CreateGroupListJob(active.c_str(), category.c_str(), L"127.0.0.1",
                                               port ? port : server.Port(), user, password, NULL, 103, NULL);
        if (!job)
            return L"<no job>";
        BOOL ok = RunGroupListJob(job);
        std::wstring text = job->errorText;
        DestroyGroupListJob(job);
        EXPECT_EQ(ok != FALSE, text.empty()) << "success and error text disagree";
        return text;
    }
    void ExpectOldFilesKept()
    {
        EXPECT_EQ("old.group\r\n", ReadBytes(active));
        EXPECT_EQ("old\r\n", ReadBytes(category));
    }

    ScriptedNntpServer server;
    std::wstring folder, active, category;
};

TEST_F(GroupListTest, ListActiveWritesNamesAndFirstSeenCategoriesWithoutQuit)
{
    server.On("LIST active", std::string("215 list follows\r\n") + kList + ".\r\n");
    EXPECT_EQ(L"", Fetch());
    EXPECT_EQ(Lines({"LIST active"}), server.Commands());
    EXPECT_EQ(kActive, ReadBytes(active));
    EXPECT_EQ(kCategory, ReadBytes(category));
}

TEST_F(GroupListTest, RefusedListActiveFallsBackToListWithTheSameFiles)
{
    server.On("LIST active", "500 what?\r\n");
    server.On("LIST", std::string("215 list follows\r\n") + kList + ".\r\n");
    EXPECT_EQ(L"", Fetch());
    EXPECT_EQ(Lines({"LIST active", "LIST"}), server.Commands());
    EXPECT_EQ(kActive, ReadBytes(active));
    EXPECT_EQ(kCategory, ReadBytes(category));
}

TEST_F(GroupListTest, NeitherListAcceptedQuotesTheReplyAndKeepsTheOldFiles)
{
    server.On("LIST active", "500 what?\r\n");
    server.On("LIST", "503 not now\r\n");
    EXPECT_EQ(L"サーバが予期せぬ応答をしました。:503 not now\r\n", Fetch());
    ExpectOldFilesKept();
}

TEST_F(GroupListTest, EmptyListLeavesBothFilesEmptyAndNoMessage)
{
    server.On("LIST active", "215 list follows\r\n.\r\n");
    EXPECT_EQ(L"", Fetch());
    EXPECT_EQ("", ReadBytes(active));
    EXPECT_EQ("", ReadBytes(category));
}

TEST_F(GroupListTest, AuthenticatesOnlyWithUserAndPassword)
{
    server.On("authinfo user alice", "381 more\r\n");
    server.On("authinfo pass secret", "281 ok\r\n");
    server.On("LIST active", "215 list follows\r\nfj.a 1 1 y\r\n.\r\n");
    EXPECT_EQ(L"", Fetch("alice", "secret"));
    EXPECT_EQ(Lines({"authinfo user alice", "authinfo pass secret", "LIST active"}), server.Commands());

    ScriptedNntpServer second;
    ASSERT_TRUE(second.Start());
    second.On("LIST active", "215 list follows\r\n.\r\n");
    EXPECT_EQ(L"", Fetch("alice", NULL, second.Port()));
    EXPECT_EQ(Lines({"LIST active"}), second.Commands());
}

TEST_F(GroupListTest, RefusedLoginShowsTheServersLineAndKeepsTheOldFiles)
{
    server.On("authinfo user alice", "381 more\r\n");
    server.On("authinfo pass wrong", "481 no way\r\n");
    EXPECT_EQ(L"481 no way\r\n", Fetch("alice", "wrong"));
    ExpectOldFilesKept();

    ScriptedNntpServer second;
    ASSERT_TRUE(second.Start());
    second.On("authinfo user mallory", "482 who?\r\n");
    EXPECT_EQ(L"482 who?\r\n", Fetch("mallory", "x", second.Port()));
    EXPECT_EQ(Lines({"authinfo user mallory"}), second.Commands());
    ExpectOldFilesKept();
}

TEST_F(GroupListTest, ConnectionFailuresKeepTheOldFiles)
{
    server.SetGreeting("502 go away\r\n");
    EXPECT_EQ(L"Connection refused : 502 go away\r\n", Fetch());
    ExpectOldFilesKept();

    ScriptedNntpServer silent;
    ASSERT_TRUE(silent.Start());
    silent.SetGreeting("", true);
    EXPECT_EQ(L"Recv fail: Can't connect to server", Fetch(NULL, NULL, silent.Port()));

    DWORD port = silent.Port();
    silent.Stop();
    EXPECT_EQ(L"Can't connect to server", Fetch(NULL, NULL, port));
    ExpectOldFilesKept();
}

TEST_F(GroupListTest, LongNamesAreKeptWholeAndOverlongLinesStopTheFetch)
{
    std::string longName = "fj." + std::string(1010, 'x');       // 1013 bytes, line 1020 with CR LF
    std::string overlong = "japan." + std::string(1100, 'y');
    server.On("LIST active", "215 list follows\r\n" + longName + " 1 1 y\r\n" + "fj.b\r\n" + overlong +
                                 " 1 1 y\r\nfj.c 1 1 y\r\n.\r\n");
    EXPECT_EQ(L"正常に受信できませんでした(234)", Fetch());
    ExpectOldFilesKept();
    ScriptedNntpServer again;
    ASSERT_TRUE(again.Start());
    again.On("LIST active", "215 list follows\r\n" + longName + " 1 1 y\r\nfj.b\r\n.\r\n");
    EXPECT_EQ(L"", Fetch(NULL, NULL, again.Port()));
    EXPECT_EQ(longName + "\r\nfj.b\r\n", ReadBytes(active));
    EXPECT_EQ("fj\r\n", ReadBytes(category));
}

TEST_F(GroupListTest, ListBrokenOffKeepsTheOldListsAndSaysWhy)
{
    server.On("LIST active", "215 list follows\r\nfj.a 1 1 y\r\njapan.b 1 1 y\r\n", true);
    EXPECT_EQ(L"正常に受信できませんでした(38)", Fetch());
    ExpectOldFilesKept();
    EXPECT_FALSE(FileExists(active + L"~") || FileExists(category + L"~"));
}

TEST_F(GroupListTest, UnwritableFilesAreReported)
{
    server.On("LIST active", "215 list follows\r\n.\r\n");
    // A folder where the new list must grow.
    ASSERT_TRUE(CreateDirectoryW((category + L"~").c_str(), NULL));
    EXPECT_EQ(L"Can't open category file(5)", Fetch());
    RemoveDirectoryW((category + L"~").c_str());
    ExpectOldFilesKept();
    EXPECT_FALSE(FileExists(active + L"~"));
    std::wstring missing = folder + L"no-such-folder\\active.dat";
    GroupListJob* job = CreateGroupListJob(missing.c_str(), category.c_str(), L"127.0.0.1", server.Port(), NULL,
                                           NULL, NULL, 103, NULL);
    ASSERT_NE(nullptr, job);
    EXPECT_FALSE(RunGroupListJob(job));
    EXPECT_EQ(L"Can't open active file(3)", std::wstring(job->errorText));
    DestroyGroupListJob(job);
}

// ---- the dialog --------------------------------------------------------

std::vector<std::wstring> g_counterTexts;
HWND g_dialog;
bool g_cancelOnFirstCount;

LRESULT CALLBACK WatchCounter(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* call = (const CWPSTRUCT*)lParam;
    if (code == HC_ACTION && call->message == WM_SETTEXT && GetDlgCtrlID(call->hwnd) == IDC_GROUPLIST_COUNT) {
        g_counterTexts.push_back((const wchar_t*)call->lParam);
        g_dialog = GetParent(call->hwnd);
        if (g_cancelOnFirstCount && g_counterTexts.size() == 1) {
            PostMessageW(g_dialog, WM_COMMAND, IDCANCEL, 0);
            PostMessageW(g_dialog, WM_CLOSE, 0, 0);
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

class GroupListDialogTest : public GroupListTest {
protected:
    INT_PTR RunDialog(const wchar_t* serverName = L"127.0.0.1")
    {
        g_counterTexts.clear();
        HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchCounter, NULL, GetCurrentThreadId());
        INT_PTR result = RunGroupListFetch(GetModuleHandleW(NULL), NULL, active.c_str(), category.c_str(),
                                           serverName, server.Port(), NULL, NULL);
        UnhookWindowsHookEx(hook);
        g_cancelOnFirstCount = false;
        return result;
    }
    MessageBoxRecorder boxes;
};

TEST_F(GroupListDialogTest, CountsEachGroupAndClosesItselfWithoutABox)
{
    server.On("LIST active", std::string("215 list follows\r\n") + kList + ".\r\n");
    EXPECT_EQ(IDOK, RunDialog());
    EXPECT_EQ(std::vector<std::wstring>({L"1 group(s).", L"2 group(s).", L"3 group(s).", L"4 group(s).",
                                         L"5 group(s)."}),
              g_counterTexts);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(kActive, ReadBytes(active));
}

TEST_F(GroupListDialogTest, ShowsTheFailureOnceInAnExclamationBox)
{
    server.On("LIST active", "215 list follows\r\nfj.a 1 1 y\r\n", true);
    EXPECT_EQ(IDOK, RunDialog());
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(L"正常に受信できませんでした(38)", boxes.Boxes()[0].text);
    EXPECT_EQ(L"PELORA", boxes.Boxes()[0].caption);
    EXPECT_EQ((UINT)MB_ICONEXCLAMATION, boxes.Boxes()[0].flags);
    EXPECT_EQ(nullptr, boxes.Boxes()[0].owner);
}

TEST_F(GroupListDialogTest, EscapeAndCloseDoNotEndItWhileTheWorkerRuns)
{
    ScriptedReply slow;
    slow.pieces = {"215 list follows\r\nfj.a 1 1 y\r\n", "fj.b 1 1 y\r\njapan.c 1 1 y\r\n.\r\n"};
    slow.pauseMs = 300;
    server.On("LIST active", slow);
    g_cancelOnFirstCount = true;
    EXPECT_EQ(IDOK, RunDialog());
    EXPECT_EQ(3u, g_counterTexts.size());
    EXPECT_EQ("fj.a\r\nfj.b\r\njapan.c\r\n", ReadBytes(active));
}

TEST_F(GroupListDialogTest, AFetchThatCannotStartEndsAtOnceWithAMessage)
{
    EXPECT_EQ(IDOK, RunDialog(NULL));
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(L"グループ一覧の取得を始められませんでした(87)。", boxes.Boxes()[0].text);
    EXPECT_EQ(0, server.Connections());
    ExpectOldFilesKept();
}

}  // namespace
