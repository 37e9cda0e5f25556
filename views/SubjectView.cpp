#include "views/SubjectView.h"
#include "text/MessageCatalog.h"
#include "store/ArticleLog.h"
#include "store/IndexRecord.h"
#include "settings/Settings.h"
#include "resource.h"
#include <commctrl.h>
#include <string.h>

const wchar_t kSubjectViewClass[] = L"PELORASubjectViewWnd";

namespace {

const wchar_t kColumnKey[] = PELORA_SETTINGS_KEY L"\\SubjectView";

struct Column {
    UINT title;
    const wchar_t* value;
    int defaultWidth;
};

const Column kColumns[kSubjectColumnCount] = {
    { IDS_COLUMN_MARK, L"markWidth", 25 },
    { IDS_COLUMN_DATE, L"dateWidth", 40 },
    { IDS_COLUMN_SENDER, L"fromWidth", 160 },
    { IDS_COLUMN_SUBJECT, L"subjectWidth", 400 },
};

enum { kColumnMark, kColumnDate, kColumnFrom, kColumnSubject };
enum { kGlyphSize = 10, kMinRowHeight = 10, kHeaderHeight = 20, kScrollBarWidth = 16 };
// A stored width beyond this is damage, not a choice.
enum { kMaxColumnWidth = 0x7FFF };

// A record field is zero-padded but a damaged index may fill it: never read
// past its end.
int FieldToWide(const char* field, int size, wchar_t* out, int capacity)
{
    int length = 0;
    while (length < size && field[length])
        ++length;
    int n = length ? MultiByteToWideChar(CP_ACP, 0, field, length, out, capacity - 1) : 0;
    if (n < 0)
        n = 0;
    out[n] = L'\0';
    return n;
}

int ItemWidth(HWND header, int item)
{
    HDITEMW hd;
    memset(&hd, 0, sizeof hd);
    hd.mask = HDI_WIDTH;
    if (!SendMessageW(header, HDM_GETITEMW, (WPARAM)item, (LPARAM)&hd))
        return 0;
    return hd.cxy;
}

} // namespace

SubjectView::SubjectView()
    : window_(NULL), scrollBar_(NULL), header_(NULL), parent_(NULL), id_(0),
      instance_(NULL), rowHeight_(kMinRowHeight), layoutValid_(FALSE), lineScrollKeys_(FALSE),
      fontHeight_(0), font_(NULL), scrollPending_(FALSE)
{
    SetRectEmpty(&frameRect_);
    SetRectEmpty(&listRect_);
}

SubjectView::~SubjectView()
{
    // A window that outlives its object must not reach it any more.
    if (window_ && IsWindow(window_))
        SetWindowLongPtrW(window_, 0, 0);
}

