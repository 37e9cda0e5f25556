// The current article's text, owned by the frame: one NUL-terminated UTF-16
// string with CR LF line ends, header lines first, an empty line, the body.
// The article view points into it, so every new text resets the view.
#pragma once
#include <windows.h>

class ArticleView;

class ArticleText {
public:
    ArticleText();
    ~ArticleText();

    // The view told to start over whenever the text changes; none allowed.
    void Attach(ArticleView* view);
    // Takes ownership of `text` (a block from ToWide or the store's read
    // article; none clears), frees the previous text and resets the view.
    void SetText(wchar_t* text);
    // The text, or none when there is no article.
    const wchar_t* Text() const { return text_; }
    // Frees the text without touching the view (the frame's destruction).
    void Destroy();

private:
    wchar_t* text_;
    ArticleView* view_;
};
