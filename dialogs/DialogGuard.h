// The one convention of every dialog procedure that works on an object of
// its own: the object (the dialog's creation parameter) goes into the
// dialog's user word at WM_INITDIALOG and is read back from there. A command
// that finds no object shows "Not Initialized!" and is otherwise ignored.
#pragma once
#include <windows.h>

// Call at WM_INITDIALOG with its lParam.
void AttachDialogObject(HWND dialog, void* object);
// The stored object, or none.
void* DialogObject(HWND dialog);
// For WM_COMMAND: the stored object, or none after the "Not Initialized!"
// box (no owner, caption "ERROR", hand icon).
void* DialogObjectForCommand(HWND dialog);

template <class T> T* DialogObjectAs(HWND dialog)
{
    return static_cast<T*>(DialogObject(dialog));
}

template <class T> T* DialogCommandObjectAs(HWND dialog)
{
    return static_cast<T*>(DialogObjectForCommand(dialog));
}
