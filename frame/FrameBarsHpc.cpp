// The Handheld PC bars: three command bars at the top of the frame, each
// with its view's menu, tool buttons and the close box.
#include <commctrl.h>
#include "frame/MainFrame.h"
#include "resource.h"
#include "views/ArticleView.h"
#include "views/SubjectView.h"

enum { kStandardImages = 15, kImageCopy = STD_COPY };

struct CommandBarLayout {
    int id;
    WORD menu;
    int bitmap;
    int images;
};

static TBBUTTON Button(int image, int command, BYTE style)
{
    TBBUTTON button = {};
    button.iBitmap = image;
    button.idCommand = command;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = style;
    return button;
}

static HWND MakeCommandBar(HINSTANCE instance, HWND frame, const CommandBarLayout& layout, TBBUTTON* buttons,
                           UINT count)
{
    HWND bar = CommandBar_Create(instance, frame, layout.id);
    if (!bar)
        return NULL;
    CommandBar_AddBitmap(bar, HINST_COMMCTRL, IDB_STD_SMALL_COLOR, kStandardImages, 16, 16);
    CommandBar_AddBitmap(bar, instance, layout.bitmap, layout.images, 16, 16);
    CommandBar_InsertMenubar(bar, instance, layout.menu, 0);
    CommandBar_AddButtons(bar, count, buttons);
    CommandBar_AddAdornments(bar, 0, 0);
    return bar;
}

BOOL MainFrame::CreateBars()
{
    static const CommandBarLayout groupSpec = {IDC_GROUP_BAR, IDM_GROUP, IDB_GROUP_BAR_HPC, 1};
    static const CommandBarLayout subjectSpec = {IDC_SUBJECT_BAR, IDM_SUBJECT, IDB_SUBJECT_BAR_HPC, 6};
    static const CommandBarLayout articleSpec = {IDC_ARTICLE_BAR, IDM_ARTICLE, IDB_ARTICLE_BAR_HPC, 2};

    TBBUTTON groupButtons[] = {
        Button(0, 0, TBSTYLE_SEP),
        Button(kStandardImages, IDM_DOWNLOAD, TBSTYLE_BUTTON),
    };
    TBBUTTON subjectButtons[] = {
        Button(0, 0, TBSTYLE_SEP),
        Button(kStandardImages + 1, IDM_FILTER, TBSTYLE_BUTTON),
        Button(0, 0, TBSTYLE_SEP),
        Button(kStandardImages, IDM_SHOW_READ, TBSTYLE_BUTTON),
    };
    TBBUTTON articleButtons[] = {
        Button(0, 0, TBSTYLE_SEP),
        Button(kImageCopy, IDM_COPY, TBSTYLE_BUTTON),
        Button(0, 0, TBSTYLE_SEP),
        Button(kStandardImages, IDM_SHOW_HEADER, TBSTYLE_BUTTON),
    };
    groupBar = MakeCommandBar(instance, frameWindow, groupSpec, groupButtons, 2);
    subjectBar = MakeCommandBar(instance, frameWindow, subjectSpec, subjectButtons, 4);
    articleBar = MakeCommandBar(instance, frameWindow, articleSpec, articleButtons, 4);
    subjectMenu = CommandBar_GetMenu(subjectBar, 0);
    articleMenu = CommandBar_GetMenu(articleBar, 0);
    return TRUE;
}

int MainFrame::BarHeight() const
{
    return CommandBar_Height(groupBar);
}

void MainFrame::ShowBar(HWND bar, BOOL show)
{
    CommandBar_Show(bar, show);
    UpdateWindow(bar);
}

void MainFrame::GroupListRect(int width, int height, RECT* rect) const
{
    SetRect(rect, 0, barHeight, width, height - barHeight);
}

void MainFrame::ViewRect(int width, int height, RECT* rect) const
{
    // The views inset their contents by their own top, so half a bar down
    // puts their header just below the bar; their empty top half lies under
    // the bar's lower half.
    SetRect(rect, 0, barHeight / 2, width, height - barHeight / 2);
}

void MainFrame::LayerBars()
{
    // The views overlap the bars' lower half: the bars stay above them, and
    // the views must not paint over them.
    HWND views[] = {articleView->Window(), subjectView->Window()};
    for (HWND view : views)
        if (view)
            SetWindowLongPtrW(view, GWL_STYLE, GetWindowLongPtrW(view, GWL_STYLE) | WS_CLIPSIBLINGS);
    HWND bars[] = {groupBar, subjectBar, articleBar};
    for (HWND bar : bars)
        SetWindowPos(bar, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void MainFrame::SetToggleButton(HWND bar, UINT command, BOOL pressed)
{
    SendMessageW(bar, TB_SETSTATE, command,
                 MAKELONG(pressed ? (TBSTATE_PRESSED | TBSTATE_ENABLED) : TBSTATE_ENABLED, 0));
}

BOOL MainFrame::OnBarCommand(UINT id)
{
    return FALSE;   // the command bars carry no commands of their own
}
