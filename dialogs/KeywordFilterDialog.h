// The keyword list of one group: the user gives keywords a high or a low
// priority; saving rewrites the group's filter file through "<path>~".
#pragma once
#include "dialogs/ModalDialog.h"

struct KeywordFilterDialog : ModalDialog {
    const wchar_t* filterPath;   // not owned
    const wchar_t* initialText;  // not owned; may be none

    BOOL OnInitDialog() override;
    BOOL OnCommand(WORD id, WORD code, LPARAM lParam) override;
};

// Runs dialog IDD_KEYWORD_FILTER modally: IDOK after a successful save,
// IDCANCEL otherwise.
INT_PTR RunKeywordFilterDialog(HINSTANCE instance, HWND owner, const wchar_t* filterPath,
                               const wchar_t* initialText);
