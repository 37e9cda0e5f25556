// A group's threads, kept beside its index (the index's name with ".thr"):
// a header, then per article its parent word, then all articles in thread
// order, then per article the keys a later pass links new articles with.
// Derived from the log: a file that is missing, stale (made for another
// index) or damaged is built again, and losing it costs only that.
#pragma once
#include <windows.h>

class GroupRecord;
class ThreadLinker;

enum { kThreadFileMagic = 0x44485450, kThreadFileVersion = 1, kThreadFileHeaderSize = 32 };

#pragma pack(push, 1)
struct ThreadFileHeader {
    DWORD magic;
    DWORD version;
    DWORD count;      // articles, the index's record count
    DWORD logEnd;     // where the last of them ends in the log
    DWORD linkSum;    // over the parent words and the order
    DWORD keySum;     // over the keys
    DWORD reserved[2];
};
#pragma pack(pop)

// Where the record before `count` ends in the log (0 for none): with the
// count, what tells a thread file made for this index from a stale one.
BOOL ThreadIndexStamp(GroupRecord* group, DWORD count, DWORD* logEnd);
// The thread file's path for the group into `path` (kStorePathCapacity).
BOOL ThreadFilePath(GroupRecord* group, wchar_t* path);
// The checksum the header keeps, one word further, and over `words`.
inline DWORD ThreadSumStep(DWORD sum, DWORD word) { return ((sum << 5) | (sum >> 27)) ^ word; }
DWORD ThreadSum(DWORD sum, const DWORD* words, DWORD count);

// Links the group's articles, reading from the log only those an earlier
// file does not hold, and writes the file anew. `linker` keeps the result
// even when only the write failed (`*linked` tells).
BOOL BuildThreadFile(GroupRecord* group, ThreadLinker* linker, BOOL* linked);
// After a patrol or a deletion of read articles: brings the group's thread
// file up to its index. A group without one is left without.
BOOL UpdateThreadFile(GroupRecord* group);
