// Conversions between the ANSI code page (Shift_JIS on the devices) and the
// wide strings of the user interface and the registry.
#pragma once
#include <wchar.h>

// Both return a new NUL-terminated block that the caller releases with
// free(), or none with last error 8 (not enough memory); a none argument
// gives none with last error 87. Characters without a mapping come out as
// the system converts them.
wchar_t* ToWide(const char* text);
char* ToMultiByte(const wchar_t* text);
