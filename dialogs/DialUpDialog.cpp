#include "dialogs/DialUpDialog.h"
#include "nntp/DialUp.h"
#include "dialogs/DialogGuard.h"
#include "text/MessageCatalog.h"
#include "host/Ras.h"
#include "resource.h"
#include "text/LastErrorKeeper.h"
#include <wchar.h>

namespace {

enum { kConnectedTimer = 1, kConnectedDelay = 500 };

struct DialUpDialog {
    HWND frame;
    wchar_t entryName[RAS_MaxEntryName + 1];
};

void SetStateText(HWND dialog, UINT id)
{
    const wchar_t* text = MessageCatalog::Load(id);
    SetDlgItemTextW(dialog, IDC_DIAL_STATE, text ? text : L"");
}

void OnInitDialog(HWND dialog, DialUpDialog* self)
{
    wchar_t title[kMessageTextCapacity];
    const wchar_t* format = MessageCatalog::Load(IDS_DIAL_CONNECTING);
    if (format) {
        _snwprintf(title, kMessageTextCapacity - 1, format, self->entryName);
        title[kMessageTextCapacity - 1] = L'\0';
        SetWindowTextW(dialog, title);
    }
}

void OnDisconnected(HWND dialog, DialUpDialog* self)
{
    SetStateText(dialog, IDS_DIAL_DISCONNECTED);
    ShowWindow(dialog, SW_HIDE);
    wchar_t text[kMessageTextCapacity];
    const wchar_t* t = MessageCatalog::Load(IDS_DIAL_CONNECT_FAILED);
    wcsncpy(text, t ? t : L"", kMessageTextCapacity - 1);
    text[kMessageTextCapacity - 1] = L'\0';
    const wchar_t* caption = MessageCatalog::Load(IDS_DIAL_ERROR);
    ShowMessage(dialog, text, caption ? caption : kCaptionPelora, MB_ICONEXCLAMATION);
    PostMessageW(self->frame, WM_DIAL_HANGUP, 0, 0);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
}

void OnRasDialEvent(HWND dialog, DialUpDialog* self, WPARAM state)
{
    switch (state) {
    case RASCS_OpenPort:        SetStateText(dialog, IDS_DIAL_OPENING_PORT); break;
    case RASCS_PortOpened:      SetStateText(dialog, IDS_DIAL_PORT_OPENED); break;
    case RASCS_ConnectDevice:   SetStateText(dialog, IDS_DIAL_CONNECTING_DEVICE); break;
    case RASCS_DeviceConnected: SetStateText(dialog, IDS_DIAL_DEVICE_CONNECTED); break;
    case RASCS_Authenticate:    SetStateText(dialog, IDS_DIAL_AUTHENTICATING); break;
    case RASCS_Authenticated:   SetStateText(dialog, IDS_DIAL_AUTHENTICATED); break;
    case RASCS_Connected:
        SetStateText(dialog, IDS_DIAL_CONNECTED);
        EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
        SetTimer(dialog, kConnectedTimer, kConnectedDelay, NULL);
        break;
    case RASCS_Disconnected:
        OnDisconnected(dialog, self);
        break;
    default:
        break;
    }
}

void OnTimer(HWND dialog, DialUpDialog* self, WPARAM timer)
{
    if (timer != kConnectedTimer)
        return;
    KillTimer(dialog, kConnectedTimer);
    PostMessageW(self->frame, WM_DIAL_CONNECTED, 0, 0);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
}

void OnCommand(HWND dialog, WPARAM wParam)
{
    DialUpDialog* self = DialogCommandObjectAs<DialUpDialog>(dialog);
    if (!self || LOWORD(wParam) != IDCANCEL)
        return;
    PostMessageW(self->frame, WM_DIAL_HANGUP, 0, 0);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
}

INT_PTR CALLBACK DialUpDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        AttachDialogObject(dialog, (void*)lParam);
        OnInitDialog(dialog, (DialUpDialog*)lParam);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        OnCommand(dialog, wParam);
        return TRUE;
    }
    DialUpDialog* self = DialogObjectAs<DialUpDialog>(dialog);
    if (!self)
        return FALSE;
    switch (message) {
    case WM_RASDIALEVENT:
        OnRasDialEvent(dialog, self, wParam);
        return TRUE;
    case WM_TIMER:
        OnTimer(dialog, self, wParam);
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    case WM_NCDESTROY:
        AttachDialogObject(dialog, NULL);
        delete self;
        return FALSE;
    }
    return FALSE;
}

} // namespace

HWND CreateDialUpDialog(HINSTANCE instance, HWND frame, const wchar_t* entryName)
{
    DialUpDialog* self = new DialUpDialog;
    self->frame = frame;
    wcsncpy(self->entryName, entryName ? entryName : L"", RAS_MaxEntryName);
    self->entryName[RAS_MaxEntryName] = L'\0';
    HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_DIALUP), frame,
                                     DialUpDialogProc, (LPARAM)self);
    if (!dialog) {
        LastErrorKeeper keep;
        delete self;
        return NULL;
    }
    ShowWindow(dialog, SW_SHOW);
    return dialog;
}
