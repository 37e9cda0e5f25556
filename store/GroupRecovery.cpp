#include "store/GroupRecovery.h"
#include "store/ArticleLog.h"
#include "store/FileOps.h"
#include "store/GroupRecord.h"
#include "store/IndexHeader.h"
#include "text/LastErrorKeeper.h"
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

BOOL CompactionPath(const wchar_t* indexPath, const wchar_t* suffix, wchar_t* path, DWORD capacity)
{
    size_t length = indexPath ? wcslen(indexPath) : 0;
    if (length < 3 || wcslen(suffix) != 3 || length + 1 > capacity) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    memcpy(path, indexPath, (length - 3) * sizeof(wchar_t));
    memcpy(path + length - 3, suffix, 4 * sizeof(wchar_t));
    return TRUE;
}

BOOL CompactionNames::Make(const wchar_t* indexPath)
{
    return CompactionPath(indexPath, L"id~", newIndex, kStorePathCapacity)
        && CompactionPath(indexPath, L"lo~", newLog, kStorePathCapacity)
        && CompactionPath(indexPath, L"ic~", committedIndex, kStorePathCapacity)
        && CompactionPath(indexPath, L"ib~", oldIndexBackup, kStorePathCapacity)
        && CompactionPath(indexPath, L"lb~", oldLogBackup, kStorePathCapacity);
}

namespace {

BOOL DeleteIfThere(const wchar_t* path)
{
    BOOL there;
    return PathExists(path, &there) && (!there || FileDelete(path));
}

// A temporary file beside its target. Every writer makes sure the target
// exists before it starts the temporary file, so a missing target means
// the delete half of a replace was done with the temporary file whole.
BOOL MoveInOrDrop(const wchar_t* temp, const wchar_t* target)
{
    BOOL tempThere, targetThere;
    if (!PathExists(temp, &tempThere) || !PathExists(target, &targetThere))
        return FALSE;
    if (!tempThere)
        return TRUE;
    return targetThere ? FileDelete(temp) : FileReplace(temp, target);
}

HANDLE OpenForReading(const wchar_t* path)
{
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, NULL);
}

// The first word of a file that is there; 0 when it is shorter.
BOOL FirstWord(const wchar_t* path, DWORD* value)
{
    *value = 0;
    HANDLE file = OpenForReading(path);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD read = 0;
    BOOL ok = ReadFull(file, value, sizeof *value, &read);
    LastErrorKeeper keep;
    CloseHandle(file);
    if (read != sizeof *value)
        *value = 0;
    return ok;
}

// Whether `index` is a whole version-5 index whose last counted record ends
// where the log (of `logSize` bytes) ends. A missing or short index does
// not pair; a failed open or read fails.
BOOL PairsWithLog(const wchar_t* index, DWORD logSize, BOOL* pairs)
{
    *pairs = FALSE;
    HANDLE file = OpenForReading(index);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    IndexHeader header;
    IndexRecord last;
    DWORD read = 0;
    DWORD size = GetFileSize(file, NULL);
    BOOL ok = size != INVALID_FILE_SIZE && ReadFull(file, &header, sizeof header, &read);
    if (ok && read == sizeof header && header.version == kIndexVersion
        && (ULONGLONG)size >= IndexRecordOffset(0) + (ULONGLONG)kIndexRecordSize * header.recordCount) {
        if (header.recordCount == 0) {
            *pairs = logSize == 0;
        } else {
            ok = SeekTo(file, IndexRecordOffset(header.recordCount - 1))
              && ReadFull(file, &last, sizeof last, &read);
            *pairs = ok && read == sizeof last
                  && (ULONGLONG)last.articleOffset + last.articleLength == logSize;
        }
    }
    LastErrorKeeper keep;
    CloseHandle(file);
    return ok;
}

BOOL SizeOf(const wchar_t* path, DWORD* size)
{
    HANDLE file = OpenForReading(path);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    *size = GetFileSize(file, NULL);
    LastErrorKeeper keep;
    CloseHandle(file);
    return *size != INVALID_FILE_SIZE;
}

