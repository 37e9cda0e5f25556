// The one shape of every dialog of the program: an object of a class
// derived from ModalDialog runs its dialog. The shared procedure keeps the
// object in the dialog's user data from WM_INITDIALOG on and hands each
// message to a handler of the object. A command that finds no object (it
// came before WM_INITDIALOG, or the dialog was made without one) shows
// "Not Initialized!" (no owner, caption "ERROR", hand icon) and is otherwise
// ignored.
#pragma once
#include <windows.h>

class ModalDialog {
public:
    // Runs the dialog modally: the code it ended with (IDOK, IDCANCEL, ...),
    // or -1 when it could not be made (cause in the last error).
    INT_PTR Run(HINSTANCE instance, UINT templateId, HWND owner);
    // Makes the dialog modeless and shows it; none when it could not be
    // made. The object must outlive the window.
    HWND Create(HINSTANCE instance, UINT templateId, HWND owner);
    HWND Window() const { return dialog_; }

    // The procedure of every dialog; the creation parameter is the object.
    static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    // The object a dialog keeps; none before WM_INITDIALOG.
    static ModalDialog* ObjectOf(HWND dialog);

protected:
    ModalDialog();
    virtual ~ModalDialog();

    // The procedure's work once the object is known: `created` is the
    // object at WM_INITDIALOG (property pages find theirs elsewhere).
    static INT_PTR Handle(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, ModalDialog* created);

    // WM_INITDIALOG: FALSE when the focus has been set here.
    virtual BOOL OnInitDialog() { return TRUE; }
    // WM_COMMAND: TRUE when handled. The default ends the dialog with IDOK
    // or IDCANCEL.
    virtual BOOL OnCommand(WORD id, WORD code, LPARAM lParam);
    // Any other message, as a dialog procedure answers it.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) { return FALSE; }
    void End(INT_PTR result);

    HWND dialog_;
};
