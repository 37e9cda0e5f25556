// The main frame: the program's only top-level window. It owns the settings,
// the three views and their bars, shows one view at a time and turns every
// command, accelerator, view notification and worker message into a call on
// the object that does the work.
#pragma once
#include <windows.h>
#include "nntp/DialUp.h"
#include "settings/Settings.h"
#include "views/ArticleText.h"

// The frame's window class, by which a second copy finds the first.
inline constexpr wchar_t kFrameClassName[] = L"PeloraMainFrmWnd";

class ArticleView;
class SubjectView;
class GroupView;

enum ViewKind { kViewGroup = 0, kViewSubject = 1, kViewArticle = 2 };

enum {
    // A second copy brought this one to the front (WM_APP + 1 is the
    // patrol worker's WM_PATROL_DONE).
    WM_ACTIVATE_INSTANCE = WM_APP + 2,
};

class MainFrame {
public:
    MainFrame();
    ~MainFrame();

    static BOOL RegisterClass(HINSTANCE instance);
    // Builds the view objects and the frame window; FALSE with
    // ERROR_NOT_ENOUGH_MEMORY when a view object cannot be made. The
    // window's creation may itself end the run (the first-start sheet
    // cancelled); then no window is left.
    BOOL Create(const wchar_t* title, HINSTANCE instance, int showCommand);

    HWND Window() const { return frameWindow; }
    HACCEL Accelerators() const { return accelerators; }
    UINT CurrentView() const { return currentView; }
    GroupView* Groups() const { return groupView; }
    SubjectView* Subjects() const { return subjectView; }
    ArticleView* Article() const { return articleView; }
    HWND Bar(UINT view) const;
    HMENU SubjectMenu() const { return subjectMenu; }
    HMENU ArticleMenu() const { return articleMenu; }
    Settings& CurrentSettings() { return settings; }
    const ArticleText& Text() const { return articleText; }

    // The data initialisation of the store, then the group view's refill.
    BOOL ReinitializeData();
    void ShowGroupView(BOOL update);
    void ShowSubjectView(UINT row, const wchar_t* groupName);
    void ShowArticleView();
    void OpenSelectedArticle();

    HINSTANCE Instance() const { return instance; }
    // The dial-up connection and whether this program raised it.
    DialUpLink& DialUp() { return dialUp; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnCreate();
    LRESULT OnDestroy();
    LRESULT OnSetFocus();
    LRESULT OnNotify(NMHDR* header);
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
    LRESULT OnDialConnected();
    LRESULT OnDialHangup();
    LRESULT OnPatrolDone(LPARAM job);

    void OnDownload(BOOL fromAccelerator);
    void OnAbout();
    void OnToggleRead();
    void OnCopy(BOOL fromAccelerator);
    void OnToggleShowRead();
    void OnToggleShowHeader();
    void OnToggleThreadView();
    void OnMarkThreadRead();
    void OnPriorityLevel(UINT level);
    void OnProperties();
    void OnArticleViewNotify(UINT code);
    void OnSubjectViewNotify(UINT code);
    void OpenNextArticle();

    // The bars differ between the two programs (FrameBarsHpc.cpp, FrameBarsPpc.cpp).
    BOOL CreateBars();
    int BarHeight() const;
    void ShowBar(HWND bar, BOOL show);
    void GroupListRect(int width, int height, RECT* rect) const;
    void ViewRect(int width, int height, RECT* rect) const;
    void LayerBars();
    void SetToggleButton(HWND bar, UINT command, BOOL pressed);
    BOOL OnBarCommand(UINT id);
    void RefreshSubjectMarks();
    void RefreshArticleMarks();

    HWND frameWindow;
    HINSTANCE instance;
    Settings settings;
    HWND groupBar, subjectBar, articleBar;
    HMENU subjectMenu, articleMenu;
    HACCEL accelerators;
    UINT currentView;
    ArticleView* articleView;
    SubjectView* subjectView;
    GroupView* groupView;
    UINT currentGroupRow;
    ArticleText articleText;
    DialUpLink dialUp;   // rasConnection and dialConnected
    UINT viewReadArticle;
    UINT showArticleHeader;
    UINT priorityViewLevel;
    UINT threadView;
    int barHeight;
    int showCommand_;
};
