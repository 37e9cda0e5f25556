// The calls through which the store and the few other writers of the data
// folder change files. A test can hand in a hook that makes a call, and
// every call after it, do nothing, as if the program had died there.
#pragma once
#include <windows.h>

enum FileOpKind { kFileOpCreate, kFileOpWrite, kFileOpFlush, kFileOpSetEnd, kFileOpMove, kFileOpDelete };

// Returns FALSE to make the call do nothing and fail (ERROR_WRITE_FAULT).
typedef BOOL (*FileOpHook)(FileOpKind kind, void* context);
void SetFileOpHook(FileOpHook hook, void* context);

HANDLE FileCreate(const wchar_t* path, DWORD access, DWORD share, DWORD disposition);
BOOL FileWrite(HANDLE file, const void* data, DWORD length, DWORD* written);
BOOL FileFlush(HANDLE file);
BOOL FileSetEnd(HANDLE file);
// Cuts an open file to `size` bytes; the position is left at the new end.
BOOL FileTruncate(HANDLE file, ULONGLONG size);
// Puts `from` in the place of `to` in one step, replacing `to` when it
// exists, and on the medium before it returns. A read-only `to` fails
// (ERROR_ACCESS_DENIED).
BOOL FileReplace(const wchar_t* from, const wchar_t* to);
BOOL FileDelete(const wchar_t* path);
BOOL PathExists(const wchar_t* path);
