#include "views/ArticleView.h"
#include "views/ArticleText.h"
#include "settings/GdiScope.h"
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

const wchar_t kArticleViewClass[] = L"PELORAArticleViewWnd";

namespace {

const wchar_t kEmptyLine[] = L"";
const wchar_t kFormFeed = 0x000C;
const wchar_t kFullwidthGreater = 0xFF1E;

// Characters measured per GetTextExtentExPointW call.
enum { kMeasureChunk = 256 };

int RectWidth(const RECT& r) { return r.right - r.left; }

// The next display line starting at `start`. The line ends before the first
// character that makes it W pixels wide or more; a CR (with the LF after it)
// ends it as a hard break. A line always takes at least one character, even
// one wider than the whole area, so that every display line advances.
const wchar_t* BreakLine(HDC dc, const wchar_t* start, int width, UINT* length, BOOL* hardBreak)
{
    *length = 0;
    *hardBreak = FALSE;
    const wchar_t* p = start;
    int base = 0;          // extent of the characters measured in earlier chunks
    int dx[kMeasureChunk];
    for (;;) {
        if (*p == L'\0')
            return p;
        if (*p == L'\r') {
            ++p;
            if (*p == L'\n')
                ++p;
            *hardBreak = TRUE;
            return p;
        }
        // Measure the run up to the next CR or NUL (at most one chunk).
        int run = 0;
        while (run < kMeasureChunk && p[run] != L'\0' && p[run] != L'\r')
            ++run;
        SIZE size;
        // No fit count: only then is every entry of dx filled.
        BOOL measured = width > 0 && GetTextExtentExPointW(dc, p, run, 0, NULL, dx, &size);
        for (int i = 0; i < run; ++i) {
            int extent = measured ? base + dx[i] : width;
            if (extent >= width) {
                if (*length == 0) {
                    // Wider than the area by itself: it gets a line of its
                    // own, which also takes the line end right after it.
                    *length = 1;
                    const wchar_t* next = p + i + 1;
                    if (*next == L'\r') {
                        ++next;
                        if (*next == L'\n')
                            ++next;
                        *hardBreak = TRUE;
                    }
                    return next;
                }
                return p + i;
            }
            ++*length;
        }
        base += dx[run - 1];
        p += run;
    }
}

BOOL StartsWith(const wchar_t* text, UINT length, const wchar_t* prefix)
{
    UINT n = (UINT)wcslen(prefix);
    return length >= n && wcsncmp(text, prefix, n) == 0;
}

} // namespace

ArticleView::ArticleView()
    : topLine_(0), pageSize_(0), lineCount_(0), font_(NULL), textHolder_(NULL), layoutValid_(FALSE),
      lines_(NULL), lineScrollKeys_(FALSE), autoNext_(FALSE), showHeader_(FALSE), headerLines_(0),
      headerColor_(0), quoteColor_(0)
{
}

ArticleView::~ArticleView()
{
    FreeLines();
}

BOOL ArticleView::RegisterClass(HINSTANCE instance)
{
    return RegisterViewClass(instance, kArticleViewClass, 0);
}

BOOL ArticleView::Create(HINSTANCE instance, HWND parent, UINT id, const RECT& rect, BOOL showHeader)
{
    showHeader_ = showHeader;
    layoutValid_ = FALSE;
    return CreateView(instance, parent, id, rect, 0, kArticleViewClass);
}

BOOL ArticleView::AttachText(ArticleText* text)
{
    textHolder_ = text;
    return TRUE;
}

BOOL ArticleView::Reset()
{
    topLine_ = 0;
    FreeLines();
    layoutValid_ = FALSE;
    if (window_)
        InvalidateRect(window_, &rowsRect_, TRUE);
    return TRUE;
}

BOOL ArticleView::SetShowHeader(BOOL showHeader)
{
    showHeader_ = showHeader;
    return Reset();
}

void ArticleView::Copy(HWND owner)
{
    const wchar_t* text = textHolder_ ? textHolder_->Text() : NULL;
    if (!text)
        return;
    if (!OpenClipboard(owner))
        return;
    if (EmptyClipboard()) {
        size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
        HLOCAL block = LocalAlloc(LMEM_ZEROINIT, bytes);
        if (block) {
            memcpy(block, text, bytes);
            if (!SetClipboardData(CF_UNICODETEXT, block))
                LocalFree(block);
        }
    }
    CloseClipboard();
}

