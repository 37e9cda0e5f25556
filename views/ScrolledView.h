// What the subject and article views share: a child window of the frame
// that shows rows of one height in a rectangle beside its own vertical
// scroll bar, tells the frame what happened with WM_COMMAND (code << 16 |
// id), and moves by lines and by pages.
//
// The object lives in the window's extra bytes from WM_CREATE until
// WM_NCDESTROY (4 bytes on the device). The shared window procedure handles
// creation, the scroll bar and the end of the window; every other message
// goes to the view's own Dispatch.
#pragma once
#include <windows.h>

class ScrolledView {
public:
    HWND Window() const { return window_; }
    HWND ScrollBar() const { return scrollBar_; }
    void Show(int showCommand);
    // Lays the rows out now if needed, as the next paint would.
    virtual BOOL EnsureLayout() = 0;

protected:
    ScrolledView();
    virtual ~ScrolledView();

    static BOOL RegisterViewClass(HINSTANCE instance, const wchar_t* className, UINT style);
    // `rect` gives left, top as position and right, bottom as width, height;
    // the rows lie inside its border, below `headerHeight` and left of the
    // scroll bar.
    BOOL CreateView(HINSTANCE instance, HWND parent, UINT id, const RECT& rect, int headerHeight,
                    const wchar_t* className);
    BOOL CreateScrollBar(const wchar_t* name, UINT id);
    void Notify(UINT code);
    void InvalidateRows(UINT row, UINT count);

    // The rows as the view keeps them.
    virtual UINT TopRow() = 0;
    virtual UINT PageRows() = 0;
    virtual UINT RowCount() = 0;
    virtual void SetTopRow(UINT top) = 0;
    // Down at the end: TRUE when the view has handed the end to the frame
    // instead of moving.
    virtual BOOL HandOverEnd() { return FALSE; }
    // A page down on the last page.
    virtual void OnLastPage() {}
    // The pixels have moved one row (down: the rows went up).
    virtual void OnLineScrolled(BOOL down) {}

    virtual LRESULT OnCreate() { return 0; }
    virtual LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual void OnNcDestroy() {}

    void LineDown();
    void LineUp();
    void PageDown();
    void PageUp();
    void MoveTop(UINT top);
    UINT MaxTop();
    static UINT PageStep(UINT pageSize);

    HWND window_;
    HWND scrollBar_;
    HWND parent_;
    UINT id_;
    HINSTANCE instance_;
    RECT frameRect_;
    RECT rowsRect_;
    UINT rowHeight_;
    // A line scroll waits for its paint before the next one moves pixels.
    BOOL scrollPending_;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnVScroll(WPARAM wParam);
};
