#include "nntp/Sockets.h"
#include "dialogs/PropertyPageConnection.h"
#include "host/Ras.h"
#include "nntp/SecureStart.h"
#include "resource.h"
#include <stdlib.h>
#include <wchar.h>

enum { kEntryRoom = 100, kWaitChars = 20 };

// In the order of the Security setting's values.
const wchar_t* const kSecurityChoices[] = {L"なし", L"STARTTLS", L"SSL/TLS"};

PropertyPageConnection::PropertyPageConnection(Settings* settings, HINSTANCE instance)
    : PropertyPage(IDD_PAGE_CONNECTION, IDS_PAGE_CONNECTION, settings, instance)
{
}

void PropertyPageConnection::Init(HWND page)
{
    HWND check = GetDlgItem(page, IDC_CONN_DIALUP);
    HWND list = GetDlgItem(page, IDC_CONN_ENTRY);
    CheckDlgButton(page, IDC_CONN_DIALUP, settings_->Dialup ? BST_CHECKED : BST_UNCHECKED);

    RASENTRYNAME* entries = (RASENTRYNAME*)calloc(kEntryRoom, sizeof(RASENTRYNAME));
    DWORD size = kEntryRoom * sizeof(RASENTRYNAME);
    DWORD count = 0;
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    if (entries) {
        entries[0].dwSize = sizeof(RASENTRYNAME);
        error = RasEnumEntries(NULL, NULL, entries, &size, &count);
    }
    if (error != 0) {
        // Without a phone book there is nothing to dial.
        CheckDlgButton(page, IDC_CONN_DIALUP, BST_UNCHECKED);
        EnableWindow(check, FALSE);
        EnableWindow(list, FALSE);
    } else {
        for (DWORD i = 0; i < count && i < kEntryRoom; i++) {
            entries[i].szEntryName[RAS_MaxEntryName] = L'\0';
            if (entries[i].szEntryName[0] != L'`')
                SendMessageW(list, CB_ADDSTRING, 0, (LPARAM)entries[i].szEntryName);
        }
        SendMessageW(list, CB_SELECTSTRING, (WPARAM)-1, (LPARAM)settings_->EntryName);
        EnableWindow(list, IsDlgButtonChecked(page, IDC_CONN_DIALUP) == BST_CHECKED);
    }
    free(entries);
    ShowNumber(page, IDC_CONN_WAIT, settings_->DisconnectWaitTime);

    HWND security = GetDlgItem(page, IDC_CONN_SECURITY);
    for (const wchar_t* choice : kSecurityChoices)
        SendMessageW(security, CB_ADDSTRING, 0, (LPARAM)choice);
    // The connection takes any other stored value as TLS from the first byte.
    DWORD chosen = settings_->Security <= kSecurityTls ? settings_->Security : (DWORD)kSecurityTls;
    SendMessageW(security, CB_SETCURSEL, chosen, 0);
    SetDlgItemTextW(page, IDC_CONN_FINGERPRINT, settings_->TlsFingerprint);
}

BOOL PropertyPageConnection::Command(HWND page, WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == IDC_CONN_DIALUP) {
        EnableWindow(GetDlgItem(page, IDC_CONN_ENTRY),
                     IsDlgButtonChecked(page, IDC_CONN_DIALUP) == BST_CHECKED);
        return TRUE;
    }
    return FALSE;
}

BOOL PropertyPageConnection::Apply(HWND page)
{
    HWND list = GetDlgItem(page, IDC_CONN_ENTRY);
    BOOL on = IsDlgButtonChecked(page, IDC_CONN_DIALUP) == BST_CHECKED;
    LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (on && selected == CB_ERR) {
        SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
        SetFocus(list);
        return FALSE;
    }
    settings_->Dialup = on ? 1 : 0;
    settings_->EntryName[0] = L'\0';
    if (selected != CB_ERR) {
        LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, selected, 0);
        if (length >= 0 && length < kEntryNameCapacity)
            SendMessageW(list, CB_GETLBTEXT, selected, (LPARAM)settings_->EntryName);
    }
    if (!ReadNumber(page, IDC_CONN_WAIT, kWaitChars + 1, &settings_->DisconnectWaitTime))
        return FALSE;
    LRESULT security = SendMessageW(GetDlgItem(page, IDC_CONN_SECURITY), CB_GETCURSEL, 0, 0);
    settings_->Security = security == CB_ERR ? (DWORD)kSecurityNone : (DWORD)security;

    wchar_t text[kFingerprintCapacity];
    GetDlgItemTextW(page, IDC_CONN_FINGERPRINT, text, kFingerprintCapacity);
    const wchar_t* start = text;
    while (*start == L' ')
        ++start;
    size_t length = wcslen(start);
    while (length && start[length - 1] == L' ')
        --length;
    char digits[kFingerprintSize];
    wchar_t fingerprint[kFingerprintCapacity];
    wcsncpy(fingerprint, start, length);
    fingerprint[length] = 0;
    if (length && !NormalizeFingerprint(fingerprint, digits)) {
        Refuse(page, IDC_CONN_FINGERPRINT);
        return FALSE;
    }
    wcscpy(settings_->TlsFingerprint, fingerprint);
    return TRUE;
}
