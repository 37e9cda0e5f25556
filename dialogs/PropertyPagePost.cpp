#include "dialogs/PropertyPagePost.h"
#include "resource.h"
#include <stdlib.h>
#include <wchar.h>

PropertyPagePost::PropertyPagePost(Settings* settings, HINSTANCE instance)
    : PropertyPage(IDD_PAGE_POST, IDS_PAGE_POST, settings, instance)
{
}

void PropertyPagePost::Init(HWND page)
{
    SetDlgItemTextW(page, IDC_POST_EDITOR, settings_->EditorPath ? settings_->EditorPath : L"");
}

BOOL PropertyPagePost::Apply(HWND page)
{
    wchar_t path[MAX_PATH];
    GetDlgItemTextW(page, IDC_POST_EDITOR, path, MAX_PATH);
    wchar_t* copy = (wchar_t*)malloc((wcslen(path) + 1) * sizeof(wchar_t));
    if (!copy)
        return FALSE;
    wcscpy(copy, path);
    free(settings_->EditorPath);
    settings_->EditorPath = copy;
    return TRUE;
}
