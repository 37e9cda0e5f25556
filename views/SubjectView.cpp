#include "views/SubjectView.h"
#include "text/MessageCatalog.h"
#include "store/FilterChange.h"
#include "store/IndexRecord.h"
#include "store/ThreadKeys.h"
#include "settings/Settings.h"
#include "resource.h"
#include <commctrl.h>
#include <string.h>
#include <wchar.h>

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
enum { kGlyphSize = 10, kMinRowHeight = 10, kHeaderHeight = 20 };
// Thread depth: pixels per level, and the tree mark's arm.
enum { kThreadIndent = 6, kThreadMarkArm = 4 };
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
    : header_(NULL), layoutValid_(FALSE), lineScrollKeys_(FALSE), fontHeight_(0), font_(NULL)
{
    rowHeight_ = kMinRowHeight;
}

SubjectView::~SubjectView()
{
}

BOOL SubjectView::RegisterClass(HINSTANCE instance)
{
    return RegisterViewClass(instance, kSubjectViewClass, CS_DBLCLKS);
}

BOOL SubjectView::Create(HINSTANCE instance, HWND parent, UINT id, const RECT& rect,
                         BOOL showRead, UINT priorityLevel)
{
    layoutValid_ = FALSE;
    list_.SetShowRead(showRead);
    list_.SetPriorityLevel(priorityLevel);
    return CreateView(instance, parent, id, rect, kHeaderHeight, kSubjectViewClass);
}

BOOL SubjectView::OpenGroup(const wchar_t* dataPath, const wchar_t* groupName)
{
    // Even a failed open has dropped the old group's rows: lay out again.
    layoutValid_ = FALSE;
    return list_.Open(dataPath, groupName);
}

// What the list holds changed: laid out anew at the next paint.
BOOL SubjectView::Relayout()
{
    layoutValid_ = FALSE;
    if (window_)
        InvalidateRect(window_, &rowsRect_, TRUE);
    return TRUE;
}

BOOL SubjectView::SetShowRead(BOOL showRead)
{
    list_.SetShowRead(showRead);
    return Relayout();
}

BOOL SubjectView::SetThreaded(BOOL threaded)
{
    list_.SetThreaded(threaded);
    return Relayout();
}

BOOL SubjectView::MarkThreadRead()
{
    // Nothing to mark in an empty or flat list.
    if (!list_.Record(list_.Selection()) || !list_.InThreadOrder())
        return TRUE;
    BOOL ok = list_.MarkThreadRead(list_.Selection());
    if (window_)
        InvalidateRect(window_, &rowsRect_, TRUE);
    return ok;
}

BOOL SubjectView::SetPriorityLevel(UINT level)
{
    list_.SetPriorityLevel(level);
    return Relayout();
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
    BOOL ok = ApplyFilterChange(&list_);
    list_.SetUnreadCount(unread);
    if (!ok)
        return FALSE;
    layoutValid_ = FALSE;
    if (window_)
        InvalidateRect(window_, &rowsRect_, TRUE);
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
    int height = rowsRect_.bottom - rowsRect_.top;
    UINT pageSize = height > 0 ? (UINT)height / rowHeight_ : 0;
    // A list lower than one row still shows (part of) one.
    if (pageSize == 0)
        pageSize = 1;
    BOOL ok = list_.Load(pageSize);
    UpdateScrollRange();
    layoutValid_ = TRUE;
    return ok;
}

void SubjectView::UpdateScrollRange()
{
    if (!scrollBar_)
        return;
    // Every thumb position is taken as a top: none may lie past the last page.
    SetScrollRange(scrollBar_, SB_CTL, 0, (int)MaxTop(), FALSE);
    SetScrollPos(scrollBar_, SB_CTL, (int)list_.Top(), TRUE);
}

LRESULT SubjectView::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        return OnPaint();
    case WM_KEYDOWN:
        return OnKeyDown(wParam);
    case WM_LBUTTONDOWN:
        if (wParam & MK_LBUTTON)
            return OnButtonDown(lParam, FALSE);
        return 0;
    case WM_LBUTTONDBLCLK:
        return OnButtonDown(lParam, TRUE);
    case WM_NOTIFY:
        return OnNotify((NMHDR*)lParam);
    case WM_DESTROY:
        return OnDestroy();
    default:
        return DefWindowProcW(window_, message, wParam, lParam);
    }
}

LRESULT SubjectView::OnCreate()
{
    CreateScrollBar(L"VSSUBJ", kSubjectScrollBarId);
    header_ = CreateWindowExW(0, WC_HEADERW, L"", WS_CHILD | WS_VISIBLE | HDS_BUTTONS,
                              frameRect_.left + 1, frameRect_.top + 1,
                              frameRect_.right - frameRect_.left - 2, kHeaderHeight, window_,
                              (HMENU)(UINT_PTR)kSubjectHeaderId, instance_, NULL);
    if (header_)
        LoadColumnWidths();
    readGlyph_.Reset(LoadBitmapW(instance_, MAKEINTRESOURCEW(IDB_SUBJECT_READ)));
    highGlyph_.Reset(LoadBitmapW(instance_, MAKEINTRESOURCEW(IDB_SUBJECT_HIGH)));
    lowGlyph_.Reset(LoadBitmapW(instance_, MAKEINTRESOURCEW(IDB_SUBJECT_LOW)));
    glyphDc_.Create(NULL);
    return 0;
}

