// Conversions between the ANSI code page (Shift_JIS on the devices) and the
// wide strings of the user interface and the registry.
#pragma once
#include <wchar.h>

// Both return a new NUL-terminated block that the caller releases with
// free(), or none with ERROR_NOT_ENOUGH_MEMORY; a none argument gives none
// with ERROR_INVALID_PARAMETER. Characters without a mapping come out as
// the system converts them.
wchar_t* ToWide(const char* text);
char* ToMultiByte(const wchar_t* text);
