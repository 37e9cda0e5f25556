#include "store/GroupRecovery.h"
#include "store/ArticleLog.h"
#include "store/FileOps.h"
#include "store/GroupMaintenance.h"
#include "store/GroupRecord.h"
#include "store/IndexHeader.h"
#include "store/StorePath.h"
#include "text/LastErrorKeeper.h"
#include <stdlib.h>

namespace {

BOOL DeleteIfThere(const wchar_t* path)
{
    return !PathExists(path) || FileDelete(path);
}

// The first word of a file; 0 when it cannot be read.
DWORD FirstWord(const wchar_t* path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD value = 0, read = 0;
    if (file != INVALID_HANDLE_VALUE) {
        if (!ReadFull(file, &value, sizeof value, &read) || read != sizeof value)
            value = 0;
        CloseHandle(file);
    }
    return value;
}

// Deletion of read articles. It writes the new pair as "id~" and "lo~",
// flushes both, renames "id~" to "ic~" (the commitment), then replaces the
// log with "lo~" and the index with "ic~". An earlier release instead moved
// the old log to "lb~", "lo~" to the log, the old index to "ib~", "id~" to
// the index, and deleted "lb~" and "ib~".
//
//   left behind                          state                    resolution
//   "lb~" (and maybe "ib~")              earlier release, swap    old files back from the
//                                        under way                backups; new ones deleted
//   "ib~" alone                          earlier release, swap    delete "ib~"
//                                        done but for clean-up
//   "ic~" and "lo~"                      committed, nothing       log := "lo~", index := "ic~"
//                                        replaced yet
//   "ic~" alone                          committed, log replaced  index := "ic~"
//   "id~" and/or "lo~", no "ic~"         copying, or flushing:    delete both; the old pair
//                                        the new pair may be      is untouched
//                                        incomplete
BOOL RecoverCompaction(const wchar_t* index, const wchar_t* log, const CompactionNames& names)
{
    if (PathExists(names.oldLogBackup)) {
        // The index first: while "lb~" is there, the next start comes back
        // here, and a lone "ib~" must always mean a finished swap.
        if (PathExists(names.oldIndexBackup) && !FileReplace(names.oldIndexBackup, index))
            return FALSE;
        if (!FileReplace(names.oldLogBackup, log))
            return FALSE;
        return DeleteIfThere(names.newIndex) && DeleteIfThere(names.newLog);
    }
    if (!DeleteIfThere(names.oldIndexBackup))
        return FALSE;
    if (PathExists(names.committedIndex)) {
        if (PathExists(names.newLog) && !FileReplace(names.newLog, log))
            return FALSE;
        return FileReplace(names.committedIndex, index) && DeleteIfThere(names.newIndex);
    }
    return DeleteIfThere(names.newIndex) && DeleteIfThere(names.newLog);
}

// Index rewrites (format upgrades, rebuilds) write index + "~", flush it and
// replace the index with it. An earlier release deleted the old index
// before moving the new one in.
//
//   left behind                          state                    resolution
//   "idx~" beside the index              rewrite under way; the   delete "idx~"; the step is
//                                        old index is whole       done again
//   "idx~" of version 3 to 5, no index   earlier release: old     move "idx~" in
//                                        index deleted, new one
//                                        whole; or a rebuild
//                                        whose header was written
//   "idx~" of any other first word,      rebuild of a missing     delete "idx~"; the rebuild
//   no index                             index under way (its     runs again
//                                        header comes last)
BOOL RecoverIndexRewrite(const wchar_t* index)
{
    wchar_t temp[kStorePathCapacity];
    if (!UpgradeTempPath(index, temp))
        return FALSE;
    if (!PathExists(temp))
        return TRUE;
    if (!PathExists(index)) {
        DWORD version = FirstWord(temp);
        if (version >= 3 && version <= kIndexVersion)
            return FileReplace(temp, index);
    }
    return FileDelete(temp);
}

}  // namespace

// A kill inside a patrol needs nothing here: the header, written last,
// still counts only the articles of earlier passes, and the pass that
// follows cuts what the dead one appended (CutUnindexedTail lists those
// states). A kill while the filter is saved leaves filter + "~" beside
// the old filter, which stays in force: the temporary file is deleted. A
// filter change whose reprioritising did not end leaves its mark, which
// the start finishes once the index is checked (FinishFilterChange).
BOOL RecoverGroupFiles(GroupRecord* group)
{
    const wchar_t* index = group->IndexPath();
    const wchar_t* log = group->LogPath();
    CompactionNames names;
    wchar_t filterTemp[kStorePathCapacity];
    if (!index || !log || !group->FilterPath() || !names.Make(index)
        || !UpgradeTempPath(group->FilterPath(), filterTemp))
        return FALSE;
    return RecoverCompaction(index, log, names) && RecoverIndexRewrite(index)
        && DeleteIfThere(filterTemp);
}

// group.dat~ is a subscription save under way: group.dat still holds the
// old list. The group list fetch writes active.dat~ and category.dat~ and
// replaces active.dat first: both temporary files, or active.dat~ alone,
// mean nothing was replaced (delete them); category.dat~ alone means
// active.dat is new already (category.dat := category.dat~).
BOOL RecoverListFiles(const wchar_t* dataPath)
{
    wchar_t* group = ConcatPath(dataPath, L"group.dat~");
    wchar_t* active = ConcatPath(dataPath, L"active.dat~");
    wchar_t* category = ConcatPath(dataPath, L"category.dat~");
    wchar_t* categoryFile = ConcatPath(dataPath, L"category.dat");
    BOOL ok = group && active && category && categoryFile && DeleteIfThere(group);
    if (ok) {
        if (PathExists(category) && !PathExists(active))
            ok = FileReplace(category, categoryFile);
        else
            ok = DeleteIfThere(category) && DeleteIfThere(active);
    }
    LastErrorKeeper keep;
    free(group);
    free(active);
    free(category);
    free(categoryFile);
    return ok;
}

BOOL HasLeftovers(const wchar_t* dataPath)
{
    wchar_t* pattern = ConcatPath(dataPath, L"*~");
    if (!pattern)
        return TRUE;   // cannot tell: look at every group
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    free(pattern);
    if (find == INVALID_HANDLE_VALUE)
        return GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_NO_MORE_FILES;
    FindClose(find);
    return TRUE;
}
