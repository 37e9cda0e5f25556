// Passes over one group's files that the maintenance commands run: the
// deletion of read articles (compaction), marking everything read and the
// catch-up on the server. They know nothing of windows; the commands show
// the dialogs and turn a failure into its message.
#pragma once
#include <windows.h>

class GroupRecord;

// Message ids of the string table used by the maintenance commands.
enum {
    kMessageDeleteReadConfirm = 17,   // "既読記事を削除しますか?"
    kMessageCompactFailed = 21,       // "既読記事の削除に失敗しました(%d)"
    kMessageIndexInitFailed = 23,     // "インデックスの初期化に失敗しました(%d)"
    kMessageMarkReadFailed = 25,      // "既読にできませんでした(%d)"
    kMessageCatchUpServerFailed = 27  // "設定できませんでした(%d)"
};

enum { kMaintenancePathCapacity = MAX_PATH + 8 };

// Rewrites the group's log and index without the articles marked read; the
// kept records keep their order, flags and numbers, savedPosition becomes 0.
// The new files are written next to the old ones (index path ending in
// "id~" and "lo~"); either of them already existing fails with 80. Any
// failure leaves the old files as they were. A record whose article lies
// outside the log, or an index shorter than its record count, fails with 13.
BOOL CompactGroup(GroupRecord* group);

// Sets the read flag of every record; unreadCount becomes 0.
BOOL MarkAllRead(GroupRecord* group);

// Makes the next download skip everything now on the server.
BOOL CatchUpServer(GroupRecord* group);

// Called for each group whose compaction failed, with the cause.
typedef void (*CompactFailureHandler)(const wchar_t* groupName, DWORD error, void* context);

// Compacts every group of group.dat in order; a failing group is reported
// to `onFailure` (may be none) and the walk goes on. Fails only when
// group.dat cannot be opened. The caller runs the data initialisation after.
BOOL CompactAllGroups(const wchar_t* dataPath, CompactFailureHandler onFailure, void* context);

// Moves the new index and log to the old names through the two backup
// names; a failed move undoes the ones before it, so the old pair is back
// under its names (and the new files under theirs). The backups are deleted
// at the end.
BOOL ReplaceGroupFiles(const wchar_t* index, const wchar_t* log,
                       const wchar_t* newIndex, const wchar_t* newLog,
                       const wchar_t* indexBackup, const wchar_t* logBackup);

// The temporary names of a compaction: `indexPath` with its last three
// characters replaced by `suffix` ("id~", "lo~"). 87 when it does not fit.
BOOL CompactionPath(const wchar_t* indexPath, const wchar_t* suffix,
                    wchar_t* path, DWORD capacity);