// Deletion of read articles. It writes the new pair as "id~" and "lo~",
// flushes both, renames "id~" to "ic~" (the commitment), then replaces the
// log with "lo~" and the index with "ic~", each a delete and a rename. An
// earlier release instead moved the old log to "lb~", "lo~" to the log,
// the old index to "ib~", "id~" to the index, and deleted "lb~" and "ib~".
//
//   left behind                       state                       resolution
//   "lb~" (any others)                earlier release, swap       old files back from the
//                                     under way                   backups; "ic~", "id~",
//                                                                 "lo~" deleted
//   "ib~" alone                       earlier release, swap       delete "ib~"
//                                     done but for clean-up
//   "ic~" and "lo~" (log there or     committed, log not yet      log := "lo~", index := "ic~"
//   deleted)                          replaced
//   "ic~" (index there or deleted)    committed, log replaced     index := "ic~"
//   "id~" and "lo~", no "ic~"         copying or flushing: the    delete both; the old pair
//                                     new pair may be incomplete  is untouched
//   "id~" alone                       the copy abandoned; or the  the pair decides: index :=
//                                     renames reached the card    "id~" when the log ends where
//                                     out of order                its last record ends and the
//                                                                 index's does not; else delete;
//                                                                 without a log, left alone
BOOL RecoverCompaction(const wchar_t* index, const wchar_t* log, const CompactionNames& names)
{
    BOOL oldLog, oldIndex, committed, newIndex, newLog;
    if (!PathExists(names.oldLogBackup, &oldLog) || !PathExists(names.oldIndexBackup, &oldIndex)
        || !PathExists(names.committedIndex, &committed) || !PathExists(names.newIndex, &newIndex)
        || !PathExists(names.newLog, &newLog))
        return FALSE;
    if (oldLog) {
        // The log last: while "lb~" is there, the next start comes back
        // here, and a lone "ib~" or "ic~" must never meet the old log.
        if (oldIndex && !FileReplace(names.oldIndexBackup, index))
            return FALSE;
        return DeleteIfThere(names.committedIndex) && DeleteIfThere(names.newIndex)
            && DeleteIfThere(names.newLog) && FileReplace(names.oldLogBackup, log);
    }
    if (oldIndex && !FileDelete(names.oldIndexBackup))
        return FALSE;
    if (committed) {
        if (newLog && !FileReplace(names.newLog, log))
            return FALSE;
        return FileReplace(names.committedIndex, index) && DeleteIfThere(names.newIndex);
    }
    if (newIndex && !newLog) {
        DWORD logSize;
        BOOL oldPairs, newPairs, logThere;
        if (!PathExists(log, &logThere))
            return FALSE;
        // Without a log nothing can tell which index is whole: left for
        // the user.
        if (!logThere)
            return TRUE;
        if (!SizeOf(log, &logSize) || !PairsWithLog(index, logSize, &oldPairs)
            || !PairsWithLog(names.newIndex, logSize, &newPairs))
            return FALSE;
        if (newPairs && !oldPairs)
            return FileReplace(names.newIndex, index);
    }
    return DeleteIfThere(names.newIndex) && DeleteIfThere(names.newLog);
}

// Index rewrites (format upgrades, rebuilds, marking all read) write
// index + "~", flush it and replace the index with it. A rebuild flushes
// its records before it writes the header over the zero word it began
// with; in place of a missing index that header is not flushed, and one
// lost or torn after the rename is made again from the log at the start.
//
//   left behind                          state                    resolution
//   "idx~" beside the index              rewrite under way; the   delete "idx~"; the step is
//                                        old index is whole       done again
//   "idx~" of version 3 to 5, no index   the old index deleted,   move "idx~" in
//                                        the new one whole; or a
//                                        rebuild whose header is
//                                        on the medium
//   "idx~" of any other first word,      rebuild of a missing     delete "idx~"; the rebuild
//   no index                             index under way, or its  runs again
//                                        header torn
BOOL RecoverIndexRewrite(const wchar_t* index)
{
    wchar_t temp[kStorePathCapacity];
    BOOL tempThere, indexThere;
    if (!UpgradeTempPath(index, temp) || !PathExists(temp, &tempThere)
        || !PathExists(index, &indexThere))
        return FALSE;
    if (!tempThere)
        return TRUE;
    if (!indexThere) {
        DWORD version;
        if (!FirstWord(temp, &version))
            return FALSE;
        if (version >= 3 && version <= kIndexVersion)
            return FileReplace(temp, index);
    }
    return FileDelete(temp);
}

}  // namespace

