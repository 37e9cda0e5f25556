// The programs' entry point: catalogue and sockets, one copy only, the window
// classes, the frame, the message loop, and the teardown in reverse.
#include "nntp/Sockets.h"
#include <windows.h>
#include <commctrl.h>
#include "text/MessageCatalog.h"
#include "app/MessageLoop.h"
#include "app/SingleInstance.h"
#include "frame/MainFrame.h"
#include "views/ArticleView.h"
#include "views/SubjectView.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int showCommand)
{
    MessageCatalog::SetInstance(instance);
    InitCommonControls();
    WSADATA wsa;
    if (WSAStartup(0x0202, &wsa) != 0) {
        ShowMessage(NULL, L"Init winsock failed.", L"Error", MB_ICONHAND);
        return 1;
    }
    if (FindRunningInstance())
        return 0;
    ArticleView::RegisterClass(instance);
    SubjectView::RegisterClass(instance);

    int exitCode = 1;
    {
        MainFrame frame;
        MainFrame::RegisterClass(instance);
        if (frame.Create(L"Pelora", instance, showCommand))
            exitCode = RunMessageLoop(frame.Window(), frame.Accelerators());
        WSACleanup();
    }
    return exitCode;
}
