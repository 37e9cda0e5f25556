// A post as the outbox keeps it and an editor shows it: Shift_JIS lines,
// its fields ("Name: value") up to the first empty line, then the body.
// Lines end in CR LF, or in LF alone when another editor wrote them.
#pragma once
#include <stddef.h>

// The line at `at`: its length without the line end; `*next` is the
// offset after its line end.
size_t DraftLine(const char* text, size_t length, size_t at, size_t* next);
// Offset of the body (`length` when the text has no empty line).
size_t DraftBodyStart(const char* text, size_t length);
// The value of the field `name` ("Subject"), blanks after the colon
// skipped; false when the fields lack it.
bool DraftField(const char* text, size_t length, const char* name, const char** value,
                size_t* valueLength);
// The text with field `name` set to `value` (in its place, or added after
// the others), or removed when `value` is none: a new block released
// with free(), its length in `*newLength`; none with
// ERROR_NOT_ENOUGH_MEMORY. A text without fields gets an empty line before
// its body.
char* SetDraftField(const char* text, size_t length, const char* name, const char* value,
                    size_t* newLength);
