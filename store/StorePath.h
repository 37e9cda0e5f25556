// Paths of the data folder's files.
#pragma once
#include <windows.h>

// Room for any path of the data folder, a temporary suffix included.
enum { kStorePathCapacity = MAX_PATH + 8 };

// a + b + c (c may be none) in a new block released with free(); none with
// ERROR_NOT_ENOUGH_MEMORY.
wchar_t* ConcatPath(const wchar_t* a, const wchar_t* b, const wchar_t* c = NULL);