BOOL SubjectView::RegisterClass(HINSTANCE instance)
{
    WNDCLASSW wc;
    memset(&wc, 0, sizeof wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.cbWndExtra = sizeof(void*);   // the view object pointer (4 bytes on the device)
    wc.hInstance = instance;
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = kSubjectViewClass;
    return ::RegisterClassW(&wc) != 0;
}

BOOL SubjectView::Create(HINSTANCE instance, HWND parent, UINT id, const RECT& rect,
                         BOOL showRead, UINT priorityLevel)
{
    parent_ = parent;
    id_ = id;
    instance_ = instance;
    frameRect_ = rect;
    listRect_.left = rect.left + 1;
    listRect_.top = rect.top + 21;
    listRect_.right = rect.right - 17;
    listRect_.bottom = rect.bottom - 1;
    layoutValid_ = FALSE;
    list_.SetShowRead(showRead);
    list_.SetPriorityLevel(priorityLevel);
    window_ = CreateWindowExW(0, kSubjectViewClass, L"", WS_CHILD, rect.left, rect.top,
                              rect.right, rect.bottom, parent, (HMENU)(UINT_PTR)id, instance, this);
    return window_ != NULL;
}

void SubjectView::Show(int showCommand)
{
    if (!window_)
        return;
    ShowWindow(window_, showCommand);
    if (scrollBar_)
        ShowWindow(scrollBar_, showCommand);
    UpdateWindow(window_);
}

BOOL SubjectView::OpenGroup(const wchar_t* dataPath, const wchar_t* groupName)
{
    // Even a failed open has dropped the old group's rows: lay out again.
    layoutValid_ = FALSE;
    return list_.Open(dataPath, groupName);
}

BOOL SubjectView::SetShowRead(BOOL showRead)
{
    list_.SetShowRead(showRead);
    layoutValid_ = FALSE;
    if (window_)
        InvalidateRect(window_, &listRect_, TRUE);
    return TRUE;
}

BOOL SubjectView::SetPriorityLevel(UINT level)
{
    list_.SetPriorityLevel(level);
    layoutValid_ = FALSE;
    if (window_)
        InvalidateRect(window_, &listRect_, TRUE);
    return TRUE;
}

BOOL SubjectView::ToggleRead()
{
    UINT row = list_.Selection();
    // Nothing is selected in an empty list: nothing to toggle, no failure.
    const IndexRecord* record = list_.Record(row);
    if (!record)
        return TRUE;
    BOOL ok;
    if (record->flags & kRecordRead)
        ok = list_.ClearFlags(row, kRecordRead);
    else
        ok = list_.SetFlags(row, kRecordRead);
    InvalidateRows(row, 1);
    return ok;
}

BOOL SubjectView::ReapplyFilter()
{
    // Reprioritising reloads the counters from the index header, which still
    // holds the unread count of the group's opening: the marks made since
    // then reach the file only at close. Read flags are not touched by it, so
    // the count kept here stays right.
    DWORD unread = list_.UnreadCount();
    BOOL ok = Reprioritise(&list_);
    list_.SetUnreadCount(unread);
    if (!ok)
        return FALSE;
    layoutValid_ = FALSE;
    if (window_)
        InvalidateRect(window_, &listRect_, TRUE);
    return TRUE;
}

BOOL SubjectView::NextRow()
{
    UINT before = list_.Top() + list_.Selection();
    UINT topBefore = list_.Top();
    CursorDown();
    // Down on a page's last row only turns the page and keeps the article;
    // the next article is one more Down away.
    if (list_.Top() + list_.Selection() == before && list_.Top() != topBefore)
        CursorDown();
    scrollPending_ = FALSE;
    return list_.Top() + list_.Selection() != before;
}

void SubjectView::SetFont(HFONT font, UINT fontHeight)
{
    // Rows and page size follow the font: a new one needs a new layout.
    if (font != font_ || fontHeight != fontHeight_)
        layoutValid_ = FALSE;
    font_ = font;
    fontHeight_ = fontHeight;
}

void SubjectView::SetLineScrollKeys(BOOL lineScroll) { lineScrollKeys_ = lineScroll; }

BOOL SubjectView::EnsureLayout()
{
    if (layoutValid_)
        return TRUE;
    if (!window_)
        return FALSE;
    // A failed load still leaves a usable (shorter) list.
    Layout();
    return TRUE;
}

// Page size, the list's order and window, and the scroll range all follow
// from the row height; the list starts again at its first entry.
BOOL SubjectView::Layout()
{
    if (font_)
        rowHeight_ = fontHeight_;
    if (rowHeight_ < kMinRowHeight)
        rowHeight_ = kMinRowHeight;
    if (header_)
        SendMessageW(header_, WM_SETFONT, (WPARAM)font_, TRUE);
    int height = listRect_.bottom - listRect_.top;
    UINT pageSize = height > 0 ? (UINT)height / rowHeight_ : 0;
    // A list lower than one row still shows (part of) one.
    if (pageSize == 0)
        pageSize = 1;
    BOOL ok = list_.Load(pageSize);
    UpdateScrollRange();
    layoutValid_ = TRUE;
    return ok;
}

UINT SubjectView::MaxTop() const
{
    SubjectList& list = const_cast<SubjectList&>(list_);
    return list.VisibleCount() > list.PageSize() ? list.VisibleCount() - list.PageSize() : 0;
}

// Pages keep two rows of the previous page on screen; a page of fewer than
// three rows still moves by one.
UINT SubjectView::PageStep() const
{
    UINT pageSize = const_cast<SubjectList&>(list_).PageSize();
    return pageSize > 2 ? pageSize - 2 : 1;
}

void SubjectView::UpdateScrollRange()
{
    if (!scrollBar_)
        return;
    // Every thumb position is taken as a top: none may lie past the last page.
    SetScrollRange(scrollBar_, SB_CTL, 0, (int)MaxTop(), FALSE);
    SetScrollPos(scrollBar_, SB_CTL, (int)list_.Top(), TRUE);
}

LRESULT CALLBACK SubjectView::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        CREATESTRUCTW* cs = (CREATESTRUCTW*)lParam;
        SubjectView* view = (SubjectView*)cs->lpCreateParams;
        SetWindowLongPtrW(window, 0, (LONG_PTR)view);
        return view->OnCreate(window);
    }
    SubjectView* view = (SubjectView*)GetWindowLongPtrW(window, 0);
    if (!view)
        return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_PAINT:
        return view->OnPaint();
    case WM_KEYDOWN:
        return view->OnKeyDown(wParam);
    case WM_VSCROLL:
        return view->OnVScroll(wParam);
    case WM_LBUTTONDOWN:
        if (wParam & MK_LBUTTON)
            return view->OnButtonDown(lParam, FALSE);
        return 0;
    case WM_LBUTTONDBLCLK:
        return view->OnButtonDown(lParam, TRUE);
    case WM_NOTIFY:
        return view->OnNotify((NMHDR*)lParam);
    case WM_DESTROY:
        return view->OnDestroy();
    case WM_COMMAND:
        return 0;
    case WM_NCDESTROY:
        view->window_ = NULL;
        view->scrollBar_ = NULL;
        view->header_ = NULL;
        SetWindowLongPtrW(window, 0, 0);
        return DefWindowProcW(window, message, wParam, lParam);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT SubjectView::OnCreate(HWND window)
{
    window_ = window;
    scrollBar_ = CreateWindowExW(0, L"SCROLLBAR", L"VSSUBJ", WS_CHILD | SBS_VERT,
                                 listRect_.right, listRect_.top, kScrollBarWidth,
                                 listRect_.bottom - listRect_.top, window,
                                 (HMENU)(UINT_PTR)kSubjectScrollBarId, instance_, NULL);
    header_ = CreateWindowExW(0, WC_HEADERW, L"", WS_CHILD | WS_VISIBLE | HDS_BUTTONS,
                              frameRect_.left + 1, frameRect_.top + 1,
                              frameRect_.right - frameRect_.left - 2, kHeaderHeight, window,
                              (HMENU)(UINT_PTR)kSubjectHeaderId, instance_, NULL);
    if (header_)
        LoadColumnWidths();
    return 0;
}

