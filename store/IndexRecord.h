// One article's fixed-size entry in a group's index file. Stored little-endian
// exactly as laid out here, record i at IndexRecordOffset(i).
#pragma once
#include <windows.h>
#include <stddef.h>

enum {
    kIndexRecordSize = 92,
    kIndexHeaderSize = 100,
    kIndexVersion = 5,
    kRecordRead = 0x1,          // flags bit 0
    kRecordPriorityMask = 0x6,  // flags bits 1 and 2
    kRecordPriorityShift = 1,
    kPriorityNormal = 0,
    kPriorityLow = 1,
    kPriorityHigh = 2,
    kNoArticleNumber = 0xFFFFFFFF,
    kSubjectFieldSize = 48,
    kDateFieldSize = 4,
    kSenderFieldSize = 16
};

// Records a pass over a whole index reads at a time.
enum { kRecordBatch = 256 };

#pragma pack(push, 1)
struct IndexRecord {
    DWORD flags;
    DWORD articleNumber;   // "X-Local-Seq" value, kNoArticleNumber when absent
    DWORD articleOffset;   // block start in the log
    DWORD articleLength;   // first header line through the separator line
    char subject[kSubjectFieldSize];   // zero-padded, at most 47 bytes
    char date[kDateFieldSize];         // "MMDD", no terminator
    char sender[kSenderFieldSize];     // zero-padded, at most 15 bytes
    DWORD subjectOffset;   // log offset of the text after "Subject: "
    DWORD subjectLength;   // without "Subject: " and CR LF
};
#pragma pack(pop)

static_assert(sizeof(IndexRecord) == kIndexRecordSize, "index record is 92 bytes");
static_assert(offsetof(IndexRecord, flags) == 0, "layout");
static_assert(offsetof(IndexRecord, articleNumber) == 4, "layout");
static_assert(offsetof(IndexRecord, articleOffset) == 8, "layout");
static_assert(offsetof(IndexRecord, articleLength) == 12, "layout");
static_assert(offsetof(IndexRecord, subject) == 16, "layout");
static_assert(offsetof(IndexRecord, date) == 64, "layout");
static_assert(offsetof(IndexRecord, sender) == 68, "layout");
static_assert(offsetof(IndexRecord, subjectOffset) == 84, "layout");
static_assert(offsetof(IndexRecord, subjectLength) == 88, "layout");

inline DWORD RecordPriority(const IndexRecord& record)
{
    return (record.flags & kRecordPriorityMask) >> kRecordPriorityShift;
}

inline void SetRecordPriority(IndexRecord& record, DWORD priority)
{
    record.flags = (record.flags & ~(DWORD)kRecordPriorityMask)
                 | ((priority << kRecordPriorityShift) & kRecordPriorityMask);
}

// A flags word a cut tore while it was written: bits no writer sets.
inline BOOL FlagsTorn(DWORD flags)
{
    return (flags & ~(DWORD)(kRecordRead | kRecordPriorityMask)) != 0;
}

inline DWORD IndexRecordOffset(DWORD index)
{
    return kIndexHeaderSize + kIndexRecordSize * index;
}
