// What threading needs of one stored article: hashes of its Message-ID, of
// the message ids its References line names and of its subject without its
// reply prefixes, read from the article's header block in the log.
#pragma once
#include <windows.h>
#include "store/IndexRecord.h"

enum {
    // References beyond these are the farthest ancestors: the leftmost go.
    kMaxThreadRefs = 64,
    // The kept header lines of one article fit (each is under 1024 bytes).
    kThreadHeaderRead = 8192,
    kThreadHeaderFirstRead = 1024
};

struct ThreadKeys {
    ULONGLONG id;        // 0: no Message-ID
    ULONGLONG subject;   // 0: an empty subject, which gathers nothing
    DWORD refCount;
    ULONGLONG refs[kMaxThreadRefs];  // left to right
};

// Never 0, which stands for "none".
ULONGLONG ThreadHash(const char* text, DWORD length);
// Past any number of leading "Re:" (any case) and the blanks around them.
const char* SkipReplyPrefixes(const char* text, const char* end);
// The keys of the header lines in block[0 .. length); lines end with LF,
// the header ends at an empty line.
void ParseThreadKeys(const char* block, DWORD length, ThreadKeys* keys);
// Reads the header block of `record` from `log` (of `logSize` bytes) into
// `buffer` (kThreadHeaderRead bytes) and parses it.
BOOL ReadThreadKeys(HANDLE log, DWORD logSize, const IndexRecord& record, char* buffer,
                    ThreadKeys* keys);
