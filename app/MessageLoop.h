// The program's message loop: the frame's accelerators first, whichever
// child has the focus.
#pragma once
#include <windows.h>

// Runs until WM_QUIT; returns its wParam.
int RunMessageLoop(HWND frameWindow, HACCEL accelerators);
