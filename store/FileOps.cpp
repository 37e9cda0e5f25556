#include "store/FileOps.h"
#include "store/FilePosition.h"

static FileOpHook g_hook;
static void* g_hookContext;

void SetFileOpHook(FileOpHook hook, void* context)
{
    g_hook = hook;
    g_hookContext = context;
}

static BOOL Allowed(FileOpKind kind)
{
    if (!g_hook || g_hook(kind, g_hookContext))
        return TRUE;
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
}

HANDLE FileCreate(const wchar_t* path, DWORD access, DWORD share, DWORD disposition)
{
    if (!Allowed(kFileOpCreate))
        return INVALID_HANDLE_VALUE;
    return CreateFileW(path, access, share, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL);
}

BOOL FileWrite(HANDLE file, const void* data, DWORD length, DWORD* written)
{
    *written = 0;
    return Allowed(kFileOpWrite) && WriteFile(file, data, length, written, NULL);
}

BOOL FileFlush(HANDLE file)
{
    return Allowed(kFileOpFlush) && FlushFileBuffers(file);
}

BOOL FileSetEnd(HANDLE file)
{
    return Allowed(kFileOpSetEnd) && SetEndOfFile(file);
}

BOOL FileTruncate(HANDLE file, ULONGLONG size)
{
    return FileSeek(file, size, FILE_BEGIN, NULL) && FileSetEnd(file);
}

BOOL FileReplace(const wchar_t* from, const wchar_t* to)
{
    if (!Allowed(kFileOpMove))
        return FALSE;
    // A read-only file is not replaced, on every system alike.
    DWORD attributes = GetFileAttributesW(to);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

BOOL FileDelete(const wchar_t* path)
{
    return Allowed(kFileOpDelete) && DeleteFileW(path);
}

BOOL PathExists(const wchar_t* path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}
