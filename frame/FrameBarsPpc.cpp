// The Pocket PC bars: three menu bars at the bottom of the screen, built
// from their SHMENUBAR resources; the subject and article bars carry a
// button that goes one view back.
#include <aygshell.h>
#include "text/MessageCatalog.h"
#include "frame/MainFrame.h"
#include "resource.h"

static HWND MakeMenuBar(HINSTANCE instance, HWND frame, UINT resource, int bitmap, int images)
{
    SHMENUBARINFO info = {};
    info.cbSize = sizeof(info);
    info.hwndParent = frame;
    info.dwFlags = 0;
    info.nToolBarId = resource;
    info.hInstRes = instance;
    info.nBmpId = bitmap;
    info.cBmpImages = images;
    if (!SHCreateMenuBar(&info)) {
        ShowMessage(NULL, L"FAILED", L"DEBUG", 0);
        PostQuitMessage(0);
        return NULL;
    }
    ShowWindow(info.hwndMB, SW_HIDE);
    return info.hwndMB;
}

BOOL MainFrame::CreateBars()
{
    groupBar = MakeMenuBar(instance, frameWindow, IDM_GROUP, IDB_GROUP_BAR_PPC, 1);
    subjectBar = MakeMenuBar(instance, frameWindow, IDM_SUBJECT, IDB_SUBJECT_BAR_PPC, 6);
    articleBar = MakeMenuBar(instance, frameWindow, IDM_ARTICLE, IDB_ARTICLE_BAR_PPC, 2);
    if (!groupBar || !subjectBar || !articleBar)
        return FALSE;
    subjectMenu = (HMENU)SendMessageW(subjectBar, SHCMBM_GETSUBMENU, 0, IDM_PPC_SUBJECT_POPUP);
    articleMenu = (HMENU)SendMessageW(articleBar, SHCMBM_GETSUBMENU, 0, IDM_PPC_ARTICLE_POPUP);
    return TRUE;
}

int MainFrame::BarHeight() const
{
    RECT rect;
    if (!GetWindowRect(groupBar, &rect))
        return 0;
    return rect.bottom - rect.top;
}

void MainFrame::ShowBar(HWND bar, BOOL show)
{
    ShowWindow(bar, show ? SW_SHOW : SW_HIDE);
    UpdateWindow(bar);
}

void MainFrame::GroupListRect(int width, int height, RECT* rect) const
{
    SetRect(rect, 0, 0, width, height - barHeight);
}

void MainFrame::ViewRect(int width, int height, RECT* rect) const
{
    SetRect(rect, 0, 0, width, height - barHeight);
}

void MainFrame::LayerBars()
{
    // The views end above the menu bars: nothing overlaps.
}

void MainFrame::SetToggleButton(HWND bar, UINT command, BOOL pressed)
{
    // The menu bars have no toggle buttons; the check marks say it all.
}

BOOL MainFrame::OnBarCommand(UINT id)
{
    if (id == IDM_BACK_TO_GROUPS) {
        ShowGroupView(TRUE);
        return TRUE;
    }
    if (id == IDM_BACK_TO_SUBJECTS) {
        ShowSubjectView(0, NULL);
        return TRUE;
    }
    return FALSE;
}
