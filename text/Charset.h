// The character sets that fetched articles name, and their conversion into
// Shift_JIS, the code page the store keeps.
#pragma once
#include <stddef.h>

enum MimeCharset {
    kCharsetNone,      // no charset named
    kCharsetUnknown,   // one we cannot read
    kCharsetJis,       // ISO-2022-JP: JisToSjis
    kCharsetUtf8,
    kCharsetShiftJis,
    kCharsetEucJp,
    kCharsetAscii,
    kCharsetLatin1,
};

// The charset of a MIME name in any case (`length` bytes, not terminated).
MimeCharset CharsetFromName(const char* name, size_t length);

// A first byte of a double-byte Shift_JIS character.
inline bool IsShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// How many of the first `length` bytes make whole Shift_JIS characters
// within `room` bytes (a lead byte that ends the text counts alone).
size_t ShiftJisFit(const char* bytes, size_t length, size_t room);

// Whether `length` bytes are UTF-8 throughout (NULs included).
bool IsValidUtf8(const char* text, size_t length);

// True for the charsets that ConvertToSjis reads.
bool IsConvertibleCharset(MimeCharset charset);

// Converts `length` bytes in `charset` into Shift_JIS. Writes at most
// `capacity` bytes, the terminating NUL included, and stops before a
// character that would not fit, so the output is never cut inside one;
// `*consumed` tells how much of the source was used. A sequence that is
// invalid, or a character that Shift_JIS lacks, becomes "〓" (0x81 0xAC).
// Unless `final`, an unfinished sequence at the source's end is left for the
// next call. Charsets that it does not read are copied as they are.
size_t ConvertToSjis(MimeCharset charset, const char* source, size_t length, bool final,
                     char* destination, size_t capacity, size_t* consumed);
