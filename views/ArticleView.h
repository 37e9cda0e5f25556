// The article view: one article's text broken into display lines that fit
// the window, header and quoted lines coloured, paged with keys and scroll bar.
#pragma once
#include <windows.h>

class ArticleText;

// One display line: points into the holder's text, not a copy.
struct DisplayLine {
    const wchar_t* text;   // null only in the end marker
    UINT length;           // UTF-16 units, without the CR LF
    BYTE quoted;
};

enum {
    kArticleScrollBarId = 105,
    // Notification codes sent to the parent as WM_COMMAND (code << 16 | id).
    kArticleNotifyBack = 1,
    kArticleNotifyNext = 2,
};

extern const wchar_t kArticleViewClass[];   // "PELORAArticleViewWnd"

class ArticleView {
public:
    ArticleView();
    ~ArticleView();

    static BOOL RegisterClass(HINSTANCE instance);
    // `rect` gives left, top as position and right, bottom as width, height.
    BOOL Create(HINSTANCE instance, HWND parent, UINT id, const RECT& rect, BOOL showHeader);
    BOOL AttachText(ArticleText* text);
    void Show(int showCommand);
    BOOL Reset();
    BOOL SetShowHeader(BOOL showHeader);
    void Copy(HWND owner);
    void Destroy();

    // Handed over by the frame before the view is shown.
    void SetFont(HFONT font);                // owned by the settings; may be none
    void SetLineScrollKeys(BOOL lineScroll); // KeyMode
    void SetAutoNext(BOOL autoNext);         // AutoNextArticle
    void SetColors(COLORREF header, COLORREF quote);

    HWND Window() const { return window_; }
    HWND ScrollBar() const { return scrollBar_; }
    BOOL ShowHeader() const { return showHeader_; }

    // The layout as the last paint made it (for tests and diagnostics).
    const DisplayLine* Lines() const { return lines_; }
    UINT LineCount() const { return lineCount_; }
    UINT HeaderLines() const { return headerLines_; }
    UINT TopLine() const { return topLine_; }
    UINT PageSize() const { return pageSize_; }
    UINT LineHeight() const { return lineHeight_; }
    BOOL LayoutValid() const { return layoutValid_; }
    // Lays the text out now if needed, as the next paint would.
    BOOL EnsureLayout();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnCreate(HWND window);
    LRESULT OnPaint();
    LRESULT OnKeyDown(WPARAM key);
    LRESULT OnVScroll(WPARAM wParam);

    BOOL Layout(HDC dc);
    void FreeLines();
    void Notify(UINT code);
    void LineDown();
    void LineUp();
    void PageDown();
    void PageUp();
    void ScrollTo(UINT topLine);
    BOOL EndOnScreen() const;
    void InvalidateRows(UINT row, UINT count);
    UINT MaxTop() const;

    UINT id_;
    HWND window_;
    HWND scrollBar_;
    HWND parent_;
    RECT frameRect_;
    RECT textRect_;
    HINSTANCE instance_;
    UINT topLine_;
    UINT pageSize_;
    UINT lineHeight_;
    UINT lineCount_;
    HFONT font_;
    ArticleText* textHolder_;
    BOOL layoutValid_;
    DisplayLine* lines_;
    BOOL lineScrollKeys_;
    BOOL autoNext_;
    BOOL showHeader_;
    UINT headerLines_;
    BOOL scrollPending_;
    COLORREF headerColor_;
    COLORREF quoteColor_;
};