// A patrol needs nothing here: the header, written last, still counts only
// the articles of earlier passes, and the start that follows takes in what
// the dead one appended whole (TakeInLogTail lists those states). A filter save
// leaves filter + "~": beside the old filter it may be incomplete (deleted,
// the old filter stays in force); alone it is whole (moved in). A filter
// change whose reprioritising did not end leaves its mark, which the start
// finishes once the index is checked (FinishFilterChange).
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
        && MoveInOrDrop(filterTemp, group->FilterPath());
}

// group.dat~ is a subscription save: moved in or dropped as above. The
// group list fetch writes active.dat~ and category.dat~, flushes both and
// replaces active.dat, then category.dat: active.dat~ beside active.dat
// means nothing was replaced (both temporary files deleted); active.dat~
// alone, or category.dat~ without active.dat~, means the pair is whole and
// on its way in (both moved in).
BOOL RecoverListFiles(const wchar_t* dataPath)
{
    wchar_t* group = ConcatPath(dataPath, L"group.dat~");
    wchar_t* groupFile = ConcatPath(dataPath, L"group.dat");
    wchar_t* active = ConcatPath(dataPath, L"active.dat~");
    wchar_t* activeFile = ConcatPath(dataPath, L"active.dat");
    wchar_t* category = ConcatPath(dataPath, L"category.dat~");
    wchar_t* categoryFile = ConcatPath(dataPath, L"category.dat");
    BOOL activeThere = FALSE, activeFileThere = FALSE, categoryThere = FALSE;
    BOOL ok = group && groupFile && active && activeFile && category && categoryFile;
    if (!ok)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    ok = ok && MoveInOrDrop(group, groupFile) && PathExists(active, &activeThere)
      && PathExists(activeFile, &activeFileThere) && PathExists(category, &categoryThere);
    if (ok) {
        if (activeThere && activeFileThere)
            ok = DeleteIfThere(category) && FileDelete(active);
        else if (activeThere)
            ok = FileReplace(active, activeFile) && (!categoryThere || FileReplace(category, categoryFile));
        else if (categoryThere)
            ok = FileReplace(category, categoryFile);
        // A read-only target keeps its temporary file for the user; the
        // start goes on with the lists as they are.
        if (!ok && GetLastError() == ERROR_ACCESS_DENIED)
            ok = TRUE;
    }
    LastErrorKeeper keep;
    free(group);
    free(groupFile);
    free(active);
    free(activeFile);
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

BOOL IsTornIndexHeader(const BYTE* bytes, DWORD length, DWORD size)
{
    if (length < sizeof(DWORD))
        return FALSE;
    DWORD version;
    memcpy(&version, bytes, sizeof version);
    if (version == 0)
        return TRUE;
    if (version > 500)
        return bytes[0] < '0' || bytes[0] > '9';
    if (version != kIndexVersion || length < sizeof(IndexHeader))
        return FALSE;
    IndexHeader header;
    memcpy(&header, bytes, sizeof header);
    DWORD count = header.recordCount;
    return (ULONGLONG)size < IndexRecordOffset(0) + (ULONGLONG)kIndexRecordSize * count
        || header.unreadCount > count || header.highCount > count || header.lowCount > count
        || (ULONGLONG)header.highCount + header.lowCount > count
        || !memchr(header.stateText, 0, kStateTextFieldSize);
}
