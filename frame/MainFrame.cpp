#include "frame/MainFrame.h"
#include "frame/MaintenanceCommands.h"
#include "frame/PostCommands.h"
#include <commctrl.h>
#include <new>
#include "dialogs/AboutDialog.h"
#include "dialogs/PropertySheet.h"
#include "text/MessageCatalog.h"
#include "frame/FrameDownload.h"
#include "frame/GroupView.h"
#include "nntp/DownloadJob.h"
#include "resource.h"
#include "settings/ViewFlags.h"
#include "store/ArticleLog.h"
#include "store/DataFolder.h"
#include "store/IndexRecord.h"
#include "views/ArticleView.h"
#include "views/SubjectView.h"

MainFrame::MainFrame()
    : frameWindow(NULL), instance(NULL), groupBar(NULL), subjectBar(NULL), articleBar(NULL), subjectMenu(NULL),
      articleMenu(NULL), accelerators(NULL), currentView(kViewGroup), articleView(NULL), subjectView(NULL),
      groupView(NULL), currentGroupRow(0), viewReadArticle(0),
      showArticleHeader(0), priorityViewLevel(kLevelAll), threadView(0), barHeight(0), showCommand_(SW_SHOW)
{
    InitDialUpLink(&dialUp);
}

MainFrame::~MainFrame()
{
    delete articleView;
    if (subjectView)
        subjectView->List().Destroy();
    delete subjectView;
    delete groupView;
    articleText.Destroy();
    // The settings do not own their fonts; the views that used them are gone.
    if (settings.ArticleFont)
        DeleteObject(settings.ArticleFont);
    if (settings.SubjectFont)
        DeleteObject(settings.SubjectFont);
    settings.Destroy();
}

BOOL MainFrame::RegisterClass(HINSTANCE instance)
{
    WNDCLASSW wc = {};
    wc.style = 0;
    wc.lpfnWndProc = WindowProc;
    wc.cbWndExtra = 4;
#ifndef _WIN32_WCE
    // Window word 0 holds a pointer; on a 64-bit desktop that takes 8 bytes.
    wc.cbWndExtra = sizeof(LONG_PTR);
#else
    static_assert(sizeof(LONG_PTR) == 4, "the frame pointer must fit its 4 bytes of extra data");
#endif
    wc.hInstance = instance;
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = kFrameClassName;
    return ::RegisterClassW(&wc) != 0;
}

HWND MainFrame::Bar(UINT view) const
{
    return view == kViewGroup ? groupBar : view == kViewSubject ? subjectBar : articleBar;
}

BOOL MainFrame::Create(const wchar_t* title, HINSTANCE instanceHandle, int showCommand)
{
    instance = instanceHandle;
    showCommand_ = showCommand;
    articleView = new (std::nothrow) ArticleView();
    if (!articleView) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    subjectView = new (std::nothrow) SubjectView();
    if (!subjectView) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    groupView = new (std::nothrow) GroupView();
    if (!groupView) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, width = CW_USEDEFAULT, height = CW_USEDEFAULT;
#ifndef _WIN32_WCE
    // The device gives a CW_USEDEFAULT window the whole screen; a desktop
    // would cascade it. Take the work area so the views' geometry matches.
    RECT work;
    if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        x = work.left;
        y = work.top;
        width = work.right - work.left;
        height = work.bottom - work.top;
    }
#endif
    HWND window = CreateWindowExW(0, kFrameClassName, title, WS_VISIBLE, x, y, width, height, NULL, NULL,
                                  instance, this);
    if (!window || !IsWindow(window)) {
        frameWindow = NULL;
        return TRUE;   // the create handler ended the run itself
    }
    accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    ShowWindow(frameWindow, showCommand);
    UpdateWindow(frameWindow);
    return TRUE;
}

