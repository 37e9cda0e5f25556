#include "store/FilePosition.h"

// All bits set in the low half is a valid answer as well as the failure
// mark; only a changed error code tells them apart. A success leaves the
// caller's error code as it was.
BOOL FileGetSize(HANDLE file, ULONGLONG* size)
{
    DWORD before = GetLastError();
    SetLastError(NO_ERROR);
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return FALSE;
    SetLastError(before);
    *size = ((ULONGLONG)high << 32) | low;
    return TRUE;
}

BOOL FileSeek(HANDLE file, ULONGLONG offset, DWORD method, ULONGLONG* at)
{
    DWORD before = GetLastError();
    SetLastError(NO_ERROR);
    LONG high = (LONG)(DWORD)(offset >> 32);
    DWORD low = SetFilePointer(file, (LONG)(DWORD)offset, &high, method);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return FALSE;
    SetLastError(before);
    if (at)
        *at = ((ULONGLONG)(DWORD)high << 32) | low;
    return TRUE;
}
