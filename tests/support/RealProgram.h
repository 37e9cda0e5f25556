// The real program started as its own process, for tests that need a copy
// of their own or must kill one.
#pragma once
#include <windows.h>
#include <string>

// pelora_hpc.exe of this build.
std::wstring ProgramPath();
// `arguments` follow the quoted program on its command line.
BOOL Start(const std::wstring& program, PROCESS_INFORMATION* process, const std::wstring& arguments = L"",
           DWORD flags = 0);
// A visible top-level window of the copy with this class, or none after
// `milliseconds`.
HWND WaitForWindow(DWORD process, const wchar_t* className, DWORD milliseconds);
// The copy's visible frame.
HWND WaitForFrame(DWORD process, DWORD milliseconds);

// Ends a copy that is still running when the test leaves, whatever failed,
// so no stray program keeps the test runner's output open.
struct StartedCopy {
    PROCESS_INFORMATION info = {};
    ~StartedCopy();
};

// The copies started here read the real current user's key: they get the
// connection values for the run, and whatever stood there before is put back.
class RealSettings {
public:
    RealSettings(const std::wstring& dataPath, DWORD port);
    ~RealSettings();

private:
    void Keep(const wchar_t* name, const void* data, DWORD size, DWORD type = REG_SZ);
    struct Saved {
        const wchar_t* name;
        BOOL existed;
        DWORD type, size;
        BYTE data[1024];
    };
    HKEY key_ = NULL;
    Saved saved_[4];
    int count_ = 0;
};
