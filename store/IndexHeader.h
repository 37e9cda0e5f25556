// The first 100 bytes of a group's index file (format version 5).
#pragma once
#include "store/IndexRecord.h"

enum { kStateTextFieldSize = 64 };

#pragma pack(push, 1)
struct IndexHeader {
    DWORD version;        // always kIndexVersion
    DWORD lastArticle;    // 0xFFFFFFFF: catch-up pending
    DWORD serverLast;
    DWORD reservedWord;   // carried, never interpreted
    DWORD recordCount;
    DWORD savedPosition;
    char stateText[kStateTextFieldSize];  // ANSI, at most 63 bytes, zero-padded
    DWORD unreadCount;
    DWORD highCount;
    DWORD lowCount;
};
#pragma pack(pop)

static_assert(sizeof(IndexHeader) == kIndexHeaderSize, "index header is 100 bytes");
static_assert(offsetof(IndexHeader, recordCount) == 16, "layout");
static_assert(offsetof(IndexHeader, savedPosition) == 20, "layout");
static_assert(offsetof(IndexHeader, stateText) == 24, "layout");
static_assert(offsetof(IndexHeader, unreadCount) == 88, "layout");
static_assert(offsetof(IndexHeader, highCount) == 92, "layout");
static_assert(offsetof(IndexHeader, lowCount) == 96, "layout");

enum { kCatchUpPending = 0xFFFFFFFF };
