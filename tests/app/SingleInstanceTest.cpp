// One copy of the program at a time: a second copy brings the first to the
// front and ends with exit code 0; a window whose class merely starts with
// the frame's class name does not count.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "frame/FrameFixture.h"
#include "app/SingleInstance.h"
#include "support/RealProgram.h"

namespace {

TEST(SingleInstance, ASecondCopyBringsTheFirstToTheFrontAndEndsWithZero)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring dataPath = std::wstring(temp) + L"pelora-ui-instance\\";
    CreateDirectoryW(dataPath.c_str(), NULL);
    RealSettings settings(dataPath, 119);
    std::wstring program = ProgramPath();
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(program.c_str())) << "build pelora_hpc first";
    StartedCopy firstCopy;
    PROCESS_INFORMATION& first = firstCopy.info;
    ASSERT_TRUE(Start(program, &first));
    HWND frame = WaitForFrame(first.dwProcessId, 20000);
    ASSERT_TRUE(frame != NULL) << "the first copy shows no frame";

    // Another window in front, so that coming to the front is seen.
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, NULL,
                                 NULL, GetModuleHandleW(NULL), NULL);
    SetForegroundWindow(other);

    StartedCopy secondCopy;
    PROCESS_INFORMATION& second = secondCopy.info;
    ASSERT_TRUE(Start(program, &second));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second.hProcess, 20000));
    DWORD code = 0xDEAD;
    GetExitCodeProcess(second.hProcess, &code);
    EXPECT_EQ(0u, code);
    EXPECT_EQ(NULL, WaitForFrame(second.dwProcessId, 100)) << "the second copy showed a frame";
    EXPECT_EQ(frame, GetForegroundWindow());

    DestroyWindow(other);
    PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(first.hProcess, 10000));
    code = 0xDEAD;
    GetExitCodeProcess(first.hProcess, &code);
    EXPECT_EQ(0u, code) << "a normal quit ends with 0";
}

TEST(SingleInstance, AClassThatOnlyStartsWithTheFrameNameIsNoCopy)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"PeloraMainFrmWndX";
    RegisterClassW(&wc);
    HWND lookalike = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, NULL, NULL,
                                     wc.hInstance, NULL);
    ASSERT_TRUE(lookalike != NULL);
    EXPECT_EQ(0, FindRunningInstance());
    DestroyWindow(lookalike);
}

}  // namespace
