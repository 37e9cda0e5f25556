#include "store/GroupListReader.h"
#include "store/StorePath.h"
#include "text/CodePage.h"
#include "text/LastErrorKeeper.h"
#include <stdlib.h>

GroupListReader* GroupListReader::Open(const wchar_t* dataPath)
{
    wchar_t* path = ConcatPath(dataPath, L"group.dat");
    if (!path)
        return NULL;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    {
        LastErrorKeeper keep;
        free(path);
    }
    if (file == INVALID_HANDLE_VALUE)
        return NULL;
    GroupListReader* reader = (GroupListReader*)malloc(sizeof(GroupListReader));
    if (!reader) {
        CloseHandle(file);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    reader->file_ = file;
    reader->reader_.Init(file);
    reader->name_ = NULL;
    reader->failed_ = FALSE;
    return reader;
}

const wchar_t* GroupListReader::Next()
{
    free(name_);
    name_ = NULL;
    char line[kStoreLineCapacity];
    DWORD length;
    for (;;) {
        if (!reader_.ReadLine(line, sizeof line, FALSE, &length)) {
            failed_ = GetLastError() != ERROR_HANDLE_EOF;
            return NULL;
        }
        if (line[0] == '#' || length <= 2)
            continue;
        if (length >= 2 && line[length - 2] == '\r' && line[length - 1] == '\n')
            line[length - 2] = '\0';
        name_ = ToWide(line);
        failed_ = name_ == NULL;
        return name_;
    }
}

void GroupListReader::Close()
{
    if (file_ != INVALID_HANDLE_VALUE)
        CloseHandle(file_);
    free(name_);
    free(this);
}
