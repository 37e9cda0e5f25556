#include "store/FileRewrite.h"
#include "store/ArticleLog.h"
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
        FileDelete(temp_);
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
        LastErrorKeeper keep;
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