void ArticleView::Destroy()
{
    FreeLines();
    if (window_)
        DestroyWindow(window_);
    window_ = NULL;
    scrollBar_ = NULL;
}

void ArticleView::SetFont(HFONT font)
{
    // Wrap points depend on the font, and a font remade from new settings
    // may come back under the old handle.
    layoutValid_ = FALSE;
    font_ = font;
}

void ArticleView::SetLineScrollKeys(BOOL lineScroll) { lineScrollKeys_ = lineScroll; }
void ArticleView::SetAutoNext(BOOL autoNext) { autoNext_ = autoNext; }

void ArticleView::SetColors(COLORREF header, COLORREF quote)
{
    headerColor_ = header;
    quoteColor_ = quote;
}

void ArticleView::FreeLines()
{
    free(lines_);
    lines_ = NULL;
}

BOOL ArticleView::EnsureLayout()
{
    if (layoutValid_)
        return TRUE;
    if (!window_)
        return FALSE;
    WindowDc dc(window_);
    SelectedObject font(dc.Get(), font_);
    return Layout(dc.Get());
}

// Breaks the whole text into the line table; `dc` has the article font.
BOOL ArticleView::Layout(HDC dc)
{
    FreeLines();
    topLine_ = 0;
    headerLines_ = 0;
    lineCount_ = 0;

    // Without an article font the window's font still sets the row height,
    // so that the page arithmetic never divides by zero.
    TEXTMETRICW tm;
    if (GetTextMetricsW(dc, &tm))
        rowHeight_ = (UINT)tm.tmHeight;
    if (rowHeight_ == 0)
        rowHeight_ = 1;
    int textHeight = rowsRect_.bottom - rowsRect_.top;
    pageSize_ = textHeight > 0 ? (UINT)textHeight / rowHeight_ : 0;
    // A view lower than one row still shows (part of) one.
    if (pageSize_ == 0)
        pageSize_ = 1;

    const wchar_t* text = textHolder_ ? textHolder_->Text() : NULL;
    if (!text)
        text = kEmptyLine;
    int width = RectWidth(rowsRect_);

    // Count first, so the table is allocated once.
    unsigned long long count = 0;
    for (const wchar_t* p = text; *p;) {
        UINT length;
        BOOL hard;
        count += (*p == kFormFeed) ? pageSize_ : 1;
        p = BreakLine(dc, p, width, &length, &hard);
    }
    unsigned long long entries = count + pageSize_ + 1;
    if (entries > (size_t)-1 / sizeof(DisplayLine) ||
        !(lines_ = (DisplayLine*)calloc((size_t)entries, sizeof(DisplayLine)))) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }

    UINT n = 0;
    BOOL inHeader = TRUE;
    BOOL logicalStart = TRUE;
    BOOL shown = TRUE;
    for (const wchar_t* p = text; *p;) {
        UINT length;
        BOOL hard;
        const wchar_t* next = BreakLine(dc, p, width, &length, &hard);
        BOOL startsLogical = logicalStart;
        logicalStart = hard;
        if (inHeader && p[0] == L'\r' && p[1] == L'\n') {
            headerLines_ = n;
            inHeader = FALSE;
        }
        if (inHeader && !showHeader_) {
            if (startsLogical)
                shown = StartsWith(p, length, L"From:") || StartsWith(p, length, L"Subject:");
            if (!shown) {
                p = next;
                continue;
            }
        }
        if (*p == kFormFeed) {
            for (UINT i = 0; i < pageSize_; ++i, ++n) {
                lines_[n].text = kEmptyLine;
                lines_[n].length = 0;
                lines_[n].quoted = 0;
            }
        } else {
            lines_[n].text = p;
            lines_[n].length = length;
            if (inHeader)
                lines_[n].quoted = 0;
            else if (startsLogical)
                lines_[n].quoted = length > 0 && (p[0] == L'>' || p[0] == kFullwidthGreater);
            else
                lines_[n].quoted = n > 0 ? lines_[n - 1].quoted : 0;
            ++n;
        }
        p = next;
    }
    // A text that never reaches an empty line is all header.
    if (inHeader)
        headerLines_ = n;
    lineCount_ = n + pageSize_;
    for (UINT i = 0; i < pageSize_; ++i, ++n) {
        lines_[n].text = kEmptyLine;
        lines_[n].length = 0;
        lines_[n].quoted = 0;
    }
    lines_[n].text = NULL;

    // Every thumb position must be a valid top line; a text that fits in two
    // pages has a single position.
    UINT maximum = lineCount_ > 2 * pageSize_ ? lineCount_ - 2 * pageSize_ : 0;
    if (scrollBar_) {
        SetScrollRange(scrollBar_, SB_CTL, 0, (int)maximum, FALSE);
        SetScrollPos(scrollBar_, SB_CTL, 0, TRUE);
    }
    layoutValid_ = TRUE;
    return TRUE;
}

