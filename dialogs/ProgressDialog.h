// Dialog IDD_PROGRESS: the modal progress of a patrol, with the current
// group and a progress bar. No buttons: the worker closes it through
// ProgressState when the pass has ended.
#pragma once
#include <windows.h>
#include "nntp/ProgressState.h"

// User interface thread: runs the dialog until the worker has closed it.
// Escape does not end it while the worker runs. Result 1 (IDOK).
INT_PTR RunProgressDialog(HINSTANCE instance, HWND owner, ProgressState* state);
