// Operations on a group's log as a whole: rebuilding the index from it,
// reading one article back, re-applying the keyword filter.
#pragma once
#include <windows.h>
#include "store/IndexRecord.h"

class GroupRecord;
class LineReader;
class ArticleHeader;

// "================\r\n"
extern const char kArticleSeparator[];
enum { kArticleSeparatorLength = 18 };

// Recreates every record from the log; the record holds the header values
// to keep, the last article becomes at least the log's highest number. The
// new index is written through the upgrade's temporary file and replaces
// the old one (or takes the missing one's place) only when complete.
BOOL RebuildIndex(GroupRecord* group);

// The temporary file of an index rewrite: `indexPath` + "~" into `path`
// (kStorePathCapacity); ERROR_FILENAME_EXCED_RANGE when it does not fit.
BOOL UpgradeTempPath(const wchar_t* indexPath, wchar_t* path);

// With log and index open and the header read: takes in every whole
// article past the counted records (the record in its slot when intact and
// matching, with its flags), cuts only the unfinished block a dead pass
// left past its append mark (`trustMarks`: the header is believed, and its
// count finds that mark), drops the slots past the last record, and
// flushes the header when anything changed or it was not believed. A last counted record that cannot be
// right makes every article taken in again from the log's start.
BOOL TakeInLogTail(GroupRecord* group, BOOL trustMarks);
// Whether a record is well formed and its article lies in a log of
// `logSize` bytes.
BOOL RecordFits(const IndexRecord& record, DWORD logSize);
// Before a pass appends: the two slots after the last record get the log's
// current end, and are on the medium before the first byte is appended.
BOOL MarkAppendStart(GroupRecord* group);
// After a pass: drops the marks that no record took the place of.
BOOL DropAppendMark(GroupRecord* group);

// Longest article read back whole; a longer length can only come from a
// damaged record, and would take more memory than the device has.
enum { kMaxArticleLength = 16 * 1024 * 1024 };

// The article's bytes as a new wide string (free() it), or none.
// A range outside the log fails with ERROR_INVALID_DATA, a longer one than
// kMaxArticleLength with ERROR_NOT_ENOUGH_MEMORY.
wchar_t* ReadArticle(GroupRecord* group, DWORD offset, DWORD length);

// Applies the group's current filter to every record.
BOOL Reprioritise(GroupRecord* group);

// Size of an open file that must fit the record offsets (32 bits);
// ERROR_INVALID_DATA if larger.
BOOL LogFileSize(HANDLE log, DWORD* size);
// Whether offset .. offset + length lies inside a file of `size` bytes.
BOOL RangeInsideLog(DWORD offset, DWORD length, DWORD size);
// Reads exactly `length` bytes at `offset` of `log`, after checking the range
// against `logSize`: ERROR_INVALID_DATA for a range outside the log,
// ERROR_HANDLE_EOF for a short read.
// `buffer` holds at least `length` bytes.
BOOL ReadLogRange(HANDLE log, DWORD logSize, DWORD offset, DWORD length, char* buffer);

// Parses the next article block (header lines, unfolded, up to the empty
// line, then the body through the separator line) into `header`, which it
// resets. `position` is the running log offset, advanced by every line read.
// `subjectStart` receives the log offset of the Subject line, or
// kNoHeaderLine. A line of 1024 bytes or more, or one with a zero byte, is
// read in pieces and left out of the header. FALSE with ERROR_HANDLE_EOF
// when the log has no further complete article, ERROR_INVALID_DATA for a
// log past 4 GiB.
BOOL ParseNextArticle(LineReader* reader, char* line, ArticleHeader* header,
                      ULONGLONG* position, DWORD* start, DWORD* end, DWORD* subjectStart);
// The block size the log-parsing passes read with.
enum { kLogReadBlock = 65536 };