LRESULT CALLBACK MainFrame::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    MainFrame* frame;
    if (message == WM_CREATE) {
        frame = (MainFrame*)((CREATESTRUCTW*)lParam)->lpCreateParams;
        SetWindowLongPtrW(window, 0, (LONG_PTR)frame);
        frame->frameWindow = window;
        return frame->OnCreate();
    }
    frame = (MainFrame*)GetWindowLongPtrW(window, 0);
    if (!frame)
        return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY:
        return frame->OnDestroy();
    case WM_SETFOCUS:
        return frame->OnSetFocus();
    case WM_NOTIFY:
        return frame->OnNotify((NMHDR*)lParam);
    case WM_COMMAND:
        return frame->OnCommand(wParam, lParam);
    case WM_DIAL_CONNECTED:
        return frame->OnDialConnected();
    case WM_DIAL_HANGUP:
        return frame->OnDialHangup();
    case WM_PATROL_DONE:
        return frame->OnPatrolDone(lParam);
    case WM_ACTIVATE_INSTANCE:
        return 0;   // coming to the front was the whole effect
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT MainFrame::OnCreate()
{
    if (!CreateBars())
        return 0;
    barHeight = BarHeight();
    ShowBar(groupBar, TRUE);

    RECT client;
    GetClientRect(frameWindow, &client);
    int width = client.right, height = client.bottom;

    BOOL complete = FALSE;
    if (!settings.Load(&complete) || !complete) {
        if (RunPropertySheet(&settings, instance, frameWindow) == IDCANCEL) {
            SendMessageW(frameWindow, WM_COMMAND, IDM_EXIT, 0);
            return 0;
        }
    }

    RECT rect;
    GroupListRect(width, height, &rect);
    groupView->Create(L"Group", rect, frameWindow, IDC_GROUP_LIST, instance);

    ViewRect(width, height, &rect);
    articleText.Attach(articleView);
    articleView->AttachText(&articleText);

    DWORD flag = 0;
    showArticleHeader = LoadShowArticleHeader(&flag) ? flag : 0;
    flag = kLevelAll;
    priorityViewLevel = LoadPriorityViewLevel(&flag) ? flag : (DWORD)kLevelAll;
    articleView->Create(instance, frameWindow, IDC_ARTICLE_VIEW, rect, showArticleHeader);
    RefreshArticleMarks();

    flag = 0;
    viewReadArticle = LoadViewReadArticle(&flag) ? flag : 0;
    flag = kLevelAll;
    priorityViewLevel = LoadPriorityViewLevel(&flag) ? flag : (DWORD)kLevelAll;
    subjectView->Create(instance, frameWindow, IDC_SUBJECT_VIEW, rect, viewReadArticle, priorityViewLevel);
    flag = 0;
    threadView = LoadThreadView(&flag) ? flag : 0;
    subjectView->SetThreaded(threadView);
    RefreshSubjectMarks();
    LayerBars();

    HICON icon = (HICON)LoadImageW(instance, MAKEINTRESOURCEW(IDI_PELORA), IMAGE_ICON, 16, 16, 0);
    if (icon)
        SendMessageW(frameWindow, WM_SETICON, ICON_SMALL, (LPARAM)icon);

    ReinitializeData();
    ShowGroupView(FALSE);
    return 0;
}

LRESULT MainFrame::OnDestroy()
{
    if (currentView != kViewGroup)
        subjectView->List().Close();
    HangUpOnClose(&dialUp);
    groupView->SaveColumnWidths();
    PostQuitMessage(0);
    return 0;
}

LRESULT MainFrame::OnSetFocus()
{
    HWND target = currentView == kViewGroup     ? groupView->List()
                  : currentView == kViewSubject ? subjectView->Window()
                                                : articleView->Window();
    if (target)
        SetFocus(target);
    return 0;
}

LRESULT MainFrame::OnNotify(NMHDR* header)
{
    if (header->idFrom != IDC_GROUP_LIST || (header->code != NM_DBLCLK && header->code != NM_RETURN))
        return 0;
    wchar_t name[kGroupNameCapacity];
    UINT row = 0;
    if (groupView->GetSelected(name, kGroupNameCapacity, &row) > 0)
        ShowSubjectView(row, name);
    return 0;
}

LRESULT MainFrame::OnCommand(WPARAM wParam, LPARAM lParam)
{
    UINT id = LOWORD(wParam);
    UINT code = HIWORD(wParam);
    BOOL fromAccelerator = code == 1;
    switch (id) {
    case IDM_EXIT:
        SendMessageW(frameWindow, WM_CLOSE, 0, 0);
        break;
    case IDM_PROPERTIES:
        OnProperties();
        break;
    case IDM_DOWNLOAD:
        OnDownload(fromAccelerator);
        break;
    case IDM_ABOUT:
        OnAbout();
        break;
    case IDM_TOGGLE_READ:
        OnToggleRead();
        break;
    case IDM_COPY:
        OnCopy(fromAccelerator);
        break;
    case IDM_SHOW_READ:
        OnToggleShowRead();
        break;
    case IDM_SHOW_HEADER:
        OnToggleShowHeader();
        break;
    case IDM_THREAD_VIEW:
        OnToggleThreadView();
        break;
    case IDM_THREAD_READ:
        OnMarkThreadRead();
        break;
    case IDM_PRIORITY_HIGH:
        OnPriorityLevel(kLevelHighOnly);
        break;
    case IDM_PRIORITY_NORMAL:
        OnPriorityLevel(kLevelNormalAndHigh);
        break;
    case IDM_PRIORITY_LOW:
        OnPriorityLevel(kLevelAll);
        break;
    case IDC_ARTICLE_VIEW:
        OnArticleViewNotify(code);
        break;
    case IDC_SUBJECT_VIEW:
        OnSubjectViewNotify(code);
        break;
    case IDM_DELETE_READ:
        FrameDeleteReadArticles(this);
        break;
    case IDM_SUBSCRIBE:
        FrameSubscribe(this);
        break;
    case IDM_CATCHUP:
        FrameCatchUp(this);
        break;
    case IDM_FILTER:
        FrameKeywordFilter(this);
        break;
    case IDM_POST_NEW:
        FrameNewPost(this);
        break;
    case IDM_POST_FOLLOW:
        FrameFollowUp(this);
        break;
    case IDM_OUTBOX:
        FrameOutbox(this);
        break;
    default:
        OnBarCommand(id);
        break;
    }
    return 0;
}

