// Settling what a program that died, or a device that lost power, in the
// middle of a write left in the data folder, before anything reads the
// files. Acts only on definite answers: a look-up, read or move that fails
// for any other reason than a missing file fails the recovery, which then
// has changed nothing the next start cannot settle.
#pragma once
#include <windows.h>
#include "store/StorePath.h"

class GroupRecord;

// The names a deletion of read articles writes and swaps through, beside
// the index.
struct CompactionNames {
    wchar_t newIndex[kStorePathCapacity];        // "id~", written
    wchar_t newLog[kStorePathCapacity];          // "lo~", written
    wchar_t committedIndex[kStorePathCapacity];  // "ic~", the new index once the pair is whole
    // Where an earlier release moved the old files aside while swapping.
    wchar_t oldIndexBackup[kStorePathCapacity];  // "ib~"
    wchar_t oldLogBackup[kStorePathCapacity];    // "lb~"
    BOOL Make(const wchar_t* indexPath);
};

// `indexPath` with its last three characters replaced by `suffix` ("id~",
// "lo~"). ERROR_INVALID_PARAMETER when it does not fit.
BOOL CompactionPath(const wchar_t* indexPath, const wchar_t* suffix,
                    wchar_t* path, DWORD capacity);

// Brings the group's index and log (names set) back to a matching pair:
// an interrupted deletion of read articles, index rewrite or filter save is
// undone or finished.
BOOL RecoverGroupFiles(GroupRecord* group);

// Settles the list files' temporary files (group.dat~, active.dat~,
// category.dat~) the same way.
BOOL RecoverListFiles(const wchar_t* dataPath);

// Whether the data folder holds any file whose name ends in "~"; a clean
// folder needs no recovery pass.
BOOL HasLeftovers(const wchar_t* dataPath);

// Whether the first `length` bytes of an index (its header, `size` the
// file's size) can only be a version-5 header torn by a cut or one that
// counts records the file does not hold. A version-1 index (text) is not.
BOOL IsTornIndexHeader(const BYTE* bytes, DWORD length, DWORD size);
