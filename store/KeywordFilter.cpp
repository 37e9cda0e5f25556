#include "store/KeywordFilter.h"
#include "store/LineReader.h"
#include <stdlib.h>
#include <string.h>

enum { kFilterLineCapacity = 512 };

void KeywordFilter::Construct()
{
    high_ = NULL;
    low_ = NULL;
}

static void FreeList(KeywordNode* node)
{
    while (node) {
        KeywordNode* next = node->next;
        free(node->keyword);
        free(node);
        node = next;
    }
}

void KeywordFilter::Free()
{
    FreeList(high_);
    FreeList(low_);
    high_ = NULL;
    low_ = NULL;
}

BOOL KeywordFilter::Load(const wchar_t* filterPath)
{
    Free();
    HANDLE file = CreateFileW(filterPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    LineReader* reader = (LineReader*)malloc(sizeof(LineReader));
    if (!reader) {
        CloseHandle(file);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    reader->Init(file);
    char line[kFilterLineCapacity];
    DWORD length;
    BOOL ok = TRUE;
    DWORD saved = GetLastError();
    while (reader->ReadLine(line, sizeof line, TRUE, &length)) {
        if (length < 2)
            continue;
        KeywordNode* node = (KeywordNode*)malloc(sizeof(KeywordNode));
        char* keyword = (char*)malloc(length - 1);
        if (!node || !keyword) {
            free(node);
            free(keyword);
            ok = FALSE;
            break;
        }
        memcpy(keyword, line + 2, length - 1);
        node->keyword = keyword;
        KeywordNode** list = line[0] == '+' ? &high_ : &low_;
        node->next = *list;
        *list = node;
    }
    free(reader);
    CloseHandle(file);
    if (!ok) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    // The end of the file, or a line too long, ends the list quietly.
    SetLastError(saved);
    return TRUE;
}

BOOL KeywordMatches(const char* keyword, DWORD keywordLength, const char* text, DWORD textLength)
{
    if (keywordLength == 0 || textLength == 0)
        return TRUE;
    const char* shorter = keyword;
    DWORD n = keywordLength;
    const char* longer = text;
    DWORD m = textLength;
    if (n > m) {
        shorter = text;
        n = textLength;
        longer = keyword;
        m = keywordLength;
    }
    const char* last = longer + (m - n);
    for (const char* p = longer; p <= last; p++) {
        p = (const char*)memchr(p, shorter[0], (size_t)(last - p) + 1);
        if (!p)
            return FALSE;
        if (memcmp(p, shorter, n) == 0)
            return TRUE;
    }
    return FALSE;
}

static BOOL AnyMatches(const KeywordNode* node, const char* text, DWORD length)
{
    for (; node; node = node->next)
        if (KeywordMatches(node->keyword, (DWORD)strlen(node->keyword), text, length))
            return TRUE;
    return FALSE;
}

DWORD KeywordFilter::PriorityOf(const char* text, DWORD length) const
{
    if (AnyMatches(high_, text, length))
        return 2;
    if (AnyMatches(low_, text, length))
        return 1;
    return 0;
}

DWORD KeywordFilter::PriorityOf(const char* text) const
{
    return PriorityOf(text, (DWORD)strlen(text));
}
