// One copy of the program at a time: a second copy brings the first to the
// front and ends with exit code 0; a window whose class merely starts with
// the frame's class name does not count.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "app/SingleInstance.h"
#include "support/RealProgram.h"
#include "support/StoreFiles.h"
#include "support/TestWindow.h"

namespace {

// The copy's exit code once it ended, or STILL_ACTIVE when it did not in time.
DWORD ExitCode(HANDLE process, DWORD milliseconds)
{
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process, milliseconds) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    return code;
}

TEST(SingleInstance, ASecondCopyBringsTheFirstToTheFrontAndEndsWithZero)
{
    TempDataFolder folder;
    RealSettings settings(folder.Path(), 119);
    std::wstring program = ProgramPath();
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(program.c_str())) << "build pelora_hpc first";
    StartedCopy first, second;
    ASSERT_TRUE(Start(program, &first.info));
    HWND frame = WaitForFrame(first.info.dwProcessId, 20000);
    ASSERT_TRUE(frame != NULL) << "the first copy shows no frame";

    // Another window in front, so that coming to the front is seen.
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, NULL,
                                 NULL, GetModuleHandleW(NULL), NULL);
    SetForegroundWindow(other);

    ASSERT_TRUE(Start(program, &second.info));
    EXPECT_EQ(0u, ExitCode(second.info.hProcess, 20000));
    EXPECT_EQ(NULL, WaitForFrame(second.info.dwProcessId, 100)) << "the second copy showed a frame";
    EXPECT_EQ(frame, GetForegroundWindow());

    DestroyWindow(other);
    PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, ExitCode(first.info.hProcess, 10000)) << "a normal quit ends with 0";
}

TEST(SingleInstance, AClassThatOnlyStartsWithTheFrameNameIsNoCopy)
{
    HWND lookalike = MakeTestWindow(L"PeloraMainFrmWndX", DefWindowProcW, WS_OVERLAPPED, 10, 10);
    ASSERT_TRUE(lookalike != NULL);
    EXPECT_EQ(0, FindRunningInstance());
    DestroyWindow(lookalike);
}

}  // namespace
