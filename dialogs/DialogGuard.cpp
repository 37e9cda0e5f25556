#include "dialogs/DialogGuard.h"
#include "text/MessageCatalog.h"

void AttachDialogObject(HWND dialog, void* object)
{
    SetWindowLongPtrW(dialog, DWLP_USER, (LONG_PTR)object);
}

void* DialogObject(HWND dialog)
{
    return (void*)GetWindowLongPtrW(dialog, DWLP_USER);
}

void* DialogObjectForCommand(HWND dialog)
{
    void* object = DialogObject(dialog);
    if (!object)
        ShowMessage(NULL, L"Not Initialized!", L"ERROR", MB_ICONHAND);
    return object;
}
