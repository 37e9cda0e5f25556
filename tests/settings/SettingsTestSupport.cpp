#include "SettingsTestSupport.h"
#include <gtest/gtest.h>

static const wchar_t kPrivateKey[] = L"Software\\PeloraTests\\settings";
static HKEY g_privateRoot;

void UsePrivateRegistry()
{
    if (g_privateRoot)
        return;
    wchar_t name[96];
    _snwprintf(name, 95, L"%s-%lu", kPrivateKey, GetCurrentProcessId());
    name[95] = L'\0';
    RegDeleteTreeW(HKEY_CURRENT_USER, name);
    RegCreateKeyExW(HKEY_CURRENT_USER, name, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &g_privateRoot, NULL);
    RegOverridePredefKey(HKEY_CURRENT_USER, g_privateRoot);
}

void ClearPrivateRegistry()
{
    UsePrivateRegistry();
    RegDeleteTreeW(g_privateRoot, NULL);
}

namespace {
// The private registry is taken before any test runs, and removed after.
class PrivateRegistryEnvironment : public testing::Environment {
public:
    void SetUp() override { UsePrivateRegistry(); }
    void TearDown() override
    {
        RegOverridePredefKey(HKEY_CURRENT_USER, NULL);
        wchar_t name[96];
        _snwprintf(name, 95, L"%s-%lu", kPrivateKey, GetCurrentProcessId());
        name[95] = L'\0';
        RegCloseKey(g_privateRoot);
        g_privateRoot = NULL;
        RegDeleteTreeW(HKEY_CURRENT_USER, name);
    }
};
testing::Environment* const g_environment =
    testing::AddGlobalTestEnvironment(new PrivateRegistryEnvironment);
}

struct FindData {
    const wchar_t* caption;
    HWND found;
};

static BOOL CALLBACK FindProc(HWND window, LPARAM lParam)
{
    FindData* data = (FindData*)lParam;
    wchar_t cls[32];
    GetClassNameW(window, cls, 32);
    if (wcscmp(cls, L"#32770") || !IsWindowVisible(window))
        return TRUE;
    if (WindowText(window) == data->caption) {
        data->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindThreadDialog(const wchar_t* caption)
{
    FindData data = { caption, NULL };
    EnumThreadWindows(GetCurrentThreadId(), FindProc, (LPARAM)&data);
    return data.found;
}

WhenDialogOpens* WhenDialogOpens::current_;

WhenDialogOpens::WhenDialogOpens(const wchar_t* caption, std::function<void(HWND)> act)
    : caption_(caption), act_(act), timer_(0), ran_(false), running_(false)
{
    current_ = this;
    timer_ = SetTimer(NULL, 0, 20, Tick);
}

WhenDialogOpens::~WhenDialogOpens()
{
    if (timer_)
        KillTimer(NULL, timer_);
    current_ = NULL;
}

void CALLBACK WhenDialogOpens::Tick(HWND, UINT, UINT_PTR timer, DWORD)
{
    WhenDialogOpens* self = current_;
    if (!self || self->ran_ || self->running_)
        return;
    HWND dialog = FindThreadDialog(self->caption_.c_str());
    if (!dialog)
        return;
    self->running_ = true;
    KillTimer(NULL, self->timer_);
    self->timer_ = 0;
    self->act_(dialog);
    // A modal loop told to end waits for its next message: give it one.
    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
    self->ran_ = true;
    self->running_ = false;
}

bool PumpUntil(std::function<bool()> done, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds)
            return false;
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

void PumpFor(DWORD milliseconds)
{
    PumpUntil([] { return false; }, milliseconds);
}

std::wstring WindowText(HWND window)
{
    wchar_t text[1024];
    text[0] = L'\0';
    GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring ItemText(HWND dialog, int id)
{
    return WindowText(GetDlgItem(dialog, id));
}

void SetItemText(HWND dialog, int id, const wchar_t* text)
{
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, (LPARAM)text);
}

void Click(HWND dialog, int id)
{
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}