void MainFrame::OnArticleViewNotify(UINT code)
{
    if (code == kArticleNotifyBack)
        ShowSubjectView(0, NULL);
    else if (code == kArticleNotifyNext)
        OpenNextArticle();
}

void MainFrame::OnSubjectViewNotify(UINT code)
{
    if (code == kSubjectNotifyBack)
        ShowGroupView(TRUE);
    else if (code == kSubjectNotifyOpen)
        OpenSelectedArticle();
}

void MainFrame::OnDownload(BOOL fromAccelerator)
{
    if (fromAccelerator && currentView != kViewGroup)
        return;
    StartFrameDownload(this);
}

void MainFrame::OnAbout()
{
    RunAboutDialog(instance, frameWindow);
}

void MainFrame::OnToggleRead()
{
    if (currentView == kViewSubject)
        subjectView->ToggleRead();
}

void MainFrame::OnCopy(BOOL fromAccelerator)
{
    if (fromAccelerator && currentView != kViewArticle)
        return;
    articleView->Copy(frameWindow);
}

void MainFrame::OnToggleShowRead()
{
    viewReadArticle = !viewReadArticle;
    RefreshSubjectMarks();
    if (subjectView->SetShowRead(viewReadArticle)) {
        if (!SaveViewReadArticle(viewReadArticle))
            ShowErrorBox(IDS_SETTINGS_SAVE_FAILED);
    } else {
        ShowErrorBox(IDS_VIEW_SWITCH_FAILED);
    }
}

void MainFrame::OnToggleThreadView()
{
    threadView = !threadView;
    RefreshSubjectMarks();
    subjectView->SetThreaded(threadView);
    if (!SaveThreadView(threadView))
        ShowErrorBox(IDS_SETTINGS_SAVE_FAILED);
}

void MainFrame::OnMarkThreadRead()
{
    if (currentView == kViewSubject && !subjectView->MarkThreadRead())
        ShowErrorBox(IDS_INDEX_WRITE_FAILED);
}

void MainFrame::OnToggleShowHeader()
{
    showArticleHeader = !showArticleHeader;
    RefreshArticleMarks();
    if (articleView->SetShowHeader(showArticleHeader)) {
        if (!SaveShowArticleHeader(showArticleHeader))
            ShowErrorBox(IDS_SETTINGS_SAVE_FAILED);
    } else {
        ShowErrorBox(IDS_VIEW_SWITCH_FAILED);
    }
}

void MainFrame::OnPriorityLevel(UINT level)
{
    priorityViewLevel = level;
    RefreshSubjectMarks();
    SavePriorityViewLevel(priorityViewLevel);
    subjectView->SetPriorityLevel(priorityViewLevel);
}

