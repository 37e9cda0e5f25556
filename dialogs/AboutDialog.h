// The About box (dialog IDD_ABOUT): OK ends it with IDOK, Cancel with
// IDCANCEL.
#pragma once
#include "dialogs/ModalDialog.h"

class AboutDialog : public ModalDialog {
};

// What the frame calls for its About command: the box's end code, or -1
// when it could not be made (cause in the last error).
int RunAboutDialog(HINSTANCE instance, HWND owner);
