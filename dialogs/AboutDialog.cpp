#include "dialogs/AboutDialog.h"
#include "dialogs/DialogGuard.h"
#include "resource.h"

INT_PTR AboutDialog::Run(HINSTANCE instance, HWND owner)
{
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ABOUT), owner, Procedure, (LPARAM)this);
}

INT_PTR AboutDialog::OnCommand(HWND dialog, WORD id)
{
    switch (id) {
    case IDOK:
        EndDialog(dialog, 1);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 2);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK AboutDialog::Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        AttachDialogObject(dialog, (void*)lParam);
        return TRUE;
    case WM_COMMAND: {
        AboutDialog* about = DialogCommandObjectAs<AboutDialog>(dialog);
        if (!about)
            return TRUE;
        return about->OnCommand(dialog, LOWORD(wParam));
    }
    }
    return FALSE;
}

int RunAboutDialog(HINSTANCE instance, HWND owner)
{
    AboutDialog about;
    return (int)about.Run(instance, owner);
}
