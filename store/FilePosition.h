// File sizes and positions through the calls the device has. Its files
// stay under 4 GB, yet the high half is still passed and read (always 0
// there), so a larger host file is measured rather than wrapped.
#pragma once
#include <windows.h>

BOOL FileGetSize(HANDLE file, ULONGLONG* size);
// Moves to `offset` from `method`'s start (FILE_BEGIN, FILE_CURRENT,
// FILE_END); the new position goes to `at` when given.
BOOL FileSeek(HANDLE file, ULONGLONG offset, DWORD method, ULONGLONG* at);
