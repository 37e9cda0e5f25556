// The modal group list dialog over a real fetch: the running count, the
// one box of a failure, and a fetch that cannot start.
#include "nntp/GroupListFixture.h"
#include "dialogs/GroupListDialog.h"
#include "resource.h"
#include "support/MessageBoxRecorder.h"

namespace {

std::vector<std::wstring> g_counterTexts;

// Escape and close come at the first count, while the worker still runs: they must not end the dialog.
LRESULT CALLBACK WatchCounter(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* call = (const CWPSTRUCT*)lParam;
    if (code == HC_ACTION && call->message == WM_SETTEXT && GetDlgCtrlID(call->hwnd) == IDC_GROUPLIST_COUNT) {
        g_counterTexts.push_back((const wchar_t*)call->lParam);
        if (g_counterTexts.size() == 1) {
            PostMessageW(GetParent(call->hwnd), WM_COMMAND, IDCANCEL, 0);
            PostMessageW(GetParent(call->hwnd), WM_CLOSE, 0, 0);
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
        return result;
    }
    MessageBoxRecorder boxes;
};

TEST_F(GroupListDialogTest, CountsEachGroupOnlyTheEndOfTheFetchClosesItAndAFailureShowsOnceInAnExclamationBox)
{
    // A fetch that cannot start ends at once with a message.
    EXPECT_EQ(IDOK, RunDialog(NULL));
    ASSERT_TRUE(boxes.Showed(1, 0, L"グループ一覧の取得を始められませんでした(87)。", L"PELORA", MB_ICONEXCLAMATION));
    EXPECT_EQ(0, server.Connections());
    ExpectOldFilesKept();

    ScriptedReply slow;
    slow.pieces = {"215 list follows\r\nfj.a 1 1 y\r\n", "fj.b 1 1 y\r\njapan.c 1 1 y\r\n.\r\n"};
    slow.pauseMs = 300;
    server.On("LIST active", slow);
    server.On("LIST active", "215 list follows\r\nfj.a 1 1 y\r\n", true);   // for the next fetch
    EXPECT_EQ(IDOK, RunDialog());
    EXPECT_EQ(std::vector<std::wstring>({L"1 group(s).", L"2 group(s).", L"3 group(s)."}), g_counterTexts);
    EXPECT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ("fj.a\r\nfj.b\r\njapan.c\r\n", ReadBytes(active));

    // The fetch may end before the Escape at its first count comes in, which
    // then closes the finished dialog: either way it ends.
    RunDialog();
    ASSERT_TRUE(boxes.Showed(2, 1, L"正常に受信できませんでした(38)", L"PELORA", MB_ICONEXCLAMATION));
    EXPECT_EQ(nullptr, boxes.Boxes()[1].owner);
}

}  // namespace
