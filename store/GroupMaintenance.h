// Passes over one group's files that the maintenance commands run: the
// deletion of read articles (compaction), marking everything read and the
// catch-up on the server. They know nothing of windows; the commands show
// the dialogs and turn a failure into its message.
#pragma once
#include <windows.h>
#include "store/GroupRecovery.h"

class GroupRecord;

// Rewrites the group's log and index without the articles marked read; the
// kept records keep their order, flags and numbers, savedPosition becomes 0.
// A torn flags word is no mark: its article stays, unread, with the
// filter's priority. The log past the last record stays as it is, for the
// next start to take in.
// The new files are written next to the old ones (index path ending in
// "id~" and "lo~"); leftovers of an interrupted run are settled first, as
// at start-up. A failure before the swap leaves the old files as they were. A record whose article lies
// outside the log, or an index shorter than its record count, fails with
// ERROR_INVALID_DATA.
BOOL CompactGroup(GroupRecord* group);

// Sets the read flag of every record; unreadCount becomes 0. The marked
// index is written beside the old one and replaces it whole, or not at all.
BOOL MarkAllRead(GroupRecord* group);

// Makes the next download skip everything now on the server.
BOOL CatchUpServer(GroupRecord* group);

// Called for each group whose compaction failed, with the cause.
typedef void (*CompactFailureHandler)(const wchar_t* groupName, DWORD error, void* context);

// Compacts every group of group.dat in order; a failing group is reported
// to `onFailure` (may be none) and the walk goes on. Fails only when
// group.dat cannot be opened. The caller runs the data initialisation after.
BOOL CompactAllGroups(const wchar_t* dataPath, CompactFailureHandler onFailure, void* context);

// Puts a whole, flushed new pair in the old one's place. Fails with the old
// pair in place unless the log was already replaced; then the next start
// (or compaction of the group) finishes the swap.
BOOL CommitGroupFiles(const wchar_t* index, const wchar_t* log, const CompactionNames& names);
