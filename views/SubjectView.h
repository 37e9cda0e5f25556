// The subject view: one group's articles as rows of mark, date, sender and
// subject over the embedded SubjectList, with a cursor moved by keys, scroll
// bar and stylus.
#pragma once
#include <windows.h>
#include "settings/GdiScope.h"
#include "store/SubjectList.h"
#include "views/ScrolledView.h"

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

class SubjectView : public ScrolledView {
public:
    SubjectView();
    ~SubjectView();

    static BOOL RegisterClass(HINSTANCE instance);
    // `rect` gives left, top as position and right, bottom as width, height.
    BOOL Create(HINSTANCE instance, HWND parent, UINT id, const RECT& rect,
                BOOL showRead, UINT priorityLevel);
    BOOL OpenGroup(const wchar_t* dataPath, const wchar_t* groupName);
    BOOL SetShowRead(BOOL showRead);
    BOOL SetPriorityLevel(UINT level);
    // The list by conversation, or flat; laid out again at the next paint.
    BOOL SetThreaded(BOOL threaded);
    // Every article of the selected row's thread read; rows stay until the
    // next layout, with their marks.
    BOOL MarkThreadRead();
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
    HWND Header() const { return header_; }
    UINT RowHeight() const { return rowHeight_; }
    const RECT& ListRect() const { return rowsRect_; }
    BOOL LayoutValid() const { return layoutValid_; }
    BOOL EnsureLayout() override;

private:
    LRESULT OnCreate() override;
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnNcDestroy() override;
    LRESULT OnPaint();
    LRESULT OnKeyDown(WPARAM key);
    LRESULT OnButtonDown(LPARAM point, BOOL doubleClick);
    LRESULT OnNotify(NMHDR* header);
    LRESULT OnDestroy();

    UINT TopRow() override { return list_.Top(); }
    UINT PageRows() override { return list_.PageSize(); }
    UINT RowCount() override { return list_.VisibleCount(); }
    void SetTopRow(UINT top) override { list_.LoadWindow(top); }
    void OnLastPage() override;
    void OnLineScrolled(BOOL down) override;

    BOOL Layout();
    void LoadColumnWidths();
    BOOL SaveColumnWidths();
    void CursorDown();
    void CursorUp();
    void UpdateScrollRange();
    BOOL Relayout();
    const char* DrawThreadMark(HDC dc, DWORD row, const IndexRecord& record, RECT& text);

    HWND header_;
    BOOL layoutValid_;
    BOOL lineScrollKeys_;
    SubjectList list_;
    UINT fontHeight_;
    HFONT font_;
    // The row marks, made once for the window's life.
    GdiObject<HBITMAP> readGlyph_;
    GdiObject<HBITMAP> highGlyph_;
    GdiObject<HBITMAP> lowGlyph_;
    MemoryDc glyphDc_;
};
