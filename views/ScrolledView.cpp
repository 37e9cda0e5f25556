#include "views/ScrolledView.h"
#include <string.h>

enum { kScrollBarWidth = 16 };

ScrolledView::ScrolledView()
    : window_(NULL), scrollBar_(NULL), parent_(NULL), id_(0), instance_(NULL), rowHeight_(0),
      scrollPending_(FALSE)
{
    SetRectEmpty(&frameRect_);
    SetRectEmpty(&rowsRect_);
}

ScrolledView::~ScrolledView()
{
    // A window that outlives its object must not reach it any more.
    if (window_ && IsWindow(window_))
        SetWindowLongPtrW(window_, 0, 0);
}

#ifdef _WIN32_WCE
// The view's window keeps its object pointer in 4 bytes of extra data.
static_assert(sizeof(void*) == 4, "a view pointer must fit 4 bytes of window extra data");
#endif

BOOL ScrolledView::RegisterViewClass(HINSTANCE instance, const wchar_t* className, UINT style)
{
    WNDCLASSW wc;
    memset(&wc, 0, sizeof wc);
    wc.style = style;
    wc.lpfnWndProc = WindowProc;
    wc.cbWndExtra = sizeof(void*);   // the view object pointer (4 bytes on the device)
    wc.hInstance = instance;
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = className;
    return ::RegisterClassW(&wc) != 0;
}

BOOL ScrolledView::CreateView(HINSTANCE instance, HWND parent, UINT id, const RECT& rect, int headerHeight,
                              const wchar_t* className)
{
    parent_ = parent;
    id_ = id;
    instance_ = instance;
    frameRect_ = rect;
    rowsRect_.left = rect.left + 1;
    rowsRect_.top = rect.top + 1 + headerHeight;
    rowsRect_.right = rect.right - 1 - kScrollBarWidth;
    rowsRect_.bottom = rect.bottom - 1;
    window_ = CreateWindowExW(0, className, L"", WS_CHILD, rect.left, rect.top, rect.right, rect.bottom,
                              parent, (HMENU)(UINT_PTR)id, instance, this);
    return window_ != NULL;
}

BOOL ScrolledView::CreateScrollBar(const wchar_t* name, UINT id)
{
    scrollBar_ = CreateWindowExW(0, L"SCROLLBAR", name, WS_CHILD | SBS_VERT, rowsRect_.right, rowsRect_.top,
                                 kScrollBarWidth, rowsRect_.bottom - rowsRect_.top, window_,
                                 (HMENU)(UINT_PTR)id, instance_, NULL);
    return scrollBar_ != NULL;
}

void ScrolledView::Show(int showCommand)
{
    if (!window_)
        return;
    ShowWindow(window_, showCommand);
    if (scrollBar_)
        ShowWindow(scrollBar_, showCommand);
    UpdateWindow(window_);
}

void ScrolledView::Notify(UINT code)
{
    if (parent_)
        SendMessageW(parent_, WM_COMMAND, MAKEWPARAM(id_, code), (LPARAM)window_);
}

void ScrolledView::InvalidateRows(UINT row, UINT count)
{
    if (!window_)
        return;
    RECT r;
    r.left = rowsRect_.left;
    r.right = rowsRect_.right;
    r.top = rowsRect_.top + (int)(row * rowHeight_);
    r.bottom = rowsRect_.top + (int)((row + count) * rowHeight_);
    InvalidateRect(window_, &r, TRUE);
}

LRESULT CALLBACK ScrolledView::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        ScrolledView* view = (ScrolledView*)((CREATESTRUCTW*)lParam)->lpCreateParams;
        SetWindowLongPtrW(window, 0, (LONG_PTR)view);
        view->window_ = window;
        return view->OnCreate();
    }
    ScrolledView* view = (ScrolledView*)GetWindowLongPtrW(window, 0);
    if (!view)
        return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_VSCROLL:
        return view->OnVScroll(wParam);
    case WM_COMMAND:
        return 0;
    case WM_NCDESTROY:
        view->OnNcDestroy();
        view->window_ = NULL;
        view->scrollBar_ = NULL;
        SetWindowLongPtrW(window, 0, 0);
        return DefWindowProcW(window, message, wParam, lParam);
    default:
        return view->Dispatch(message, wParam, lParam);
    }
}

