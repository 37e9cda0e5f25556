// The About box (dialog IDD_ABOUT): OK ends it with IDOK, Cancel with
// IDCANCEL.
#pragma once
#include <windows.h>

class AboutDialog {
public:
    // Runs the box modally; the result of the dialog, or -1 when it could
    // not be created (cause in the last error).
    INT_PTR Run(HINSTANCE instance, HWND owner);
    static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

private:
    INT_PTR OnCommand(HWND dialog, WORD id);
};

// What the frame calls for its About command.
int RunAboutDialog(HINSTANCE instance, HWND owner);