void SubjectView::LoadColumnWidths()
{
    HKEY key = NULL;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kColumnKey, 0, NULL, 0, KEY_READ | KEY_WRITE,
                        NULL, &key, NULL) != ERROR_SUCCESS)
        key = NULL;
    for (int i = 0; i < kSubjectColumnCount; ++i) {
        wchar_t title[64] = L"";
        const wchar_t* text = MessageCatalog::Load(kColumns[i].title);
        if (text)
            lstrcpynW(title, text, 64);
        int width = kColumns[i].defaultWidth;
        DWORD value = 0, size = sizeof value, type = 0;
        if (key && RegQueryValueExW(key, kColumns[i].value, NULL, &type, (BYTE*)&value, &size) == ERROR_SUCCESS
            && size == sizeof value && value <= kMaxColumnWidth)
            width = (int)value;
        HDITEMW hd;
        memset(&hd, 0, sizeof hd);
        hd.mask = HDI_WIDTH | HDI_TEXT | HDI_FORMAT;
        hd.cxy = width;
        hd.pszText = title;
        hd.cchTextMax = lstrlenW(title);
        hd.fmt = HDF_LEFT | HDF_STRING;
        SendMessageW(header_, HDM_INSERTITEMW, (WPARAM)i, (LPARAM)&hd);
    }
    if (key)
        RegCloseKey(key);
}

BOOL SubjectView::SaveColumnWidths()
{
    if (!header_)
        return FALSE;
    HKEY key = NULL;
    LONG error = RegCreateKeyExW(HKEY_CURRENT_USER, kColumnKey, 0, NULL, 0, KEY_WRITE,
                                 NULL, &key, NULL);
    if (error != ERROR_SUCCESS) {
        SetLastError((DWORD)error);
        return FALSE;
    }
    BOOL ok = TRUE;
    for (int i = 0; i < kSubjectColumnCount; ++i) {
        DWORD width = (DWORD)ItemWidth(header_, i);
        error = RegSetValueExW(key, kColumns[i].value, 0, REG_DWORD, (const BYTE*)&width, sizeof width);
        if (error != ERROR_SUCCESS) {
            SetLastError((DWORD)error);
            ok = FALSE;
        }
    }
    RegCloseKey(key);
    return ok;
}

