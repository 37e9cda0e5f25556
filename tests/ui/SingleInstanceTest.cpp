// One copy of the program at a time: a second copy brings the first to the
// front and ends with exit code 0; a window whose class merely starts with
// the frame's class name does not count.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "FrameFixture.h"
#include "app/SingleInstance.h"
#include "support/RegistrySandbox.h"

namespace {

std::wstring ProgramPath()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(NULL, path, MAX_PATH);
    std::wstring p = path;
    p = p.substr(0, p.find_last_of(L'\\'));          // .../tests
    p = p.substr(0, p.find_last_of(L'\\') + 1);      // the build folder
    return p + L"pelora_hpc.exe";
}

BOOL Start(const std::wstring& program, PROCESS_INFORMATION* process)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    std::wstring command = L"\"" + program + L"\"";
    return CreateProcessW(program.c_str(), &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, process);
}

// Ends a copy that is still running when the test leaves, whatever failed,
// so no stray program keeps the test runner's output open.
struct StartedCopy {
    PROCESS_INFORMATION info = {};
    ~StartedCopy()
    {
        if (!info.hProcess)
            return;
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
};

struct FrameSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindFrameOf(HWND window, LPARAM param)
{
    FrameSearch* search = (FrameSearch*)param;
    wchar_t name[64];
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && GetClassNameW(window, name, 64) && lstrcmpW(name, kFrameClassName) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForFrame(DWORD process, DWORD milliseconds)
{
    for (DWORD waited = 0; waited < milliseconds; waited += 50) {
        FrameSearch search = {process, NULL};
        EnumWindows(FindFrameOf, (LPARAM)&search);
        if (search.found && IsWindowVisible(search.found))
            return search.found;
        Sleep(50);
    }
    return NULL;
}

// The copies started here read the real current user's key: they get the
// connection values for the run, and whatever stood there before is put back.
class RealSettings {
public:
    RealSettings()
    {
        RegistrySandbox::Release();
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\tidewell\\Pelora", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key_,
                        NULL);
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        dataPath_ = std::wstring(temp) + L"pelora-ui-instance\\";
        CreateDirectoryW(dataPath_.c_str(), NULL);
        DWORD port = 119, limit = 50;
        Keep(L"Server", L"127.0.0.1", 20);
        Keep(L"DataPath", dataPath_.c_str(), (DWORD)(dataPath_.size() + 1) * 2, REG_SZ);
        Keep(L"Port", &port, 4, REG_DWORD);
        Keep(L"Limit", &limit, 4, REG_DWORD);
    }
    ~RealSettings()
    {
        for (int i = 0; i < count_; i++) {
            if (saved_[i].existed)
                RegSetValueExW(key_, saved_[i].name, 0, saved_[i].type, saved_[i].data, saved_[i].size);
            else
                RegDeleteValueW(key_, saved_[i].name);
        }
        RegCloseKey(key_);
        RegistrySandbox::Take();
    }

private:
    void Keep(const wchar_t* name, const void* data, DWORD size, DWORD type = REG_SZ)
    {
        Saved& s = saved_[count_++];
        s.name = name;
        s.size = sizeof s.data;
        s.existed = RegQueryValueExW(key_, name, NULL, &s.type, s.data, &s.size) == ERROR_SUCCESS;
        RegSetValueExW(key_, name, 0, type, (const BYTE*)data, size);
    }
    struct Saved {
        const wchar_t* name;
        BOOL existed;
        DWORD type, size;
        BYTE data[1024];
    };
    HKEY key_ = NULL;
    std::wstring dataPath_;
    Saved saved_[4];
    int count_ = 0;
};

TEST(SingleInstance, ASecondCopyBringsTheFirstToTheFrontAndEndsWithZero)
{
    RealSettings settings;
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
