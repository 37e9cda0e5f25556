#include "dialogs/CatchUpDialog.h"
#include "resource.h"

BOOL CatchUpDialog::OnCommand(WORD id, WORD code, LPARAM lParam)
{
    switch (id) {
    case IDOK:
        catchUpLocal = IsDlgButtonChecked(dialog_, IDC_CATCHUP_LOCAL) == BST_CHECKED;
        catchUpServer = IsDlgButtonChecked(dialog_, IDC_CATCHUP_SERVER) == BST_CHECKED;
        End(IDOK);
        break;
    case IDCANCEL:
        catchUpLocal = FALSE;
        catchUpServer = FALSE;
        End(IDCANCEL);
        break;
    }
    return TRUE;
}

INT_PTR RunCatchUpDialog(CatchUpDialog* context, HINSTANCE instance, HWND owner)
{
    context->catchUpLocal = FALSE;
    context->catchUpServer = FALSE;
    return context->Run(instance, IDD_CATCHUP, owner);
}
