// A header text with its RFC 2047 encoded-words turned into Shift_JIS.
#pragma once
#include <stddef.h>
#include "text/Charset.h"

// Decodes every well-formed encoded-word of a charset we read, in the B or Q
// encoding (charset names, language tags and encodings in any case) and
// converts it into Shift_JIS; a malformed word or one of an unknown charset
// stays as it is. The blanks between two adjacent encoded-words are dropped,
// and the bytes of adjacent words in one charset are converted together, so
// a character split between them survives. Text outside the words is read
// as JIS (JisToSjis), unless it has 8-bit bytes and ConvertToSjis reads
// `rawCharset`.
// Bounded like JisToSjis: at most `capacity` bytes, the NUL included, cut at
// a character boundary; returns the length written.
size_t DecodeMimeWords(const char* source, MimeCharset rawCharset, char* destination,
                       size_t capacity);
