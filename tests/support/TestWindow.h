// Top-level windows the tests make for themselves: owners standing in for
// the frame, parents of the views.
#pragma once
#include <windows.h>

// A window of `windowClass`, registered with `procedure` (white background)
// on first use, the common controls the owners' children need loaded;
// `param` reaches WM_NCCREATE.
HWND MakeTestWindow(const wchar_t* windowClass, WNDPROC procedure, DWORD style = WS_OVERLAPPEDWINDOW,
                    int width = 300, int height = 200, void* param = NULL);
