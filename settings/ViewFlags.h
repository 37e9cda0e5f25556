// The view flags: single REG_DWORD values in sub-keys of the settings key.
#pragma once
#include <windows.h>

// The sub-key is created when missing. On a failed read `*value` is left as
// it was and the result is 0.
BOOL LoadViewFlag(const wchar_t* subKey, const wchar_t* valueName, DWORD* value);
BOOL SaveViewFlag(const wchar_t* subKey, const wchar_t* valueName, DWORD value);

// SubjectView\ViewReadArticle: the subject list also shows read articles.
BOOL LoadViewReadArticle(DWORD* value);
BOOL SaveViewReadArticle(DWORD value);
// ArticleView\ShowArticleHeader: the article view shows the whole header.
BOOL LoadShowArticleHeader(DWORD* value);
BOOL SaveShowArticleHeader(DWORD value);
// SubjectView\PriorityViewLevel: 0 high and normal, 1 all, 2 high only.
BOOL LoadPriorityViewLevel(DWORD* value);
BOOL SavePriorityViewLevel(DWORD value);
// SubjectView\ThreadView: the subject list in thread order (default 0).
BOOL LoadThreadView(DWORD* value);
BOOL SaveThreadView(DWORD value);