LRESULT SubjectView::OnDestroy()
{
    SaveColumnWidths();
    return 0;
}

LRESULT SubjectView::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_, &ps);
    HGDIOBJ oldFont = font_ ? SelectObject(dc, font_) : NULL;
    if (!layoutValid_)
        Layout();

    HBITMAP readGlyph = LoadBitmapW(instance_, MAKEINTRESOURCEW(IDB_SUBJECT_READ));
    HBITMAP highGlyph = LoadBitmapW(instance_, MAKEINTRESOURCEW(IDB_SUBJECT_HIGH));
    HBITMAP lowGlyph = LoadBitmapW(instance_, MAKEINTRESOURCEW(IDB_SUBJECT_LOW));
    HDC readDc = CreateCompatibleDC(dc);
    HDC arrowDc = CreateCompatibleDC(dc);
    HGDIOBJ oldRead = (readDc && readGlyph) ? SelectObject(readDc, readGlyph) : NULL;
    HGDIOBJ oldArrow = NULL;

    int rowHeight = (int)rowHeight_;
    int topOffset = ps.rcPaint.top - listRect_.top;
    int firstRow = (topOffset > 0 ? topOffset : 0) / rowHeight;
    int bottomOffset = ps.rcPaint.bottom - listRect_.top;
    int lastRow = bottomOffset > 0 ? (bottomOffset - 1) / rowHeight : -1;

    int bounds[kSubjectColumnCount + 1];
    bounds[0] = 0;
    for (int i = 0; i < kSubjectColumnCount; ++i)
        bounds[i + 1] = bounds[i] + (header_ ? ItemWidth(header_, i) : kColumns[i].defaultWidth);

    UINT loaded = list_.LoadedCount();
    UINT selection = list_.Selection();
    for (int row = firstRow; row <= lastRow && (UINT)row < loaded; ++row) {
        const IndexRecord* entry = list_.Record((DWORD)row);
        if (!entry)
            break;
        const IndexRecord& record = *entry;
        int rowTop = listRect_.top + row * rowHeight;
        int glyphY = rowTop + (rowHeight - kGlyphSize) / 2;
        if ((record.flags & kRecordRead) && oldRead)
            BitBlt(dc, listRect_.left, glyphY, kGlyphSize, kGlyphSize, readDc, 0, 0, SRCCOPY);
        DWORD priority = RecordPriority(record);
        if (priority != kPriorityNormal && arrowDc) {
            HBITMAP arrow = priority == kPriorityHigh ? highGlyph : lowGlyph;
            if (arrow) {
                HGDIOBJ old = SelectObject(arrowDc, arrow);
                if (!oldArrow)
                    oldArrow = old;
                BitBlt(dc, listRect_.left + kGlyphSize, glyphY, kGlyphSize, kGlyphSize,
                       arrowDc, 0, 0, SRCCOPY);
            }
        }
        if (font_) {
            UINT format = DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX;
            RECT r;
            r.top = rowTop;
            r.bottom = rowTop + rowHeight;
            if (r.bottom > listRect_.bottom)
                r.bottom = listRect_.bottom;

            wchar_t date[5] = {
                (wchar_t)(unsigned char)record.date[0], (wchar_t)(unsigned char)record.date[1], L'/',
                (wchar_t)(unsigned char)record.date[2], (wchar_t)(unsigned char)record.date[3] };
            r.left = bounds[kColumnDate] + 2;
            r.right = bounds[kColumnDate + 1] - 4;
            DrawTextW(dc, date, 5, &r, format);

            wchar_t text[kSubjectFieldSize + 1];
            int n = FieldToWide(record.sender, kSenderFieldSize, text, kSubjectFieldSize + 1);
            r.left = bounds[kColumnFrom] + 2;
            r.right = bounds[kColumnFrom + 1] - 4;
            DrawTextW(dc, text, n, &r, format);

            n = FieldToWide(record.subject, kSubjectFieldSize, text, kSubjectFieldSize + 1);
            r.left = bounds[kColumnSubject] + 2;
            r.right = bounds[kColumnSubject + 1] - 4;
            DrawTextW(dc, text, n, &r, format);
        }
        if ((UINT)row == selection)
            PatBlt(dc, listRect_.left, rowTop, listRect_.right - listRect_.left, rowHeight, DSTINVERT);
    }

    if (oldFont)
        SelectObject(dc, oldFont);
    if (oldRead)
        SelectObject(readDc, oldRead);
    if (oldArrow)
        SelectObject(arrowDc, oldArrow);
    if (readDc)
        DeleteDC(readDc);
    if (arrowDc)
        DeleteDC(arrowDc);
    if (readGlyph)
        DeleteObject(readGlyph);
    if (highGlyph)
        DeleteObject(highGlyph);
    if (lowGlyph)
        DeleteObject(lowGlyph);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(HOLLOW_BRUSH));
    Rectangle(dc, frameRect_.left, frameRect_.top, frameRect_.right, frameRect_.bottom);
    SelectObject(dc, oldBrush);
    scrollPending_ = FALSE;
    EndPaint(window_, &ps);
    return 0;
}

