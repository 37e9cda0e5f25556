#include "support/TestWindow.h"
#include <commctrl.h>

HWND MakeTestWindow(const wchar_t* windowClass, WNDPROC procedure, DWORD style, int width, int height,
                    void* param)
{
    HINSTANCE instance = GetModuleHandleW(NULL);
    WNDCLASSW known;
    if (!GetClassInfoW(instance, windowClass, &known)) {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = procedure;
        wc.hInstance = instance;
        wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
        wc.lpszClassName = windowClass;
        RegisterClassW(&wc);
    }
    return CreateWindowExW(0, windowClass, L"test", style, 0, 0, width, height, NULL, NULL, instance, param);
}
