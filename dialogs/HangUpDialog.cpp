#include "dialogs/HangUpDialog.h"
#include "nntp/DialUp.h"
#include "dialogs/DialogGuard.h"
#include "text/MessageCatalog.h"
#include "resource.h"

namespace {

enum { kCountdownTimer = 2, kCloseTimer = 3, kCloseDelay = 500 };

struct HangUpDialog {
    HWND frame;
    DWORD waitSeconds;
    BOOL hungUp;
};

void SetStateText(HWND dialog, UINT id)
{
    const wchar_t* text = MessageCatalog::Load(id);
    SetDlgItemTextW(dialog, IDC_DIAL_STATE, text ? text : L"");
}

void HangUpNow(HWND dialog, HangUpDialog* self)
{
    self->hungUp = TRUE;
    SendMessageW(self->frame, WM_DIAL_HANGUP, 0, 0);
    EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
    SetStateText(dialog, IDS_DIAL_DISCONNECTED);
    SetTimer(dialog, kCloseTimer, kCloseDelay, NULL);
}

void OnInitDialog(HWND dialog, HangUpDialog* self)
{
    const wchar_t* title = MessageCatalog::Load(IDS_DIAL_DISCONNECTING);
    if (title)
        SetWindowTextW(dialog, title);
    if (self->waitSeconds == 0) {
        HangUpNow(dialog, self);
        return;
    }
    SetStateText(dialog, IDS_DIAL_HANGING_UP);
    // Longer waits than the timer can count are cut to its largest period.
    DWORD seconds = self->waitSeconds > 0x7FFFFFFF / 1000 ? 0x7FFFFFFF / 1000 : self->waitSeconds;
    SetTimer(dialog, kCountdownTimer, seconds * 1000, NULL);
}

void OnTimer(HWND dialog, HangUpDialog* self, WPARAM timer)
{
    if (timer == kCountdownTimer) {
        KillTimer(dialog, kCountdownTimer);
        HangUpNow(dialog, self);
    } else if (timer == kCloseTimer) {
        KillTimer(dialog, kCloseTimer);
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    }
}

void OnCommand(HWND dialog, WPARAM wParam)
{
    HangUpDialog* self = DialogCommandObjectAs<HangUpDialog>(dialog);
    if (!self || LOWORD(wParam) != IDCANCEL || self->hungUp)
        return;
    // The user stays connected: the countdown stops and nothing is hung up.
    KillTimer(dialog, kCountdownTimer);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
}

INT_PTR CALLBACK HangUpDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        AttachDialogObject(dialog, (void*)lParam);
        OnInitDialog(dialog, (HangUpDialog*)lParam);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        OnCommand(dialog, wParam);
        return TRUE;
    }
    HangUpDialog* self = DialogObjectAs<HangUpDialog>(dialog);
    if (!self)
        return FALSE;
    switch (message) {
    case WM_TIMER:
        OnTimer(dialog, self, wParam);
        return TRUE;
    case WM_CLOSE:
        KillTimer(dialog, kCountdownTimer);
        KillTimer(dialog, kCloseTimer);
        EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}

} // namespace

INT_PTR RunHangUpDialog(HINSTANCE instance, HWND frame, DWORD waitSeconds)
{
    HangUpDialog self;
    self.frame = frame;
    self.waitSeconds = waitSeconds;
    self.hungUp = FALSE;
    INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_DIALUP), frame,
                                     HangUpDialogProc, (LPARAM)&self);
    return result == -1 ? 0 : result;
}
