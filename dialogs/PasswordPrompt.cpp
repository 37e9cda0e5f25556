#include "dialogs/PasswordPrompt.h"
#include <stdlib.h>
#include "dialogs/ModalDialog.h"
#include "resource.h"
#include "text/CodePage.h"
#include "text/SecretMemory.h"

namespace {

struct PasswordPrompt : ModalDialog {
    const char* userId;
    char* password;     // result, owned by the caller once returned

    BOOL OnInitDialog() override;
    BOOL OnCommand(WORD id, WORD code, LPARAM lParam) override;
};

BOOL PasswordPrompt::OnInitDialog()
{
    wchar_t* user = ToWide(userId ? userId : "");
    SetDlgItemTextW(dialog_, IDC_PASSWORD_USER, user ? user : L"");
    free(user);
    SendDlgItemMessageW(dialog_, IDC_PASSWORD_EDIT, EM_LIMITTEXT, kPasswordMaxChars, 0);
    SetFocus(GetDlgItem(dialog_, IDC_PASSWORD_EDIT));
    return FALSE;   // the focus is set
}

BOOL PasswordPrompt::OnCommand(WORD id, WORD code, LPARAM lParam)
{
    if (id == IDOK) {
        wchar_t typed[kPasswordMaxChars + 1];
        GetDlgItemTextW(dialog_, IDC_PASSWORD_EDIT, typed, kPasswordMaxChars + 1);
        typed[kPasswordMaxChars] = 0;
        password = ToMultiByte(typed);
        ClearSecret(typed, sizeof typed);
    }
    return ModalDialog::OnCommand(id, code, lParam);
}

}  // namespace

char* RunPasswordPrompt(HINSTANCE instance, HWND owner, const char* userId)
{
    PasswordPrompt prompt;
    prompt.userId = userId;
    prompt.password = NULL;
    INT_PTR result = prompt.Run(instance, IDD_PASSWORD, owner);
    if (result != IDOK) {
        free(prompt.password);
        return NULL;
    }
    return prompt.password;
}
