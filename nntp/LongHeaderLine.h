// A header line that came in several pieces, shortened to a stored line:
// its first piece, or for References its first identifier and as many of
// its last ones as fit, the way a long References field is trimmed when a
// reply is posted. Holds at most two stored lines, whatever the length.
#pragma once
#include <windows.h>
#include "nntp/LinePieces.h"

class LongHeaderLine {
public:
    // The first piece, which names the field.
    void Begin(const char* piece, size_t length);
    void Add(const char* piece, size_t length);
    // The line to keep, at most kStoredLineMax bytes.
    const char* Line();

private:
    char head_[kStoredLineMax + 1];
    size_t headLength_;
    char tail_[2 * kStoredLineMax + 1];   // the line's last bytes
    size_t tailLength_;
    DWORD total_;                         // bytes of the line so far
    BOOL several_;
};
