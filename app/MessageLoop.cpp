#include "app/MessageLoop.h"

int RunMessageLoop(HWND frameWindow, HACCEL accelerators)
{
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, NULL, 0, 0)) != 0) {
        // -1 is a failed call, not a message: end rather than spin on it.
        if (got == -1)
            return 1;
        if (accelerators && TranslateAcceleratorW(frameWindow, accelerators, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return (int)msg.wParam;
}
