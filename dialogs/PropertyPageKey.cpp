#include "dialogs/PropertyPageKey.h"
#include "resource.h"

PropertyPageKey::PropertyPageKey(Settings* settings, HINSTANCE instance)
    : PropertyPage(IDD_PAGE_KEY, IDS_PAGE_KEY, settings, instance)
{
}

void PropertyPageKey::Init(HWND page)
{
    CheckDlgButton(page, IDC_KEY_LINE_SCROLL, settings_->KeyMode ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_KEY_AUTO_NEXT, settings_->AutoNextArticle ? BST_CHECKED : BST_UNCHECKED);
}

BOOL PropertyPageKey::Apply(HWND page)
{
    settings_->KeyMode = IsDlgButtonChecked(page, IDC_KEY_LINE_SCROLL) == BST_CHECKED ? 1 : 0;
    settings_->AutoNextArticle = IsDlgButtonChecked(page, IDC_KEY_AUTO_NEXT) == BST_CHECKED ? 1 : 0;
    return TRUE;
}
