#include "store/FileOps.h"
#include "store/FilePosition.h"

static FileOpHook g_hook;
static void* g_hookContext;

void SetFileOpHook(FileOpHook hook, void* context)
{
    g_hook = hook;
    g_hookContext = context;
}

static BOOL Allowed(FileOpKind kind, HANDLE file, const wchar_t* path, const wchar_t* target,
                    const void* data = NULL, DWORD length = 0, DWORD disposition = 0)
{
    if (!g_hook)
        return TRUE;
    FileOpCall call = {kind, file, path, target, data, length, disposition};
    if (g_hook(call, g_hookContext))
        return TRUE;
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
}

HANDLE FileCreate(const wchar_t* path, DWORD access, DWORD share, DWORD disposition)
{
    if (!Allowed(kFileOpCreate, NULL, path, NULL, NULL, 0, disposition))
        return INVALID_HANDLE_VALUE;
    HANDLE file = CreateFileW(path, access, share, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE && g_hook) {
        DWORD error = GetLastError();
        Allowed(kFileOpOpened, file, path, NULL, NULL, 0, disposition);
        SetLastError(error);
    }
    return file;
}

BOOL FileWrite(HANDLE file, const void* data, DWORD length, DWORD* written)
{
    *written = 0;
    return Allowed(kFileOpWrite, file, NULL, NULL, data, length)
        && WriteFile(file, data, length, written, NULL);
}

BOOL FileFlush(HANDLE file)
{
    return Allowed(kFileOpFlush, file, NULL, NULL) && FlushFileBuffers(file);
}

BOOL FileSetEnd(HANDLE file)
{
    return Allowed(kFileOpSetEnd, file, NULL, NULL) && SetEndOfFile(file);
}

BOOL FileTruncate(HANDLE file, ULONGLONG size)
{
    return SeekTo(file, size) && FileSetEnd(file);
}

// The device has no replacing move: the same two steps run everywhere, so
// that what the tests go through is what the device does.
BOOL FileReplace(const wchar_t* from, const wchar_t* to)
{
    DWORD attributes = GetFileAttributesW(to);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return FALSE;
    } else if (attributes & FILE_ATTRIBUTE_READONLY) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    } else if (!FileDelete(to)) {
        return FALSE;
    }
    return Allowed(kFileOpMove, NULL, from, to) && MoveFileW(from, to);
}

BOOL FileDelete(const wchar_t* path)
{
    return Allowed(kFileOpDelete, NULL, path, NULL) && DeleteFileW(path);
}

void FileDropTemp(const wchar_t* temp, const wchar_t* target)
{
    DWORD error = GetLastError();
    BOOL there;
    if (PathExists(target, &there) && there)
        FileDelete(temp);
    SetLastError(error);
}

BOOL PathExists(const wchar_t* path, BOOL* exists)
{
    *exists = FALSE;
    if (!Allowed(kFileOpProbe, NULL, path, NULL))
        return FALSE;
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) {
        *exists = TRUE;
        return TRUE;
    }
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

BOOL WriteAll(HANDLE file, const void* data, DWORD length)
{
    DWORD written = 0;
    if (!FileWrite(file, data, length, &written))
        return FALSE;
    if (written != length) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return TRUE;
}

BOOL ReadFull(HANDLE file, void* data, DWORD length, DWORD* read)
{
    *read = 0;
    while (*read < length) {
        DWORD got = 0;
        if (!ReadFile(file, (char*)data + *read, length - *read, &got, NULL))
            return FALSE;
        if (got == 0)
            break;
        *read += got;
    }
    return TRUE;
}

BOOL SeekTo(HANDLE file, ULONGLONG offset)
{
    return FileSeek(file, offset, FILE_BEGIN, NULL);
}
