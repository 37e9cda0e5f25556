// A group's two keyword lists (.flt file) and the priority matcher.
#pragma once
#include <windows.h>

struct KeywordNode {
    KeywordNode* next;
    char* keyword;   // owned ANSI bytes
};

class KeywordFilter {
public:
    void Construct();                    // empty lists
    // Replaces the lists with the file's keywords; a missing file means
    // none. Fails on other open errors and with ERROR_NOT_ENOUGH_MEMORY on
    // lack of memory.
    BOOL Load(const wchar_t* filterPath);
    // 2 when a high keyword matches, else 1 when a low one does, else 0.
    DWORD PriorityOf(const char* text, DWORD length) const;
    DWORD PriorityOf(const char* text) const;
    void Free();

    const KeywordNode* High() const { return high_; }
    const KeywordNode* Low() const { return low_; }

private:
    KeywordNode* high_;
    KeywordNode* low_;
};

// The shorter of the two byte strings occurs in the longer (equal lengths:
// equal); an empty one matches everything.
BOOL KeywordMatches(const char* keyword, DWORD keywordLength, const char* text, DWORD textLength);
