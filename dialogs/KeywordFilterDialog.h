// The keyword list of one group: the user gives keywords a high or a low
// priority; saving rewrites the group's filter file through "<path>~".
#pragma once
#include <windows.h>

struct KeywordFilterDialog {
    const wchar_t* filterPath;   // not owned
    const wchar_t* initialText;  // not owned; may be none
    HWND dialog;
};

// Runs dialog 133 modally: 1 after a successful save, 2 otherwise.
INT_PTR RunKeywordFilterDialog(HINSTANCE instance, HWND owner, const wchar_t* filterPath,
                               const wchar_t* initialText);
