// The subject view: one group's articles as rows of mark, date, sender and
// subject over the embedded SubjectList, with a cursor moved by keys, scroll
// bar and stylus.
#pragma once
#include <windows.h>
#include "store/SubjectList.h"

enum {
    kSubjectScrollBarId = 105,
    kSubjectHeaderId = 109,
    kSubjectColumnCount = 4,
    // Notification codes sent to the parent as WM_COMMAND (code << 16 | id).
    kSubjectNotifyBack = 1,
    kSubjectNotifyEnd = 2,
    kSubjectNotifyOpen = 3,
};

extern const wchar_t kSubjectViewClass[];   // "PELORASubjectViewWnd"

class SubjectView {
public:
    SubjectView();
    ~SubjectView();

    static BOOL RegisterClass(HINSTANCE instance);
    // `rect` gives left, top as position and right, bottom as width, height.
    BOOL Create(HINSTANCE instance, HWND parent, UINT id, const RECT& rect,
                BOOL showRead, UINT priorityLevel);
    void Show(int showCommand);
    BOOL OpenGroup(const wchar_t* dataPath, const wchar_t* groupName);
    BOOL SetShowRead(BOOL showRead);
    BOOL SetPriorityLevel(UINT level);
    BOOL ToggleRead();
    BOOL ReapplyFilter();
    // The Down-key action; returns whether the selected position changed.
    BOOL NextRow();

    // Handed over by the frame before the view is shown.
    void SetFont(HFONT font, UINT fontHeight);  // font owned by the settings; may be none
    void SetLineScrollKeys(BOOL lineScroll);    // KeyMode

    // The list behind the rows: the frame reads the selection and marks,
    // reads and closes through it.
    SubjectList& List() { return list_; }
    HWND Window() const { return window_; }
    HWND ScrollBar() const { return scrollBar_; }
    HWND Header() const { return header_; }
    UINT RowHeight() const { return rowHeight_; }
    const RECT& ListRect() const { return listRect_; }
    BOOL LayoutValid() const { return layoutValid_; }
    // Lays the rows out now if needed, as the next paint would.
    BOOL EnsureLayout();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnCreate(HWND window);
    LRESULT OnPaint();
    LRESULT OnKeyDown(WPARAM key);
    LRESULT OnVScroll(WPARAM wParam);
    LRESULT OnButtonDown(LPARAM point, BOOL doubleClick);
    LRESULT OnNotify(NMHDR* header);
    LRESULT OnDestroy();

    BOOL Layout();
    void LoadColumnWidths();
    BOOL SaveColumnWidths();
    void Notify(UINT code);
    void CursorDown();
    void CursorUp();
    void LineDown();
    void LineUp();
    void PageDown();
    void PageUp();
    void MoveTop(UINT top);
    void InvalidateRows(UINT row, UINT count);
    void UpdateScrollRange();
    UINT MaxTop() const;
    UINT PageStep() const;

    HWND window_;
    HWND scrollBar_;
    HWND header_;
    HWND parent_;
    UINT id_;
    RECT frameRect_;
    RECT listRect_;
    HINSTANCE instance_;
    UINT rowHeight_;
    BOOL layoutValid_;
    BOOL lineScrollKeys_;
    SubjectList list_;
    UINT fontHeight_;
    HFONT font_;
    BOOL scrollPending_;
};
