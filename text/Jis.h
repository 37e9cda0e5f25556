// The two conversions applied to every fetched line: ISO-2022-JP (JIS) to
// Shift_JIS, and the decoding of ISO-2022-JP encoded-words in headers.
// Both are bounded: they write at most `capacity` bytes, the terminating NUL
// included, always terminate when `capacity` > 0, never read past the
// source's NUL, and never grow the text, so a destination as large as the
// source is enough. Output that does not fit is cut at a character boundary.
// The destination may be the source itself. Both return the length written.
#pragma once
#include <stddef.h>

size_t JisToSjis(const char* source, char* destination, size_t capacity);

// 7-bit text with escape sequences: ISO-2022-JP whatever its label says.
bool LooksLikeJis(const char* text, size_t length);

// How much of `length` bytes of JIS text (not terminated) JisToSjis may take
// as a piece of a longer line: its whole characters, without a first kanji
// byte or an escape sequence that the rest of the line completes. `resume`
// (4 bytes) receives the escape sequence that puts the rest of the line in
// the mode the piece ends in ("" for ASCII).
size_t JisPieceLength(const char* source, size_t length, char* resume);

// A byte of an EUC-JP double-byte character: its JIS byte with the high bit.
inline bool IsEucByte(unsigned char b) { return b >= 0xA1 && b <= 0xFE; }

// A JIS X 0208 row and cell (each 0x21-0x7E) into its Shift_JIS pair.
void JisPairToSjis(unsigned char& b1, unsigned char& b2);

// Decodes "=?iso-2022-jp?B?...?=" and "=?ISO-2022-JP?B?...?=" into their raw
// ISO-2022-JP bytes (run JisToSjis afterwards); everything else is copied.
size_t DecodeEncodedWords(char* destination, size_t capacity, const char* source);
