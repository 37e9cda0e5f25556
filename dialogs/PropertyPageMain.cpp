#include "dialogs/PropertyPageMain.h"
#include "dialogs/FileChooserDialog.h"
#include "resource.h"
#include <wchar.h>

PropertyPageMain::PropertyPageMain(Settings* settings, HINSTANCE instance)
    : PropertyPage(IDD_PAGE_MAIN, IDS_PAGE_MAIN, settings, instance)
{
}

void PropertyPageMain::Init(HWND page)
{
    SetDlgItemTextW(page, IDC_MAIN_SERVER, settings_->Server);
    ShowNumber(page, IDC_MAIN_PORT, settings_->Port);
    SetDlgItemTextW(page, IDC_MAIN_FOLDER, settings_->DataPath);
    ShowNumber(page, IDC_MAIN_LIMIT, settings_->Limit);
    CheckDlgButton(page, IDC_MAIN_PIPELINING, settings_->Pipelining ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_MAIN_COMPRESS, settings_->Compress ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_MAIN_CONVERT_MIME, settings_->ConvertMime ? BST_CHECKED : BST_UNCHECKED);
}

BOOL PropertyPageMain::Command(HWND page, WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == IDC_MAIN_BROWSE && HIWORD(wParam) == BN_CLICKED) {
        OnBrowse(page);
        return TRUE;
    }
    return FALSE;
}

void PropertyPageMain::OnBrowse(HWND page)
{
    FileChooserDialog chooser;
    if (chooser.Choose(instance_, page, L"Choose folder", NULL) == IDOK)
        SetDlgItemTextW(page, IDC_MAIN_FOLDER, chooser.Result());
    chooser.Release();
}

static const wchar_t* SkipBlanks(const wchar_t* text)
{
    while (*text == L' ')
        text++;
    return text;
}

static BOOL FolderExists(const wchar_t* path)
{
    if (!*path)
        return FALSE;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(path, &found);
    if (find == INVALID_HANDLE_VALUE)
        return FALSE;
    FindClose(find);
    // A file of that name is no data folder.
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

BOOL PropertyPageMain::Apply(HWND page)
{
    wchar_t text[kSettingsPathCapacity];

    // Never refused, so kept whatever the fields below say.
    settings_->Pipelining = IsDlgButtonChecked(page, IDC_MAIN_PIPELINING) == BST_CHECKED;
    settings_->Compress = IsDlgButtonChecked(page, IDC_MAIN_COMPRESS) == BST_CHECKED;
    settings_->ConvertMime = IsDlgButtonChecked(page, IDC_MAIN_CONVERT_MIME) == BST_CHECKED;

    GetDlgItemTextW(page, IDC_MAIN_SERVER, text, kSettingsPathCapacity);
    const wchar_t* server = SkipBlanks(text);
    if (!*server) {
        Refuse(page, IDC_MAIN_SERVER);
        return FALSE;
    }
    wcscpy(settings_->Server, server);

    if (!ReadNumber(page, IDC_MAIN_PORT, kSettingsPathCapacity, &settings_->Port))
        return FALSE;

    GetDlgItemTextW(page, IDC_MAIN_FOLDER, text, kSettingsPathCapacity);
    wchar_t* folder = (wchar_t*)SkipBlanks(text);
    if (!*folder) {
        Refuse(page, IDC_MAIN_FOLDER);
        return FALSE;
    }
    // The removal stops at the start: the root alone becomes empty.
    size_t n = wcslen(folder);
    while (n > 0 && folder[n - 1] == L'\\')
        folder[--n] = L'\0';
    if (!FolderExists(folder)) {
        Refuse(page, IDC_MAIN_FOLDER);
        return FALSE;
    }
    wcscpy(settings_->DataPath, folder);

    if (!ReadNumber(page, IDC_MAIN_LIMIT, kSettingsPathCapacity, &settings_->Limit))
        return FALSE;
    return TRUE;
}
