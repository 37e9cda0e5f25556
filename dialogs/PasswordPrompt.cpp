#include "dialogs/PasswordPrompt.h"
#include <stdlib.h>
#include "text/MessageCatalog.h"
#include "resource.h"
#include "text/CodePage.h"

namespace {

struct PasswordPrompt {
    const char* userId;
    char* password;     // result, owned by the caller once returned
};

BOOL OnInitDialog(HWND dialog, PasswordPrompt* prompt)
{
    SetWindowLongPtrW(dialog, DWLP_USER, (LONG_PTR)prompt);
    wchar_t* user = ToWide(prompt->userId ? prompt->userId : "");
    SetDlgItemTextW(dialog, IDC_PASSWORD_USER, user ? user : L"");
    free(user);
    SendDlgItemMessageW(dialog, IDC_PASSWORD_EDIT, EM_LIMITTEXT, kPasswordMaxChars, 0);
    SetFocus(GetDlgItem(dialog, IDC_PASSWORD_EDIT));
    return FALSE;   // the focus is set
}

void OnOk(HWND dialog, PasswordPrompt* prompt)
{
    wchar_t typed[kPasswordMaxChars + 1];
    GetDlgItemTextW(dialog, IDC_PASSWORD_EDIT, typed, kPasswordMaxChars + 1);
    typed[kPasswordMaxChars] = 0;
    prompt->password = ToMultiByte(typed);
    SecureZeroMemory(typed, sizeof typed);
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK PasswordProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return OnInitDialog(dialog, (PasswordPrompt*)lParam);
    if (message != WM_COMMAND)
        return FALSE;
    PasswordPrompt* prompt = (PasswordPrompt*)GetWindowLongPtrW(dialog, DWLP_USER);
    if (!prompt) {
        ShowMessage(NULL, L"Not Initialized!", L"ERROR", MB_ICONHAND);
        return TRUE;
    }
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOk(dialog, prompt);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

char* RunPasswordPrompt(HINSTANCE instance, HWND owner, const char* userId)
{
    PasswordPrompt prompt = {userId, NULL};
    INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PASSWORD), owner,
                                     PasswordProc, (LPARAM)&prompt);
    if (result != IDOK) {
        free(prompt.password);
        return NULL;
    }
    return prompt.password;
}
