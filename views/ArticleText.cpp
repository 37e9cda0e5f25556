#include "views/ArticleText.h"
#include "views/ArticleView.h"
#include <stdlib.h>

ArticleText::ArticleText() : text_(NULL), view_(NULL) {}

ArticleText::~ArticleText() { Destroy(); }

void ArticleText::Attach(ArticleView* view) { view_ = view; }

void ArticleText::SetText(wchar_t* text)
{
    // The view's line table points into the old text: reset it before the
    // old block goes, so no paint in between can see freed memory.
    wchar_t* old = text_;
    text_ = text;
    if (view_)
        view_->Reset();
    free(old);
}

void ArticleText::Destroy()
{
    free(text_);
    text_ = NULL;
}
