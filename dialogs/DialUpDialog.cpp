#include "dialogs/DialUpDialog.h"
#include "nntp/DialUp.h"
#include "dialogs/ModalDialog.h"
#include "text/MessageCatalog.h"
#include "host/Ras.h"
#include "resource.h"
#include "text/LastErrorKeeper.h"
#include <wchar.h>
#include <new>

namespace {

enum { kConnectedTimer = 1, kConnectedDelay = 500 };

struct DialUpDialog : ModalDialog {
    HWND frame;
    wchar_t entryName[RAS_MaxEntryName + 1];

    BOOL OnInitDialog() override;
    BOOL OnCommand(WORD id, WORD code, LPARAM lParam) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDisconnected();
    void OnRasDialEvent(WPARAM state);
    void OnTimer(WPARAM timer);
};

void SetStateText(HWND dialog, UINT id)
{
    const wchar_t* text = MessageCatalog::Load(id);
    SetDlgItemTextW(dialog, IDC_DIAL_STATE, text ? text : L"");
}

BOOL DialUpDialog::OnInitDialog()
{
    wchar_t title[kMessageTextCapacity];
    const wchar_t* format = MessageCatalog::Load(IDS_DIAL_CONNECTING);
    if (format) {
        _snwprintf(title, kMessageTextCapacity - 1, format, entryName);
        title[kMessageTextCapacity - 1] = L'\0';
        SetWindowTextW(dialog_, title);
    }
    return TRUE;
}

void DialUpDialog::OnDisconnected()
{
    SetStateText(dialog_, IDS_DIAL_DISCONNECTED);
    ShowWindow(dialog_, SW_HIDE);
    ShowDialFailure(dialog_);
    PostMessageW(frame, WM_DIAL_HANGUP, 0, 0);
    PostMessageW(dialog_, WM_CLOSE, 0, 0);
}

void DialUpDialog::OnRasDialEvent(WPARAM state)
{
    switch (state) {
    case RASCS_OpenPort:        SetStateText(dialog_, IDS_DIAL_OPENING_PORT); break;
    case RASCS_PortOpened:      SetStateText(dialog_, IDS_DIAL_PORT_OPENED); break;
    case RASCS_ConnectDevice:   SetStateText(dialog_, IDS_DIAL_CONNECTING_DEVICE); break;
    case RASCS_DeviceConnected: SetStateText(dialog_, IDS_DIAL_DEVICE_CONNECTED); break;
    case RASCS_Authenticate:    SetStateText(dialog_, IDS_DIAL_AUTHENTICATING); break;
    case RASCS_Authenticated:   SetStateText(dialog_, IDS_DIAL_AUTHENTICATED); break;
    case RASCS_Connected:
        SetStateText(dialog_, IDS_DIAL_CONNECTED);
        EnableWindow(GetDlgItem(dialog_, IDCANCEL), FALSE);
        SetTimer(dialog_, kConnectedTimer, kConnectedDelay, NULL);
        break;
    case RASCS_Disconnected:
        OnDisconnected();
        break;
    default:
        break;
    }
}

void DialUpDialog::OnTimer(WPARAM timer)
{
    if (timer != kConnectedTimer)
        return;
    KillTimer(dialog_, kConnectedTimer);
    // Closed first: the download's modal loop, once told to end, drops the
    // message it fetches next, and this close could be that message.
    PostMessageW(dialog_, WM_CLOSE, 0, 0);
    PostMessageW(frame, WM_DIAL_CONNECTED, 0, 0);
}

BOOL DialUpDialog::OnCommand(WORD id, WORD code, LPARAM lParam)
{
    if (id != IDCANCEL)
        return TRUE;
    PostMessageW(frame, WM_DIAL_HANGUP, 0, 0);
    PostMessageW(dialog_, WM_CLOSE, 0, 0);
    return TRUE;
}

INT_PTR DialUpDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_RASDIALEVENT:
        OnRasDialEvent(wParam);
        return TRUE;
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(dialog_);
        return TRUE;
    case WM_NCDESTROY:
        delete this;
        return FALSE;
    }
    return FALSE;
}

} // namespace

void ShowDialFailure(HWND owner)
{
    wchar_t text[kMessageTextCapacity];
    const wchar_t* t = MessageCatalog::Load(IDS_DIAL_CONNECT_FAILED);
    wcsncpy(text, t ? t : L"", kMessageTextCapacity - 1);
    text[kMessageTextCapacity - 1] = L'\0';
    const wchar_t* caption = MessageCatalog::Load(IDS_DIAL_ERROR);
    ShowMessage(owner, text, caption ? caption : kCaptionPelora, MB_ICONEXCLAMATION);
}

HWND CreateDialUpDialog(HINSTANCE instance, HWND frame, const wchar_t* entryName)
{
    DialUpDialog* self = new (std::nothrow) DialUpDialog;
    if (!self) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    self->frame = frame;
    wcsncpy(self->entryName, entryName ? entryName : L"", RAS_MaxEntryName);
    self->entryName[RAS_MaxEntryName] = L'\0';
    HWND dialog = self->Create(instance, IDD_DIALUP, frame);
    if (!dialog) {
        LastErrorKeeper keep;
        delete self;
    }
    return dialog;
}
