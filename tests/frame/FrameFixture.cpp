#include "frame/FrameFixture.h"
#include <commctrl.h>
#include <stdio.h>
#include "app/MessageLoop.h"
#include "support/StoreFiles.h"

static const wchar_t kSettingsKey[] = L"Software\\tidewell\\Pelora";

std::wstring Widen(const std::string& utf8)
{
    std::wstring out(utf8.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], (int)out.size());
    out.resize(n > 0 ? n - 1 : 0);
    return out;
}

std::string ToSjis(const std::string& utf8)
{
    std::wstring wide = Widen(utf8);
    std::string out(wide.size() * 2 + 1, '\0');
    int n = WideCharToMultiByte(932, 0, wide.c_str(), -1, &out[0], (int)out.size(), NULL, NULL);
    out.resize(n > 0 ? n - 1 : 0);
    return out;
}

FrameFixture::FrameFixture()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\tidewell");
    static int serial;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t folder[MAX_PATH + 64];
    _snwprintf(folder, MAX_PATH + 64, L"%lspelora-ui-%lu-%d\\", temp, GetCurrentProcessId(), ++serial);
    dataPath_ = folder;
    RemoveTree(dataPath_);
    CreateDirectoryW(dataPath_.c_str(), NULL);
}

FrameFixture::~FrameFixture()
{
    RemoveTree(dataPath_);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\tidewell");
}

static void SetValue(const wchar_t* subKey, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    std::wstring path = kSettingsKey;
    if (subKey && *subKey)
        path += std::wstring(L"\\") + subKey;
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != 0)
        return;
    RegSetValueExW(key, name, 0, type, (const BYTE*)data, size);
    RegCloseKey(key);
}

void FrameFixture::WriteCompleteSettings(const std::wstring& server, DWORD port, DWORD limit)
{
    SetValue(NULL, L"Server", REG_SZ, server.c_str(), (DWORD)(server.size() + 1) * 2);
    SetValue(NULL, L"DataPath", REG_SZ, dataPath_.c_str(), (DWORD)(dataPath_.size() + 1) * 2);
    SetValue(NULL, L"Port", REG_DWORD, &port, 4);
    SetValue(NULL, L"Limit", REG_DWORD, &limit, 4);
}

void FrameFixture::SetDword(const wchar_t* subKey, const wchar_t* name, DWORD value)
{
    SetValue(subKey, name, REG_DWORD, &value, 4);
}

void FrameFixture::SetString(const wchar_t* subKey, const wchar_t* name, const std::wstring& value)
{
    SetValue(subKey, name, REG_SZ, value.c_str(), (DWORD)(value.size() + 1) * 2);
}

DWORD FrameFixture::GetDword(const wchar_t* subKey, const wchar_t* name, DWORD missing)
{
    std::wstring path = kSettingsKey;
    if (subKey && *subKey)
        path += std::wstring(L"\\") + subKey;
    DWORD value = 0, size = 4;
    if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_REG_DWORD, NULL, &value, &size) != 0)
        return missing;
    return value;
}

void FrameFixture::WriteGroups(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += name + "\r\n";
    WriteBytes(dataPath_ + L"group.dat", text);
}

void FrameFixture::WriteLog(const std::string& group, const std::vector<TestArticle>& articles)
{
    std::string log;
    int number = 1;
    for (const TestArticle& a : articles) {
        log += "From: " + ToSjis(a.from) + "\r\n";
        log += "Subject: " + ToSjis(a.subject) + "\r\n";
        log += "Newsgroups: " + group + "\r\n";
        log += "Date: Sun, 06 Dec 2026 10:00:00 +0900\r\n";
        char seq[40];
        snprintf(seq, sizeof seq, "X-Local-Seq: %d\r\n", number++);
        log += seq;
        log += "\r\n" + ToSjis(a.body) + "\r\n";
        log += "================\r\n";
    }
    WriteBytes(dataPath_ + Widen(group) + L".log", log);
}

std::string FrameFixture::ReadFileBytes(const std::string& name)
{
    std::wstring path = dataPath_ + Widen(name);
    return FileExists(path) ? ReadBytes(path) : std::string();
}

// The program's own loop: it returns at WM_QUIT, which is handed out only
// once the queue is empty. A quit posted by the frame itself ends it too.
void FrameFixture::Pump()
{
    HWND frame = FindWindowW(L"PeloraMainFrmWnd", NULL);
    HACCEL accelerators = LoadAcceleratorsW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(131));
    PostQuitMessage(0);
    RunMessageLoop(frame, accelerators);
    DestroyAcceleratorTable(accelerators);
}

void FrameFixture::Key(HWND window, UINT key, BOOL control, BOOL alt)
{
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_CONTROL] = control ? 0x80 : 0;
    state[VK_MENU] = alt ? 0x80 : 0;
    SetKeyboardState(state);
    UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
    UINT up = alt ? WM_SYSKEYUP : WM_KEYUP;
    LPARAM altBit = alt ? (1 << 29) : 0;
    PostMessageW(window, down, key, 1 | altBit);
    PostMessageW(window, up, key, 1 | altBit | (1u << 30) | (1u << 31));
    Pump();
    state[VK_CONTROL] = 0;
    state[VK_MENU] = 0;
    SetKeyboardState(state);
}

std::wstring FrameFixture::ListText(HWND list, int row, int column)
{
    wchar_t text[1024] = L"";
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 1024;
    SendMessageW(list, LVM_GETITEMTEXTW, row, (LPARAM)&item);
    return text;
}

int FrameFixture::ListRows(HWND list)
{
    return (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
}

int FrameFixture::ListSelection(HWND list)
{
    return (int)SendMessageW(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
}

std::wstring FrameFixture::ClipboardText()
{
    std::wstring text;
    if (!OpenClipboard(NULL))
        return text;
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (data) {
        const wchar_t* p = (const wchar_t*)GlobalLock(data);
        if (p)
            text = p;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

