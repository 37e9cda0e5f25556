#include "store/FileRewrite.h"
#include "store/FileOps.h"
#include "text/LastErrorKeeper.h"
#include <string.h>
#include <wchar.h>

void FileRewrite::Construct()
{
    file_ = INVALID_HANDLE_VALUE;
    path_[0] = temp_[0] = L'\0';
}

BOOL FileRewrite::Open(const wchar_t* path)
{
    Close();
    size_t length = wcslen(path);
    if (length + 2 > kStorePathCapacity) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    memcpy(path_, path, (length + 1) * sizeof(wchar_t));
    memcpy(temp_, path, length * sizeof(wchar_t));
    temp_[length] = L'~';
    temp_[length + 1] = L'\0';
    // A replace that failed after its delete left the only copy in the
    // temporary file: it goes in before a new one is begun over it.
    BOOL targetThere, tempThere;
    if (!PathExists(path_, &targetThere) || !PathExists(temp_, &tempThere)
        || (!targetThere && tempThere && !FileReplace(temp_, path_)))
        return FALSE;
    // The target exists before its temporary file does, so that a
    // temporary file found alone can only be a whole one on its way in.
    HANDLE target = FileCreate(path_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS);
    if (target == INVALID_HANDLE_VALUE)
        return FALSE;
    CloseHandle(target);
    file_ = FileCreate(temp_, GENERIC_WRITE, 0, CREATE_ALWAYS);
    return file_ != INVALID_HANDLE_VALUE;
}

BOOL FileRewrite::Write(const void* data, DWORD length)
{
    return WriteAll(file_, data, length);
}

BOOL FileRewrite::Flush()
{
    return FileFlush(file_);
}

void FileRewrite::Close()
{
    if (file_ != INVALID_HANDLE_VALUE)
        CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
}

BOOL FileRewrite::Replace()
{
    return FileReplace(temp_, path_);
}

BOOL FileRewrite::Commit()
{
    BOOL ok = Flush();
    {
        LastErrorKeeper keep;
        Close();
    }
    return ok && Replace();
}

void FileRewrite::Abandon()
{
    LastErrorKeeper keep;
    Close();
    if (temp_[0])
        FileDropTemp(temp_, path_);
}

BOOL CommitPair(FileRewrite* first, FileRewrite* second)
{
    BOOL ok = first->Flush() && second->Flush();
    DWORD error = GetLastError();
    first->Close();
    second->Close();
    if (!ok) {
        AbandonPair(first, second);
        SetLastError(error);
        return FALSE;
    }
    if (!first->Replace()) {
        // A replace that failed after its delete leaves both temporary
        // files for the next start to move in.
        LastErrorKeeper keep;
        BOOL there;
        if (PathExists(first->TargetPath(), &there) && there)
            AbandonPair(first, second);
        return FALSE;
    }
    return second->Replace();
}

void AbandonPair(FileRewrite* first, FileRewrite* second)
{
    second->Abandon();
    first->Abandon();
}
