// The article view: one article's text broken into display lines that fit
// the window, header and quoted lines coloured, paged with keys and scroll bar.
#pragma once
#include <windows.h>
#include "views/ScrolledView.h"

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

class ArticleView : public ScrolledView {
public:
    ArticleView();
    ~ArticleView();

    static BOOL RegisterClass(HINSTANCE instance);
    // `rect` gives left, top as position and right, bottom as width, height.
    BOOL Create(HINSTANCE instance, HWND parent, UINT id, const RECT& rect, BOOL showHeader);
    BOOL AttachText(ArticleText* text);
    BOOL Reset();
    BOOL SetShowHeader(BOOL showHeader);
    void Copy(HWND owner);
    void Destroy();

    // Handed over by the frame before the view is shown.
    void SetFont(HFONT font);                // owned by the settings; may be none
    void SetLineScrollKeys(BOOL lineScroll); // KeyMode
    void SetAutoNext(BOOL autoNext);         // AutoNextArticle
    void SetColors(COLORREF header, COLORREF quote);

    BOOL ShowHeader() const { return showHeader_; }

    // The layout as the last paint made it (for tests and diagnostics).
    const DisplayLine* Lines() const { return lines_; }
    UINT LineCount() const { return lineCount_; }
    UINT HeaderLines() const { return headerLines_; }
    UINT TopLine() const { return topLine_; }
    UINT PageSize() const { return pageSize_; }
    UINT LineHeight() const { return rowHeight_; }
    BOOL LayoutValid() const { return layoutValid_; }
    BOOL EnsureLayout() override;

private:
    LRESULT OnCreate() override;
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnPaint();
    LRESULT OnKeyDown(WPARAM key);

    UINT TopRow() override { return topLine_; }
    UINT PageRows() override { return pageSize_; }
    UINT RowCount() override { return lineCount_; }
    void SetTopRow(UINT top) override { topLine_ = top; }
    BOOL HandOverEnd() override;

    BOOL Layout(HDC dc);
    void FreeLines();
    BOOL EndOnScreen() const;

    UINT topLine_;
    UINT pageSize_;
    UINT lineCount_;
    HFONT font_;
    ArticleText* textHolder_;
    BOOL layoutValid_;
    DisplayLine* lines_;
    BOOL lineScrollKeys_;
    BOOL autoNext_;
    BOOL showHeader_;
    UINT headerLines_;
    COLORREF headerColor_;
    COLORREF quoteColor_;
};
