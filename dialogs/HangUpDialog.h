// The modal countdown before the line this program dialled is hung up
// (dialog IDD_DIALUP). It sends WM_DIAL_HANGUP to the frame when the
// countdown ends; CANCEL during the countdown keeps the line up.
#pragma once
#include <windows.h>

// Returns IDOK when the dialog has closed (or 0 when it could not be shown).
INT_PTR RunHangUpDialog(HINSTANCE instance, HWND frame, DWORD waitSeconds);
