#include "dialogs/ModalDialog.h"
#include "text/MessageCatalog.h"

ModalDialog::ModalDialog() : dialog_(NULL)
{
}

ModalDialog::~ModalDialog()
{
}

INT_PTR ModalDialog::Run(HINSTANCE instance, UINT templateId, HWND owner)
{
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), owner, Procedure, (LPARAM)this);
}

HWND ModalDialog::Create(HINSTANCE instance, UINT templateId, HWND owner)
{
    HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), owner, Procedure, (LPARAM)this);
    if (dialog)
        ShowWindow(dialog, SW_SHOW);
    return dialog;
}

ModalDialog* ModalDialog::ObjectOf(HWND dialog)
{
    return (ModalDialog*)GetWindowLongPtrW(dialog, DWLP_USER);
}

INT_PTR CALLBACK ModalDialog::Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Handle(dialog, message, wParam, lParam, message == WM_INITDIALOG ? (ModalDialog*)lParam : NULL);
}

INT_PTR ModalDialog::Handle(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, ModalDialog* created)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, (LONG_PTR)created);
        if (!created)
            return TRUE;
        created->dialog_ = dialog;
        return created->OnInitDialog();
    }
    ModalDialog* self = ObjectOf(dialog);
    if (message == WM_COMMAND) {
        if (!self) {
            ShowMessage(NULL, L"Not Initialized!", L"ERROR", MB_ICONHAND);
            return TRUE;
        }
        return self->OnCommand(LOWORD(wParam), HIWORD(wParam), lParam);
    }
    if (!self)
        return FALSE;
    if (message == WM_NCDESTROY) {
        // Whatever the object does at the end, the window no longer reaches it.
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        self->dialog_ = NULL;
    }
    return self->OnMessage(message, wParam, lParam);
}

BOOL ModalDialog::OnCommand(WORD id, WORD code, LPARAM lParam)
{
    if (id != IDOK && id != IDCANCEL)
        return FALSE;
    End(id);
    return TRUE;
}

void ModalDialog::End(INT_PTR result)
{
    EndDialog(dialog_, result);
}
