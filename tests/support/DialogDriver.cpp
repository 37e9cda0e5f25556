#include "support/DialogDriver.h"
#include <algorithm>

DialogDriver* DialogDriver::current_;

DialogDriver::DialogDriver() : next_(0)
{
    current_ = this;
    timer_ = SetTimer(NULL, 0, 20, &DialogDriver::Tick);
}

DialogDriver::~DialogDriver()
{
    KillTimer(NULL, timer_);
    current_ = NULL;
}

void DialogDriver::SetText(HWND dialog, int id, const wchar_t* text)
{
    SendDlgItemMessageW(dialog, id, WM_SETTEXT, 0, (LPARAM)text);
}

std::wstring DialogDriver::Text(HWND dialog, int id)
{
    wchar_t text[2048] = L"";
    GetDlgItemTextW(dialog, id, text, 2048);
    return text;
}

void DialogDriver::Click(HWND dialog, int id)
{
    SendDlgItemMessageW(dialog, id, BM_CLICK, 0, 0);
}

void CALLBACK DialogDriver::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (current_)
        current_->Poll();
}

BOOL CALLBACK DialogDriver::FindDialog(HWND window, LPARAM context)
{
    wchar_t name[16];
    GetClassNameW(window, name, 16);
    if (wcscmp(name, L"#32770") == 0 && IsWindowVisible(window)) {
        *(HWND*)context = window;
        return FALSE;
    }
    return TRUE;
}

void DialogDriver::Poll()
{
    // A window handle can come back for a later dialog once the first is gone.
    seen_.erase(std::remove_if(seen_.begin(), seen_.end(), [](HWND w) { return !IsWindow(w); }), seen_.end());
    HWND dialog = NULL;
    EnumThreadWindows(GetCurrentThreadId(), &DialogDriver::FindDialog, (LPARAM)&dialog);
    if (!dialog || std::find(seen_.begin(), seen_.end(), dialog) != seen_.end())
        return;
    seen_.push_back(dialog);
    if (next_ < actions_.size()) {
        Action action = actions_[next_++];
        action(dialog);
        return;
    }
    wchar_t caption[256] = L"";
    GetWindowTextW(dialog, caption, 256);
    unexpected_.push_back(caption);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}