void SubjectView::InvalidateRows(UINT row, UINT count)
{
    if (!window_)
        return;
    RECT r;
    r.left = listRect_.left;
    r.right = listRect_.right;
    r.top = listRect_.top + (int)(row * rowHeight_);
    r.bottom = listRect_.top + (int)((row + count) * rowHeight_);
    InvalidateRect(window_, &r, TRUE);
}

void SubjectView::Notify(UINT code)
{
    if (parent_)
        SendMessageW(parent_, WM_COMMAND, MAKEWPARAM(id_, code), (LPARAM)window_);
}

LRESULT SubjectView::OnKeyDown(WPARAM key)
{
    switch (key) {
    case VK_UP:
        CursorUp();
        break;
    case VK_DOWN:
        CursorDown();
        break;
    case VK_PRIOR:
    case VK_LEFT:
        PageUp();
        break;
    case VK_NEXT:
    case VK_RIGHT:
        PageDown();
        break;
    case VK_RETURN:
    case VK_SPACE:
        if (list_.VisibleCount() > 0)
            Notify(kSubjectNotifyOpen);
        break;
    case VK_ESCAPE:
        Notify(kSubjectNotifyBack);
        break;
    default:
        break;
    }
    return 0;
}

LRESULT SubjectView::OnVScroll(WPARAM wParam)
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
        list_.LoadWindow(top);
        if (window_)
            InvalidateRect(window_, &listRect_, TRUE);
        if (scrollBar_)
            SetScrollPos(scrollBar_, SB_CTL, (int)top, TRUE);
        break;
    }
    default:
        break;
    }
    return 0;
}

LRESULT SubjectView::OnButtonDown(LPARAM point, BOOL doubleClick)
{
    int y = (short)HIWORD(point);
    UINT row = (UINT)(y - listRect_.top) / rowHeight_;
    if (row >= list_.PageSize() || row >= list_.VisibleCount() || row >= list_.LoadedCount())
        return 0;
    InvalidateRows(list_.Selection(), 1);
    list_.SetSelection(row);
    InvalidateRows(row, 1);
    if (doubleClick)
        Notify(kSubjectNotifyOpen);
    return 0;
}

LRESULT SubjectView::OnNotify(NMHDR* header)
{
    if (!header || header->idFrom != kSubjectHeaderId)
        return 0;
    switch (header->code) {
    case HDN_ENDTRACKW:
    case HDN_ENDTRACKA:
        if (window_)
            InvalidateRect(window_, &listRect_, TRUE);
        break;
    case HDN_DIVIDERDBLCLICKW:
    case HDN_DIVIDERDBLCLICKA: {
        int item = ((NMHEADERW*)header)->iItem;
        if (item < 0 || item >= kSubjectColumnCount)
            break;
        int width = kColumns[item].defaultWidth;
        if (item == kColumnFrom)
            width = (int)(rowHeight_ * (list_.WidestSender() + 1) / 2 + 4);
        else if (item == kColumnSubject)
            width = (int)(rowHeight_ * (list_.WidestSubject() + 1) / 2 + 4);
        HDITEMW hd;
        memset(&hd, 0, sizeof hd);
        hd.mask = HDI_WIDTH;
        hd.cxy = width;
        SendMessageW(header_, HDM_SETITEMW, (WPARAM)item, (LPARAM)&hd);
        if (window_)
            InvalidateRect(window_, &listRect_, TRUE);
        break;
    }
    default:
        break;
    }
    return 0;
}

