#include "support/RealProgram.h"
#include "frame/MainFrame.h"
#include "support/RegistrySandbox.h"

std::wstring ProgramPath()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(NULL, path, MAX_PATH);
    std::wstring p = path;
    p = p.substr(0, p.find_last_of(L'\\'));          // .../tests
    p = p.substr(0, p.find_last_of(L'\\') + 1);      // the build folder
    return p + L"pelora_hpc.exe";
}

BOOL Start(const std::wstring& program, PROCESS_INFORMATION* process, const std::wstring& arguments, DWORD flags)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    std::wstring command = L"\"" + program + L"\" " + arguments;
    return CreateProcessW(program.c_str(), &command[0], NULL, NULL, FALSE, flags, NULL, NULL, &startup, process);
}

StartedCopy::~StartedCopy()
{
    if (!info.hProcess)
        return;
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

namespace {

struct WindowSearch {
    DWORD process;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM param)
{
    WindowSearch* search = (WindowSearch*)param;
    wchar_t name[64];
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && IsWindowVisible(window) && GetClassNameW(window, name, 64)
        && lstrcmpW(name, search->className) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND WaitForWindow(DWORD process, const wchar_t* className, DWORD milliseconds)
{
    for (DWORD waited = 0; waited < milliseconds; waited += 50) {
        WindowSearch search = {process, className, NULL};
        EnumWindows(FindWindowOf, (LPARAM)&search);
        if (search.found)
            return search.found;
        Sleep(50);
    }
    return NULL;
}

HWND WaitForFrame(DWORD process, DWORD milliseconds)
{
    return WaitForWindow(process, kFrameClassName, milliseconds);
}

RealSettings::RealSettings(const std::wstring& dataPath, DWORD port)
{
    RegistrySandbox::Release();
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\tidewell\\Pelora", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key_,
                    NULL);
    DWORD limit = 50;
    Keep(L"Server", L"127.0.0.1", 20);
    Keep(L"DataPath", dataPath.c_str(), (DWORD)(dataPath.size() + 1) * 2, REG_SZ);
    Keep(L"Port", &port, 4, REG_DWORD);
    Keep(L"Limit", &limit, 4, REG_DWORD);
}

RealSettings::~RealSettings()
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

void RealSettings::Keep(const wchar_t* name, const void* data, DWORD size, DWORD type)
{
    Saved& s = saved_[count_++];
    s.name = name;
    s.size = sizeof s.data;
    s.existed = RegQueryValueExW(key_, name, NULL, &s.type, s.data, &s.size) == ERROR_SUCCESS;
    RegSetValueExW(key_, name, 0, type, (const BYTE*)data, size);
}
