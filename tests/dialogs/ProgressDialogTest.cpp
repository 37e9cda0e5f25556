// The progress dialog must close however early the worker ends, and only the worker may end it.
#include <gtest/gtest.h>
#include <thread>
#include "dialogs/ProgressDialog.h"
#include "resource.h"
#include "support/DialogDriver.h"

namespace {

TEST(ProgressDialog, ClosesWhenTheWorkerEndedBeforeItOpenedAndEscapeWaitsForTheWorker)
{
    ProgressState state;
    InitProgressState(&state);
    ProgressWorkerDone(&state);
    EXPECT_EQ(IDOK, RunProgressDialog(GetModuleHandleW(NULL), NULL, &state));
    EXPECT_EQ((HWND)NULL, state.dialog);

    // The worker updates the open dialog; Escape does not end it.
    InitProgressState(&state);
    std::wstring shownGroup;
    bool openAfterEscape = false;
    std::thread worker([&] {
        DWORD deadline = GetTickCount() + 8000;
        while (!state.dialog && (LONG)(GetTickCount() - deadline) < 0)
            Sleep(10);
        HWND dialog = state.dialog;
        if (dialog) {
            ProgressShowGroup(&state, L"fj.test", 5);
            ProgressStep(&state);
            shownGroup = DialogDriver::Text(dialog, IDC_PROGRESS_GROUP);
            SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            openAfterEscape = IsWindow(dialog) && state.dialog == dialog;
        }
        ProgressWorkerDone(&state);
    });
    EXPECT_EQ(IDOK, RunProgressDialog(GetModuleHandleW(NULL), NULL, &state));
    worker.join();
    EXPECT_EQ(L"fj.test", shownGroup);
    EXPECT_TRUE(openAfterEscape);
}

}  // namespace
