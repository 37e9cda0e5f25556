// Refusing a second copy of the program: the running one comes to the front.
#pragma once
#include <windows.h>

// 1 when a frame window of this program exists (each such window is brought
// to the foreground and posted WM_ACTIVATE_INSTANCE), else 0.
int FindRunningInstance();
