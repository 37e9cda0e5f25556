#include "dialogs/HangUpDialog.h"
#include "nntp/DialUp.h"
#include "dialogs/ModalDialog.h"
#include "text/MessageCatalog.h"
#include "resource.h"

namespace {

enum { kCountdownTimer = 2, kCloseTimer = 3, kCloseDelay = 500 };

struct HangUpDialog : ModalDialog {
    HWND frame;
    DWORD waitSeconds;
    BOOL hungUp;

    BOOL OnInitDialog() override;
    BOOL OnCommand(WORD id, WORD code, LPARAM lParam) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void HangUpNow();
    void OnTimer(WPARAM timer);
};

void SetStateText(HWND dialog, UINT id)
{
    const wchar_t* text = MessageCatalog::Load(id);
    SetDlgItemTextW(dialog, IDC_DIAL_STATE, text ? text : L"");
}

void HangUpDialog::HangUpNow()
{
    hungUp = TRUE;
    SendMessageW(frame, WM_DIAL_HANGUP, 0, 0);
    EnableWindow(GetDlgItem(dialog_, IDCANCEL), FALSE);
    SetStateText(dialog_, IDS_DIAL_DISCONNECTED);
    SetTimer(dialog_, kCloseTimer, kCloseDelay, NULL);
}

BOOL HangUpDialog::OnInitDialog()
{
    const wchar_t* title = MessageCatalog::Load(IDS_DIAL_DISCONNECTING);
    if (title)
        SetWindowTextW(dialog_, title);
    if (waitSeconds == 0) {
        HangUpNow();
        return TRUE;
    }
    SetStateText(dialog_, IDS_DIAL_HANGING_UP);
    // Longer waits than the timer can count are cut to its largest period.
    DWORD seconds = waitSeconds > 0x7FFFFFFF / 1000 ? 0x7FFFFFFF / 1000 : waitSeconds;
    SetTimer(dialog_, kCountdownTimer, seconds * 1000, NULL);
    return TRUE;
}

void HangUpDialog::OnTimer(WPARAM timer)
{
    if (timer == kCountdownTimer) {
        KillTimer(dialog_, kCountdownTimer);
        HangUpNow();
    } else if (timer == kCloseTimer) {
        KillTimer(dialog_, kCloseTimer);
        PostMessageW(dialog_, WM_CLOSE, 0, 0);
    }
}

BOOL HangUpDialog::OnCommand(WORD id, WORD code, LPARAM lParam)
{
    if (id != IDCANCEL || hungUp)
        return TRUE;
    // The user stays connected: the countdown stops and nothing is hung up.
    KillTimer(dialog_, kCountdownTimer);
    PostMessageW(dialog_, WM_CLOSE, 0, 0);
    return TRUE;
}

INT_PTR HangUpDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_CLOSE:
        KillTimer(dialog_, kCountdownTimer);
        KillTimer(dialog_, kCloseTimer);
        End(IDOK);
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
    INT_PTR result = self.Run(instance, IDD_DIALUP, frame);
    return result == -1 ? 0 : result;
}
