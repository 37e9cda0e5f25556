#include "app/SingleInstance.h"
#include "frame/MainFrame.h"

static BOOL CALLBACK ActivateIfFrame(HWND window, LPARAM found)
{
    wchar_t name[1024];
    if (GetClassNameW(window, name, 1024) > 0 && lstrcmpW(name, kFrameClassName) == 0) {
        SetForegroundWindow(window);
        PostMessageW(window, WM_ACTIVATE_INSTANCE, 0, 0);
        *(int*)found = 1;
    }
    // Every matching window is activated, so the walk never stops early.
    return TRUE;
}

int FindRunningInstance()
{
    int found = 0;
    EnumWindows(ActivateIfFrame, (LPARAM)&found);
    return found;
}