LRESULT ArticleView::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        return OnPaint();
    case WM_KEYDOWN:
        return OnKeyDown(wParam);
    case WM_DESTROY:
        return 0;
    default:
        return DefWindowProcW(window_, message, wParam, lParam);
    }
}

LRESULT ArticleView::OnCreate()
{
    CreateScrollBar(L"VSARTS", kArticleScrollBarId);
    return 0;
}

LRESULT ArticleView::OnPaint()
{
    PaintDc paint(window_);
    HDC dc = paint.Get();
    SelectedObject font(dc, font_);
    if (!layoutValid_)
        Layout(dc);
    if (!lines_)
        return 0;
    int lh = (int)rowHeight_;
    const RECT& area = paint.Area();
    int firstRow = (area.top - rowsRect_.top > 0 ? area.top - rowsRect_.top : 0) / lh;
    int below = area.bottom - rowsRect_.top;
    // Rows only partly inside the invalid area are drawn too, but not the
    // strip below the last whole row: line scrolls move whole rows only, so
    // a line there would stay behind.
    int endRow = below > 0 ? (below + lh - 1) / lh : 0;
    if (endRow > (int)pageSize_)
        endRow = (int)pageSize_;
    if (font_) {
        for (int row = firstRow; row < endRow; ++row) {
            UINT index = topLine_ + (UINT)row;
            // The end marker stops the walk; nothing lies past it.
            if (index >= lineCount_ || !lines_[index].text)
                break;
            const DisplayLine& line = lines_[index];
            RECT r;
            r.left = rowsRect_.left;
            r.right = rowsRect_.right;
            r.top = rowsRect_.top + row * lh;
            r.bottom = rowsRect_.top + endRow * lh;
            if (r.bottom > rowsRect_.bottom)
                r.bottom = rowsRect_.bottom;
            if (r.top >= r.bottom)
                break;
            UINT format = DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX;
            if (index < headerLines_) {
                COLORREF old = SetTextColor(dc, headerColor_);
                SetBkMode(dc, TRANSPARENT);
                DrawTextW(dc, line.text, (int)line.length, &r, format);
                OffsetRect(&r, 1, 0);
                if (r.right > rowsRect_.right)
                    r.right = rowsRect_.right;
                DrawTextW(dc, line.text, (int)line.length, &r, format);
                SetTextColor(dc, old);
                SetBkMode(dc, OPAQUE);
            } else if (line.quoted) {
                COLORREF old = SetTextColor(dc, quoteColor_);
                DrawTextW(dc, line.text, (int)line.length, &r, format);
                SetTextColor(dc, old);
            } else {
                DrawTextW(dc, line.text, (int)line.length, &r, format);
            }
        }
    }
    SelectedObject brush(dc, GetStockObject(HOLLOW_BRUSH));
    Rectangle(dc, frameRect_.left, frameRect_.top, frameRect_.right, frameRect_.bottom);
    scrollPending_ = FALSE;
    return 0;
}

LRESULT ArticleView::OnKeyDown(WPARAM key)
{
    switch (key) {
    case VK_TAB:
    case VK_RETURN:
        Notify(kArticleNotifyNext);
        break;
    case VK_ESCAPE:
        Notify(kArticleNotifyBack);
        break;
    case VK_SPACE:
    case VK_NEXT:
    case VK_RIGHT:
        PageDown();
        break;
    case VK_PRIOR:
    case VK_LEFT:
        PageUp();
        break;
    case VK_DOWN:
        if (lineScrollKeys_)
            LineDown();
        else
            PageDown();
        break;
    case VK_UP:
        if (lineScrollKeys_)
            LineUp();
        else
            PageUp();
        break;
    default:
        break;
    }
    return 0;
}

BOOL ArticleView::EndOnScreen() const
{
    return lineCount_ - pageSize_ <= topLine_ + pageSize_;
}

BOOL ArticleView::HandOverEnd()
{
    if (!EndOnScreen() || !autoNext_)
        return FALSE;
    Notify(kArticleNotifyNext);
    return TRUE;
}
