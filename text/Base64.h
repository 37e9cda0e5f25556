// Base64 of RFC 2045, for encoded-words and for bodies that run across lines.
#pragma once
#include <stddef.h>

// 0-63 for a character of the alphabet, 64 for anything else ("=" too).
int Base64Value(unsigned char c);

// Decodes a stream given in pieces (a body's lines): a group may begin on one
// line and end on the next. Characters outside the alphabet are skipped; "="
// ends the group it stands in.
class Base64Decoder {
public:
    void Reset() { count_ = 0; }
    // Writes at most (length / 4 + 1) * 3 bytes into `out`; returns how many.
    size_t Decode(const char* text, size_t length, char* out);
    // The bytes of a group that the stream left unfinished (at most 2).
    size_t Flush(char* out);

private:
    size_t Group(char* out);
    int values_[4];
    int count_;
};
