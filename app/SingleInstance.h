// Refusing a second copy of the program: the running one comes to the front.
#pragma once
#include <windows.h>

enum { WM_ACTIVATE_INSTANCE = WM_APP + 2 };

extern const wchar_t kFrameClassName[];   // "PeloraMainFrmWnd"

// 1 when a frame window of this program exists (each such window is brought
// to the foreground and posted WM_ACTIVATE_INSTANCE), else 0.
int FindRunningInstance();
