#include "dialogs/PropertyPageAuth.h"
#include "text/CodePage.h"
#include "resource.h"
#include <stdlib.h>
#include <wchar.h>

enum { kCredentialChars = 256 };

PropertyPageAuth::PropertyPageAuth(Settings* settings, HINSTANCE instance)
    : PropertyPage(IDD_PAGE_AUTH, IDS_PAGE_AUTH, settings, instance)
{
}

static void SetConverted(HWND page, int id, const char* text)
{
    wchar_t* wide = ToWide(text);
    if (wide) {
        SetDlgItemTextW(page, id, wide);
        free(wide);
    }
}

void PropertyPageAuth::Init(HWND page)
{
    CheckDlgButton(page, IDC_AUTH_USE, settings_->UserID ? BST_CHECKED : BST_UNCHECKED);
    Fill(page);
}

void PropertyPageAuth::Fill(HWND page)
{
    BOOL on = IsDlgButtonChecked(page, IDC_AUTH_USE) == BST_CHECKED;
    if (on) {
        if (settings_->UserID)
            SetConverted(page, IDC_AUTH_ID, settings_->UserID);
        if (settings_->Password) {
            SetConverted(page, IDC_AUTH_PASSWORD, settings_->Password);
            SetConverted(page, IDC_AUTH_AGAIN, settings_->Password);
        }
    }
    EnableWindow(GetDlgItem(page, IDC_AUTH_ID), on);
    EnableWindow(GetDlgItem(page, IDC_AUTH_PASSWORD), on);
    EnableWindow(GetDlgItem(page, IDC_AUTH_AGAIN), on);
}

BOOL PropertyPageAuth::Command(HWND page, WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == IDC_AUTH_USE) {
        Fill(page);
        return TRUE;
    }
    return FALSE;
}

BOOL PropertyPageAuth::Apply(HWND page)
{
    if (IsDlgButtonChecked(page, IDC_AUTH_USE) != BST_CHECKED) {
        free(settings_->UserID);
        free(settings_->Password);
        settings_->UserID = NULL;
        settings_->Password = NULL;
        return TRUE;
    }

    wchar_t id[kCredentialChars];
    GetDlgItemTextW(page, IDC_AUTH_ID, id, kCredentialChars);
    const wchar_t* name = id;
    while (*name == L' ')
        name++;
    if (!*name) {
        Refuse(page, IDC_AUTH_ID);
        return FALSE;
    }
    char* converted = ToMultiByte(id);
    if (!converted)
        return FALSE;
    free(settings_->UserID);
    settings_->UserID = converted;

    wchar_t password[kCredentialChars];
    wchar_t again[kCredentialChars];
    GetDlgItemTextW(page, IDC_AUTH_PASSWORD, password, kCredentialChars);
    GetDlgItemTextW(page, IDC_AUTH_AGAIN, again, kCredentialChars);
    if (wcscmp(password, again) != 0) {
        Refuse(page, again[0] ? IDC_AUTH_AGAIN : IDC_AUTH_PASSWORD);
        return FALSE;
    }
    char* stored = NULL;
    if (password[0]) {
        stored = ToMultiByte(password);
        if (!stored)
            return FALSE;
    }
    free(settings_->Password);
    settings_->Password = stored;
    return TRUE;
}