LRESULT ScrolledView::OnVScroll(WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case SB_LINEUP:
        LineUp();
        break;
    case SB_LINEDOWN:
        LineDown();
        break;
    case SB_PAGEUP:
        PageUp();
        break;
    case SB_PAGEDOWN:
        PageDown();
        break;
    case SB_THUMBPOSITION: {
        if (!EnsureLayout())
            break;
        UINT top = HIWORD(wParam);
        // A thumb message may name any position: stay within the last page.
        if (top > MaxTop())
            top = MaxTop();
        MoveTop(top);
        break;
    }
    default:
        break;
    }
    return 0;
}

UINT ScrolledView::MaxTop()
{
    UINT count = RowCount();
    UINT pageSize = PageRows();
    return count > pageSize ? count - pageSize : 0;
}

// Pages keep two rows of the previous page on screen; a page of fewer than
// three rows still moves by one.
UINT ScrolledView::PageStep(UINT pageSize)
{
    return pageSize > 2 ? pageSize - 2 : 1;
}

void ScrolledView::MoveTop(UINT top)
{
    SetTopRow(top);
    if (scrollBar_)
        SetScrollPos(scrollBar_, SB_CTL, (int)top, TRUE);
    if (window_)
        InvalidateRect(window_, &rowsRect_, TRUE);
}

void ScrolledView::LineDown()
{
    // Nothing to scroll before the first layout.
    if (scrollPending_ || !EnsureLayout() || HandOverEnd())
        return;
    UINT top = TopRow();
    UINT pageSize = PageRows();
    if (top + pageSize + 1 > RowCount())
        return;
    SetTopRow(top + 1);
    if (scrollBar_)
        SetScrollPos(scrollBar_, SB_CTL, (int)(top + 1), TRUE);
    RECT r = rowsRect_;
    r.bottom = rowsRect_.top + (int)(pageSize * rowHeight_);
    ScrollWindowEx(window_, 0, -(int)rowHeight_, &r, &r, NULL, NULL, 0);
    InvalidateRows(pageSize > 0 ? pageSize - 1 : 0, 1);
    OnLineScrolled(TRUE);
    scrollPending_ = TRUE;
}

void ScrolledView::LineUp()
{
    if (scrollPending_ || !EnsureLayout() || TopRow() == 0)
        return;
    UINT top = TopRow();
    UINT pageSize = PageRows();
    SetTopRow(top - 1);
    if (scrollBar_)
        SetScrollPos(scrollBar_, SB_CTL, (int)(top - 1), TRUE);
    RECT r = rowsRect_;
    r.bottom = rowsRect_.top + (int)(pageSize * rowHeight_);
    ScrollWindowEx(window_, 0, (int)rowHeight_, &r, &r, NULL, NULL, 0);
    InvalidateRows(0, 1);
    OnLineScrolled(FALSE);
    scrollPending_ = TRUE;
}

void ScrolledView::PageDown()
{
    if (!EnsureLayout() || HandOverEnd())
        return;
    UINT top = TopRow();
    UINT step = PageStep(PageRows());
    if (top + PageRows() + step <= RowCount()) {
        MoveTop(top + step);
        return;
    }
    UINT last = MaxTop();
    if (top == last) {
        OnLastPage();
        return;
    }
    MoveTop(last);
}

void ScrolledView::PageUp()
{
    if (!EnsureLayout() || TopRow() == 0)
        return;
    UINT top = TopRow();
    UINT step = PageStep(PageRows());
    MoveTop(top > step ? top - step : 0);
}