void SubjectView::MoveTop(UINT top)
{
    list_.LoadWindow(top);
    if (scrollBar_)
        SetScrollPos(scrollBar_, SB_CTL, (int)top, TRUE);
    if (window_)
        InvalidateRect(window_, &listRect_, TRUE);
}

void SubjectView::LineDown()
{
    if (scrollPending_ || !EnsureLayout())
        return;
    UINT top = list_.Top();
    UINT pageSize = list_.PageSize();
    if (top + pageSize + 1 > list_.VisibleCount())
        return;
    list_.LoadWindow(top + 1);
    if (scrollBar_)
        SetScrollPos(scrollBar_, SB_CTL, (int)(top + 1), TRUE);
    RECT r = listRect_;
    r.bottom = listRect_.top + (int)(pageSize * rowHeight_);
    ScrollWindowEx(window_, 0, -(int)rowHeight_, &r, &r, NULL, NULL, 0);
    // The inverted row moved up with the pixels.
    UINT selection = list_.Selection();
    InvalidateRows(selection > 0 ? selection - 1 : 0, 2);
    InvalidateRows(pageSize - 1, 1);
    scrollPending_ = TRUE;
}

void SubjectView::LineUp()
{
    if (scrollPending_ || !EnsureLayout() || list_.Top() == 0)
        return;
    UINT top = list_.Top();
    UINT pageSize = list_.PageSize();
    list_.LoadWindow(top - 1);
    if (scrollBar_)
        SetScrollPos(scrollBar_, SB_CTL, (int)(top - 1), TRUE);
    RECT r = listRect_;
    r.bottom = listRect_.top + (int)(pageSize * rowHeight_);
    ScrollWindowEx(window_, 0, (int)rowHeight_, &r, &r, NULL, NULL, 0);
    InvalidateRows(list_.Selection(), 2);
    InvalidateRows(0, 1);
    scrollPending_ = TRUE;
}

void SubjectView::PageDown()
{
    if (!EnsureLayout())
        return;
    UINT top = list_.Top();
    UINT pageSize = list_.PageSize();
    UINT visible = list_.VisibleCount();
    UINT step = PageStep();
    if (top + pageSize + step > visible) {
        UINT last = MaxTop();
        if (top == last) {
            Notify(kSubjectNotifyEnd);
            return;
        }
        MoveTop(last);
        return;
    }
    MoveTop(top + step);
}

void SubjectView::PageUp()
{
    if (!EnsureLayout() || list_.Top() == 0)
        return;
    UINT top = list_.Top();
    UINT step = PageStep();
    MoveTop(top > step ? top - step : 0);
}

// After a page turn the cursor stays on the same article where it is still
// on the page; otherwise it goes to the nearest row.
static UINT RowOf(UINT position, UINT top, UINT pageSize, UINT loaded)
{
    UINT row = position < top ? 0 : position - top;
    UINT rows = loaded < pageSize ? loaded : pageSize;
    if (rows > 0 && row > rows - 1)
        row = rows - 1;
    return row;
}

void SubjectView::CursorDown()
{
    if (!EnsureLayout())
        return;
    UINT selection = list_.Selection();
    UINT pageSize = list_.PageSize();
    if (selection + 1 < pageSize && list_.Top() + selection + 1 < list_.VisibleCount()) {
        list_.SetSelection(selection + 1);
        InvalidateRows(selection, 2);
        return;
    }
    if (lineScrollKeys_) {
        LineDown();
        return;
    }
    UINT position = list_.Top() + selection;
    PageDown();
    UINT row = RowOf(position, list_.Top(), pageSize, list_.LoadedCount());
    if (row != selection) {
        list_.SetSelection(row);
        InvalidateRows(selection, 1);
        InvalidateRows(row, 1);
    }
}

void SubjectView::CursorUp()
{
    if (!EnsureLayout())
        return;
    UINT selection = list_.Selection();
    if (selection > 0) {
        list_.SetSelection(selection - 1);
        InvalidateRows(selection - 1, 2);
        return;
    }
    if (lineScrollKeys_) {
        LineUp();
        return;
    }
    UINT position = list_.Top() + selection;
    PageUp();
    UINT row = RowOf(position, list_.Top(), list_.PageSize(), list_.LoadedCount());
    if (row != selection) {
        list_.SetSelection(row);
        InvalidateRows(selection, 1);
        InvalidateRows(row, 1);
    }
}
