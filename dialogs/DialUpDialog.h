// The modeless dialog that shows the states of a dial (IDD_DIALUP) and tells
// the frame how it ended: WM_DIAL_CONNECTED half a second after the line is
// up, WM_DIAL_HANGUP after a failure or CANCEL. It destroys itself.
#pragma once
#include <windows.h>

// Creates and shows the dialog owned by `frame`, titled "<entry>に接続中...".
// None when it cannot be made.
HWND CreateDialUpDialog(HINSTANCE instance, HWND frame, const wchar_t* entryName);

// The box of a dial that failed, owned by `owner`.
void ShowDialFailure(HWND owner);
