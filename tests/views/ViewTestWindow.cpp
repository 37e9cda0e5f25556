#include "ViewTestWindow.h"
#include "views/ArticleView.h"
#include "views/SubjectView.h"
#include "support/TestWindow.h"

std::vector<Notification> g_viewNotifications;

static LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COMMAND)
        return DefWindowProcW(window, message, wParam, lParam);
    g_viewNotifications.push_back({ LOWORD(wParam), HIWORD(wParam), (HWND)lParam });
    return 0;
}

HWND ViewParent()
{
    static HWND parent = NULL;
    if (!parent) {
        SubjectView::RegisterClass(GetModuleHandleW(NULL));
        ArticleView::RegisterClass(GetModuleHandleW(NULL));
        parent = MakeTestWindow(L"PeloraViewTestParent", ParentProc, WS_POPUP | WS_VISIBLE, 640, 240);
        DialogDriver::PumpFor(0);
    }
    return parent;
}
