#include "support/DialogDriver.h"

DialogDriver* DialogDriver::current_;

// Marks a dialog an action has had. A property rather than a list of
// handles: a handle comes back at once for the next dialog.
static const wchar_t kSeenProperty[] = L"PeloraTestDriverSeen";

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

// The first visible dialog of the thread that no action has had yet: an
// action may itself open a dialog inside the one it was given.
BOOL CALLBACK DialogDriver::FindNewDialog(HWND window, LPARAM context)
{
    wchar_t name[16];
    GetClassNameW(window, name, 16);
    if (wcscmp(name, L"#32770") != 0 || !IsWindowVisible(window) || GetPropW(window, kSeenProperty))
        return TRUE;
    *(HWND*)context = window;
    return FALSE;
}

void DialogDriver::Poll()
{
    HWND dialog = NULL;
    EnumThreadWindows(GetCurrentThreadId(), &DialogDriver::FindNewDialog, (LPARAM)&dialog);
    if (!dialog)
        return;
    SetPropW(dialog, kSeenProperty, (HANDLE)1);
    wchar_t caption[256] = L"";
    GetWindowTextW(dialog, caption, 256);
    for (const std::wstring& ignored : ignored_)
        if (ignored == caption)
            return;
    if (next_ < actions_.size()) {
        Action action = actions_[next_++];
        action(dialog);
        return;
    }
    unexpected_.push_back(caption);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}
