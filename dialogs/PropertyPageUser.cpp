#include "dialogs/PropertyPageUser.h"
#include "text/CodePage.h"
#include "resource.h"
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace {

enum { kFieldChars = 256 };

void ShowField(HWND page, int id, const char* text)
{
    wchar_t* wide = text ? ToWide(text) : NULL;
    SetDlgItemTextW(page, id, wide ? wide : L"");
    free(wide);
}

// The field's text as the settings keep it: none when empty or blanks only,
// as a load would read it.
BOOL ReadField(HWND page, int id, char** field)
{
    wchar_t text[kFieldChars];
    GetDlgItemTextW(page, id, text, kFieldChars);
    char* value = NULL;
    if (wcsspn(text, L" \t") < wcslen(text) && !(value = ToMultiByte(text)))
        return FALSE;
    free(*field);
    *field = value;
    return TRUE;
}

}  // namespace

PropertyPageUser::PropertyPageUser(Settings* settings, HINSTANCE instance)
    : PropertyPage(IDD_PAGE_USER, IDS_PAGE_USER, settings, instance)
{
}

void PropertyPageUser::Init(HWND page)
{
    ShowField(page, IDC_USER_NAME, settings_->UserName);
    ShowField(page, IDC_USER_MAIL, settings_->MailAddress);
    ShowField(page, IDC_USER_ORGANIZATION, settings_->Organization);
}

BOOL PropertyPageUser::Apply(HWND page)
{
    return ReadField(page, IDC_USER_NAME, &settings_->UserName) &&
           ReadField(page, IDC_USER_MAIL, &settings_->MailAddress) &&
           ReadField(page, IDC_USER_ORGANIZATION, &settings_->Organization);
}