void MainFrame::RefreshSubjectMarks()
{
    CheckMenuItem(subjectMenu, IDM_SHOW_READ, MF_BYCOMMAND | (viewReadArticle ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(subjectMenu, IDM_PRIORITY_HIGH,
                  MF_BYCOMMAND | (priorityViewLevel == kLevelHighOnly ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(subjectMenu, IDM_PRIORITY_NORMAL,
                  MF_BYCOMMAND | (priorityViewLevel == kLevelNormalAndHigh ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(subjectMenu, IDM_PRIORITY_LOW,
                  MF_BYCOMMAND | (priorityViewLevel == kLevelAll ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(subjectMenu, IDM_THREAD_VIEW, MF_BYCOMMAND | (threadView ? MF_CHECKED : MF_UNCHECKED));
    SetToggleButton(subjectBar, IDM_SHOW_READ, viewReadArticle);
}

void MainFrame::RefreshArticleMarks()
{
    CheckMenuItem(articleMenu, IDM_SHOW_HEADER, MF_BYCOMMAND | (showArticleHeader ? MF_CHECKED : MF_UNCHECKED));
    SetToggleButton(articleBar, IDM_SHOW_HEADER, showArticleHeader);
}

void MainFrame::OnProperties()
{
    Settings edited;
    if (RunPropertySheet(&edited, instance, frameWindow) == IDOK) {
        BOOL complete = FALSE;
        settings.Load(&complete);
        ReinitializeData();
    }
    // The sheet made fonts for the temporary record; no view shows them.
    if (edited.ArticleFont)
        DeleteObject(edited.ArticleFont);
    if (edited.SubjectFont)
        DeleteObject(edited.SubjectFont);
    edited.Destroy();
}

BOOL MainFrame::ReinitializeData()
{
    if (!InitializeDataFolder(settings.DataPath)) {
        ShowErrorBox(IDS_DATA_INIT_FAILED);
        return FALSE;
    }
    return groupView->Fill(settings.DataPath);
}

void MainFrame::ShowGroupView(BOOL update)
{
    if (currentView == kViewGroup)
        return;
    articleView->Show(SW_HIDE);
    subjectView->Show(SW_HIDE);
    if (update) {
        SubjectList& list = subjectView->List();
        // A group that failed to open has no count to give.
        BOOL wasOpen = list.IsOpen();
        list.Close();
        if (wasOpen)
            groupView->SetUnreadCount(currentGroupRow, list.UnreadCount());
    }
    ShowBar(subjectBar, FALSE);
    ShowBar(articleBar, FALSE);
    ShowBar(groupBar, TRUE);
    groupView->Show(SW_SHOW);
    SetFocus(groupView->List());
    currentView = kViewGroup;
}

void MainFrame::ShowSubjectView(UINT row, const wchar_t* groupName)
{
    if (currentView == kViewSubject)
        return;
    ShowBar(groupBar, FALSE);
    ShowBar(articleBar, FALSE);
    ShowBar(subjectBar, TRUE);
    articleView->Show(SW_HIDE);
    groupView->Show(SW_HIDE);
    if (groupName) {
        currentGroupRow = row;
        subjectView->OpenGroup(settings.DataPath, groupName);
    }
    subjectView->SetLineScrollKeys(settings.KeyMode);
    subjectView->SetFont(settings.SubjectFont, settings.FontSizeS);
    subjectView->Show(SW_SHOW);
    SetFocus(subjectView->Window());
    currentView = kViewSubject;
}

void MainFrame::ShowArticleView()
{
    if (currentView == kViewArticle)
        return;
    ShowBar(groupBar, FALSE);
    ShowBar(subjectBar, FALSE);
    ShowBar(articleBar, TRUE);
    groupView->Show(SW_HIDE);
    subjectView->Show(SW_HIDE);
    articleView->SetLineScrollKeys(settings.KeyMode);
    articleView->SetAutoNext(settings.AutoNextArticle);
    articleView->SetFont(settings.ArticleFont);
    articleView->SetColors(settings.HeaderColor, settings.ReferenceLine);
    articleView->Show(SW_SHOW);
    SetFocus(articleView->Window());
    currentView = kViewArticle;
}

void MainFrame::OpenSelectedArticle()
{
    SubjectList& list = subjectView->List();
    const IndexRecord* record = list.SelectedRecord();
    wchar_t* text = NULL;
    if (record) {
        list.SetFlags(list.Selection(), kRecordRead);
        record = list.SelectedRecord();
        text = ReadArticle(&list, record->articleOffset, record->articleLength);
    } else {
        SetLastError(ERROR_INVALID_DATA);
    }
    if (!text) {
        ShowErrorBox(IDS_INDEX_INIT_FAILED);
        return;
    }
    articleText.SetText(text);
    ShowArticleView();
}

void MainFrame::OpenNextArticle()
{
    if (subjectView->NextRow())
        OpenSelectedArticle();
}

LRESULT MainFrame::OnDialConnected()
{
    ::OnDialConnected(&dialUp, frameWindow, StartFramePatrol, this);
    return 0;
}

LRESULT MainFrame::OnDialHangup()
{
    ::OnDialHangUp(&dialUp, frameWindow);
    return 0;
}

LRESULT MainFrame::OnPatrolDone(LPARAM job)
{
    FinishFrameDownload(this, job);
    return 0;
}
