// Quoted-printable of RFC 2045 (bodies) and the Q encoding of RFC 2047
// (encoded-words, where "_" stands for a blank).
#pragma once
#include <stddef.h>

// Decodes `length` bytes of one line (without its line end) into `out`,
// which needs `length` bytes: the text never grows. For a body line, blanks
// at its end are dropped and a final "=" is a soft line break (`softBreak`
// set: the next line continues this one). An "=" without two hex digits
// after it stays as it is.
size_t DecodeQuotedPrintable(const char* text, size_t length, bool qEncoding, char* out,
                             bool* softBreak);
