#include "dialogs/CatchUpDialog.h"
#include "resource.h"
#include "dialogs/DialogGuard.h"

static void OnOk(CatchUpDialog* context)
{
    context->catchUpLocal = IsDlgButtonChecked(context->dialog, IDC_CATCHUP_LOCAL) == BST_CHECKED;
    context->catchUpServer = IsDlgButtonChecked(context->dialog, IDC_CATCHUP_SERVER) == BST_CHECKED;
    EndDialog(context->dialog, IDOK);
}

static INT_PTR CALLBACK CatchUpDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        CatchUpDialog* context = (CatchUpDialog*)lParam;
        AttachDialogObject(dialog, context);
        context->dialog = dialog;
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    CatchUpDialog* context = (CatchUpDialog*)DialogObjectForCommand(dialog);
    if (!context)
        return TRUE;
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOk(context);
        break;
    case IDCANCEL:
        context->catchUpLocal = FALSE;
        context->catchUpServer = FALSE;
        EndDialog(dialog, IDCANCEL);
        break;
    }
    return TRUE;
}

INT_PTR RunCatchUpDialog(CatchUpDialog* context, HINSTANCE instance, HWND owner)
{
    context->dialog = NULL;
    context->catchUpLocal = FALSE;
    context->catchUpServer = FALSE;
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_CATCHUP), owner, CatchUpDialogProc, (LPARAM)context);
}