void SubjectView::OnNcDestroy()
{
    header_ = NULL;
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
            wcsncpy(title, text, 63);
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
    glyphDc_.Reset(NULL);
    readGlyph_.Reset(NULL);
    highGlyph_.Reset(NULL);
    lowGlyph_.Reset(NULL);
    return 0;
}

// The row's depth as an indent with a small tree mark before the subject;
// a follow-up whose subject is its parent's shows it without the "Re: ".
// Moves the text's left edge; gives where the subject is drawn from.
const char* SubjectView::DrawThreadMark(HDC dc, DWORD row, const IndexRecord& record, RECT& text)
{
    DWORD depth = list_.RowDepth(row);
    if (depth > kThreadDepthLimit)
        depth = kThreadDepthLimit;
    if (depth > 0) {
        int x = text.left + (int)(depth - 1) * kThreadIndent + 1;
        int middle = (text.top + text.bottom) / 2;
        if (x + kThreadMarkArm < text.right) {
            PatBlt(dc, x, text.top + 1, 1, middle - text.top, BLACKNESS);
            PatBlt(dc, x, middle, kThreadMarkArm, 1, BLACKNESS);
        }
        text.left += (int)depth * kThreadIndent + 2;
    }
    if (!list_.RowRepeatsSubject(row))
        return record.subject;
    const char* end = record.subject;
    while (end < record.subject + kSubjectFieldSize && *end)
        ++end;
    return SkipReplyPrefixes(record.subject, end);
}

LRESULT SubjectView::OnPaint()
{
    PaintDc paint(window_);
    HDC dc = paint.Get();
    SelectedObject font(dc, font_);
    if (!layoutValid_)
        Layout();
    HDC glyphDc = glyphDc_.Get();

    int rowHeight = (int)rowHeight_;
    int topOffset = paint.Area().top - rowsRect_.top;
    int firstRow = (topOffset > 0 ? topOffset : 0) / rowHeight;
    int bottomOffset = paint.Area().bottom - rowsRect_.top;
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
        int rowTop = rowsRect_.top + row * rowHeight;
        int glyphY = rowTop + (rowHeight - kGlyphSize) / 2;
        if (record.flags & kRecordRead) {
            SelectedObject glyph(glyphDc, readGlyph_.Get());
            if (glyph.Selected())
                BitBlt(dc, rowsRect_.left, glyphY, kGlyphSize, kGlyphSize, glyphDc, 0, 0, SRCCOPY);
        }
        DWORD priority = RecordPriority(record);
        if (priority != kPriorityNormal) {
            SelectedObject glyph(glyphDc, (priority == kPriorityHigh ? highGlyph_ : lowGlyph_).Get());
            if (glyph.Selected())
                BitBlt(dc, rowsRect_.left + kGlyphSize, glyphY, kGlyphSize, kGlyphSize,
                       glyphDc, 0, 0, SRCCOPY);
        }
        if (font_) {
            UINT format = DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX;
            RECT r;
            r.top = rowTop;
            r.bottom = rowTop + rowHeight;
            if (r.bottom > rowsRect_.bottom)
                r.bottom = rowsRect_.bottom;

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

            r.left = bounds[kColumnSubject] + 2;
            r.right = bounds[kColumnSubject + 1] - 4;
            const char* subject = record.subject;
            if (list_.InThreadOrder())
                subject = DrawThreadMark(dc, (DWORD)row, record, r);
            n = FieldToWide(subject, kSubjectFieldSize - (int)(subject - record.subject), text,
                            kSubjectFieldSize + 1);
            DrawTextW(dc, text, n, &r, format);
        }
        if ((UINT)row == selection)
            PatBlt(dc, rowsRect_.left, rowTop, rowsRect_.right - rowsRect_.left, rowHeight, DSTINVERT);
    }

    SelectedObject brush(dc, GetStockObject(HOLLOW_BRUSH));
    Rectangle(dc, frameRect_.left, frameRect_.top, frameRect_.right, frameRect_.bottom);
    scrollPending_ = FALSE;
    return 0;
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

LRESULT SubjectView::OnButtonDown(LPARAM point, BOOL doubleClick)
{
    int y = (short)HIWORD(point);
    UINT row = (UINT)(y - rowsRect_.top) / rowHeight_;
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
            InvalidateRect(window_, &rowsRect_, TRUE);
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
            InvalidateRect(window_, &rowsRect_, TRUE);
        break;
    }
    default:
        break;
    }
    return 0;
}

void SubjectView::OnLastPage()
{
    Notify(kSubjectNotifyEnd);
}

// The inverted row moved with the pixels.
void SubjectView::OnLineScrolled(BOOL down)
{
    UINT selection = list_.Selection();
    if (down)
        InvalidateRows(selection > 0 ? selection - 1 : 0, 2);
    else
        InvalidateRows(selection, 2);
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
