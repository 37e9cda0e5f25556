// Shift_JIS text into what a post carries: ISO-2022-JP lines that end in
// ASCII, half-width katakana made full-width, and header text as RFC 2047
// encoded-words. A character that ISO-2022-JP has no code for (vendor and
// user-defined characters, control bytes) is refused, never replaced.
#pragma once
#include <stddef.h>

enum {
    kWireLineMax = 998,          // bytes of a line on the wire, CR LF not counted
    kEncodedWordMax = 75,        // characters of one encoded-word
};

// Where text could not be encoded: the offending character's offset and its
// bytes (one or two, NUL-terminated).
struct JisFault {
    size_t offset;
    char character[3];
};

// Converts `length` Shift_JIS bytes into ISO-2022-JP; the result is back in
// ASCII at its end. Returns the bytes written (with a NUL after them), or
// (size_t)-1 when a character cannot be carried (`fault` says which) or
// the result does not fit `capacity` (fault->character empty).
size_t SjisToJis(const char* source, size_t length, char* destination, size_t capacity,
                 JisFault* fault);

// Header text: copied when it is all ASCII; otherwise the words from the
// first one with a non-ASCII byte on become ISO-2022-JP "B" encoded-words,
// each at most kEncodedWordMax characters, folded with CR LF and a blank.
// Same result and failures as SjisToJis.
size_t EncodeHeaderText(const char* source, size_t length, char* destination, size_t capacity,
                        JisFault* fault);
