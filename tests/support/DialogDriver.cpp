#include "support/DialogDriver.h"
#include <commctrl.h>

DialogDriver* DialogDriver::current_;

// Marks a dialog an action has had. A property rather than a list of
// handles: a handle comes back at once for the next dialog.
static const wchar_t kSeenProperty[] = L"PeloraTestDriverSeen";

struct DialogDriver::Search {
    DialogDriver* driver;
    const wchar_t* caption;
    HWND found;
};

DialogDriver::DialogDriver() : next_(0), previous_(current_)
{
    current_ = this;
    timer_ = SetTimer(NULL, 0, 20, &DialogDriver::Tick);
}

DialogDriver::~DialogDriver()
{
    KillTimer(NULL, timer_);
    current_ = previous_;
}

void DialogDriver::Then(const wchar_t* caption, Action action)
{
    actions_.push_back({caption, action});
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

std::vector<std::wstring> DialogDriver::ComboItems(HWND combo)
{
    std::vector<std::wstring> items;
    LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[1024] = L"";
        SendMessageW(combo, CB_GETLBTEXT, i, (LPARAM)text);
        items.push_back(text);
    }
    return items;
}

bool DialogDriver::DoubleTap(HWND dialog, int listId, const wchar_t* text)
{
    HWND list = GetDlgItem(dialog, listId);
    LVFINDINFOW find = {LVFI_STRING, text};
    int index = (int)SendMessageW(list, LVM_FINDITEMW, (WPARAM)-1, (LPARAM)&find);
    if (index < 0)
        return false;
    LVITEMW state = {};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, index, (LPARAM)&state);
    NMITEMACTIVATE notify = {};
    notify.hdr.hwndFrom = list;
    notify.hdr.idFrom = listId;
    notify.hdr.code = NM_DBLCLK;
    notify.iItem = index;
    SendMessageW(dialog, WM_NOTIFY, listId, (LPARAM)&notify);
    return true;
}

static bool IsVisibleDialog(HWND window, wchar_t* caption, int size)
{
    wchar_t name[16];
    GetClassNameW(window, name, 16);
    if (wcscmp(name, L"#32770") != 0 || !IsWindowVisible(window))
        return false;
    caption[0] = L'\0';
    GetWindowTextW(window, caption, size);
    return true;
}

BOOL CALLBACK DialogDriver::FindCaption(HWND window, LPARAM context)
{
    Search* search = (Search*)context;
    wchar_t caption[256];
    if (!IsVisibleDialog(window, caption, 256) || wcscmp(caption, search->caption) != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND DialogDriver::Find(const wchar_t* caption)
{
    Search search = { NULL, caption, NULL };
    EnumThreadWindows(GetCurrentThreadId(), &DialogDriver::FindCaption, (LPARAM)&search);
    return search.found;
}

bool DialogDriver::PumpUntil(std::function<bool()> done, DWORD milliseconds)
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

void DialogDriver::PumpFor(DWORD milliseconds)
{
    PumpUntil([] { return false; }, milliseconds);
}

void CALLBACK DialogDriver::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (current_)
        current_->Poll();
}

bool DialogDriver::Ignored(const wchar_t* caption) const
{
    for (const std::wstring& ignored : ignored_)
        if (ignored == caption)
            return true;
    return false;
}

// The first visible dialog of the thread that no action has had yet and the
// next action wants: an action may itself open a dialog inside the one it
// was given.
BOOL CALLBACK DialogDriver::FindNewDialog(HWND window, LPARAM context)
{
    Search* search = (Search*)context;
    wchar_t caption[256];
    if (!IsVisibleDialog(window, caption, 256) || GetPropW(window, kSeenProperty))
        return TRUE;
    if (search->caption && *search->caption && wcscmp(caption, search->caption) != 0 &&
        !search->driver->Ignored(caption))
        return TRUE;
    search->found = window;
    return FALSE;
}

void DialogDriver::Poll()
{
    Search search = { this, next_ < actions_.size() ? actions_[next_].caption.c_str() : NULL, NULL };
    EnumThreadWindows(GetCurrentThreadId(), &DialogDriver::FindNewDialog, (LPARAM)&search);
    HWND dialog = search.found;
    if (!dialog)
        return;
    SetPropW(dialog, kSeenProperty, (HANDLE)1);
    wchar_t caption[256] = L"";
    GetWindowTextW(dialog, caption, 256);
    if (Ignored(caption))
        return;
    if (next_ < actions_.size()) {
        Action action = actions_[next_++].action;
        action(dialog);
        // A modal loop told to end waits for its next message: give it one.
        PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
        return;
    }
    unexpected_.push_back(caption);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}
