// Asks which catch-up the user wants for one group: mark what is held read,
// skip what is on the server now, or both.
#pragma once
#include "dialogs/ModalDialog.h"

struct CatchUpDialog : ModalDialog {
    BOOL catchUpLocal;
    BOOL catchUpServer;

    BOOL OnCommand(WORD id, WORD code, LPARAM lParam) override;
};

// Runs dialog IDD_CATCHUP modally. OK fills both flags from the check boxes;
// Cancel leaves both off. Returns the dialog's end code.
INT_PTR RunCatchUpDialog(CatchUpDialog* context, HINSTANCE instance, HWND owner);
