#include "store/FilterChange.h"
#include "store/ArticleLog.h"
#include "store/FileOps.h"
#include "store/FileRewrite.h"
#include "store/GroupMaintenance.h"
#include "store/GroupRecord.h"
#include "store/StorePath.h"
#include "text/LastErrorKeeper.h"

BOOL FilterChangeMarkPath(const wchar_t* filterPath, wchar_t* path)
{
    return CompactionPath(filterPath, L"rp~", path, kStorePathCapacity);
}

// The mark is an empty file: its creation reaches the medium before the
// filter's replacement, which comes after it.
BOOL CommitFilterChange(FileRewrite* file, const wchar_t* filterPath)
{
    wchar_t mark[kStorePathCapacity];
    if (!FilterChangeMarkPath(filterPath, mark))
        return FALSE;
    HANDLE created = FileCreate(mark, GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (created == INVALID_HANDLE_VALUE)
        return FALSE;
    CloseHandle(created);
    return file->Commit();
}

// The records reach the medium before the mark goes.
static BOOL FlushIndex(GroupRecord* group)
{
    if (group->IndexHandle() != INVALID_HANDLE_VALUE)
        return FileFlush(group->IndexHandle());
    if (!group->OpenIndex())
        return FALSE;
    BOOL ok = FileFlush(group->IndexHandle());
    LastErrorKeeper keep;
    group->CloseIndex();
    return ok;
}

// Damaged records, or records whose log is gone, keep their priority
// however often the pass runs: the change is as done as it can be.
static BOOL AsDoneAsItCanBe(DWORD error)
{
    return error == ERROR_INVALID_DATA || error == ERROR_FILE_NOT_FOUND;
}

BOOL ApplyFilterChange(GroupRecord* group)
{
    wchar_t mark[kStorePathCapacity];
    if (!FilterChangeMarkPath(group->FilterPath(), mark))
        return FALSE;
    BOOL ok = Reprioritise(group);
    if (!ok && !AsDoneAsItCanBe(GetLastError()))
        return FALSE;
    DWORD error = GetLastError();
    // A filter written by other means has no mark to remove.
    if (!FlushIndex(group) || (!FileDelete(mark) && GetLastError() != ERROR_FILE_NOT_FOUND))
        return FALSE;
    SetLastError(error);
    return ok;
}

// Stale priorities are no reason to refuse to start: a pass that cannot
// end now keeps the mark and is tried again at the next start.
void FinishFilterChange(GroupRecord* group)
{
    wchar_t mark[kStorePathCapacity];
    LastErrorKeeper keep;
    BOOL marked = FALSE;
    if (FilterChangeMarkPath(group->FilterPath(), mark) && PathExists(mark, &marked) && marked)
        ApplyFilterChange(group);
}
