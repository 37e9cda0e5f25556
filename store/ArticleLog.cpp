#include "store/ArticleLog.h"
#include "store/ArticleHeader.h"
#include "store/FileOps.h"
#include "store/FilePosition.h"
#include "store/GroupRecord.h"
#include "store/KeywordFilter.h"
#include "store/LineReader.h"
#include "store/StorePath.h"
#include "text/CodePage.h"
#include "text/LastErrorKeeper.h"
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

const char kArticleSeparator[] = "================\r\n";

BOOL LogFileSize(HANDLE log, DWORD* size)
{
    ULONGLONG value;
    if (!FileGetSize(log, &value))
        return FALSE;
    if (value > 0xFFFFFFFFULL) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    *size = (DWORD)value;
    return TRUE;
}

BOOL RangeInsideLog(DWORD offset, DWORD length, DWORD size)
{
    return offset <= size && length <= size - offset;
}

BOOL ReadLogRange(HANDLE log, DWORD logSize, DWORD offset, DWORD length, char* buffer)
{
    if (!RangeInsideLog(offset, length, logSize)) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    if (!SeekTo(log, offset))
        return FALSE;
    DWORD read = 0;
    if (!ReadFull(log, buffer, length, &read))
        return FALSE;
    if (read != length) {
        SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    return TRUE;
}

static BOOL ReadLogLine(LineReader* reader, char* line, ULONGLONG* position, DWORD* length)
{
    if (!reader->ReadLine(line, kStoreLineCapacity, FALSE, length))
        return FALSE;
    *position += *length;
    if (*position > 0xFFFFFFFFULL) {
        // Offsets in the index are 32 bits.
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    return TRUE;
}

BOOL ParseNextArticle(LineReader* reader, char* line, ArticleHeader* header,
                      ULONGLONG* position, DWORD* start, DWORD* end, DWORD* subjectStart)
{
    header->Reset();
    *start = (DWORD)*position;
    *subjectStart = kNoHeaderLine;
    DWORD length;
    for (;;) {
        ULONGLONG lineStart = *position;
        if (!ReadLogLine(reader, line, position, &length))
            return FALSE;
        if (length == 2 && line[0] == '\r' && line[1] == '\n')
            break;
        if (line[0] == ' ' || line[0] == '\t') {
            if (!header->AddContinuationLine(line))
                return FALSE;
        } else {
            DWORD before = header->Length();
            if (!header->AddHeaderLine(line))
                return FALSE;
            if (header->SubjectOffset() == before)
                *subjectStart = (DWORD)lineStart;
        }
    }
    for (;;) {
        const char* body;
        if (!reader->ReadLineInPlace(line, kStoreLineCapacity, &body, &length))
            return FALSE;
        *position += length;
        if (*position > 0xFFFFFFFFULL) {
            SetLastError(ERROR_INVALID_DATA);
            return FALSE;
        }
        if (length == kArticleSeparatorLength && memcmp(body, kArticleSeparator, length) == 0)
            break;
    }
    *end = (DWORD)*position;
    return TRUE;
}

enum { kRebuildBatch = 128 };

// Parses the whole log into `index`, whose header is left for the caller.
static BOOL ParseLogIntoIndex(GroupRecord* group, HANDLE index)
{
    KeywordFilter filter;
    filter.Construct();
    ArticleHeader header;
    header.Construct();
    LineReader* reader = (LineReader*)malloc(sizeof(LineReader));
    char* block = (char*)malloc(kLogReadBlock);
    IndexRecord* batch = (IndexRecord*)malloc(sizeof(IndexRecord) * kRebuildBatch);
    char line[kStoreLineCapacity];
    BOOL ok = reader && block && batch;
    if (!ok)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    if (ok)
        ok = filter.Load(group->FilterPath()) && header.Init();
    if (ok)
        ok = SeekTo(group->LogHandle(), 0);

    if (ok) {
        DWORD saved = GetLastError();
        reader->Init(group->LogHandle(), block, kLogReadBlock);
        ULONGLONG position = 0;
        DWORD inBatch = 0;
        for (;;) {
            DWORD start, end, subjectStart;
            if (!ParseNextArticle(reader, line, &header, &position, &start, &end, &subjectStart)) {
                if (GetLastError() == ERROR_HANDLE_EOF)
                    SetLastError(saved);
                else
                    ok = FALSE;
                break;
            }
            IndexRecord* record = &batch[inBatch];
            GroupRecord::FillRecord(record, start, end, header.ArticleNumber(), header, filter);
            if (subjectStart != kNoHeaderLine)
                record->subjectOffset = subjectStart + 9;
            if (++inBatch == kRebuildBatch) {
                if (!WriteAll(index, batch, sizeof(IndexRecord) * inBatch)) {
                    ok = FALSE;
                    inBatch = 0;
                    break;
                }
                for (DWORD i = 0; i < inBatch; i++)
                    group->CountAdded(batch[i]);
                inBatch = 0;
            }
        }
        // Records parsed before a failure are kept and counted.
        if (inBatch) {
            DWORD error = GetLastError();
            if (WriteAll(index, batch, sizeof(IndexRecord) * inBatch)) {
                for (DWORD i = 0; i < inBatch; i++)
                    group->CountAdded(batch[i]);
                SetLastError(error);
            } else {
                ok = FALSE;
            }
        }
    }
    LastErrorKeeper keep;
    filter.Free();
    header.Free();
    free(reader);
    free(block);
    free(batch);
    return ok;
}

BOOL UpgradeTempPath(const wchar_t* indexPath, wchar_t* path)
{
    size_t length = indexPath ? wcslen(indexPath) : 0;
    if (length == 0 || length + 2 > kStorePathCapacity) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    memcpy(path, indexPath, length * sizeof(wchar_t));
    path[length] = L'~';
    path[length + 1] = L'\0';
    return TRUE;
}

// The new index grows in the upgrade's temporary file and takes the old
// one's place only when it is whole and on the medium; until its header is
// written last, the file's first word is 0, which tells the next start that
// it is unfinished.
BOOL RebuildIndex(GroupRecord* group)
{
    wchar_t temp[kStorePathCapacity];
    BOOL replacing;
    if (!UpgradeTempPath(group->IndexPath(), temp) || !PathExists(group->IndexPath(), &replacing))
        return FALSE;
    HANDLE index = FileCreate(temp, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (index == INVALID_HANDLE_VALUE)
        return FALSE;
    if (!group->OpenLog()) {
        LastErrorKeeper keep;
        CloseHandle(index);
        FileDelete(temp);
        return FALSE;
    }
    // Whatever stood in the file before is replaced.
    group->SetRecordCount(0);
    group->SetUnreadCount(0);
    group->SetHighCount(0);
    group->SetLowCount(0);
    char blank[kIndexHeaderSize];
    memset(blank, 0, sizeof blank);
    BOOL parsed = FALSE;
    BOOL ok = WriteAll(index, blank, sizeof blank);
    if (ok)
        parsed = ParseLogIntoIndex(group, index);
    DWORD error = GetLastError();
    group->CloseLog();
    // A parse that failed still leaves the records before the failure: the
    // index is written with them, and the rebuild reports the failure.
    if (ok) {
        // The records reach the medium before the header that counts them.
        // The header goes to the medium first only when the old index it
        // replaces holds values of its own; in place of a missing one, a
        // header lost to a cut is made again from the records at the start.
        ok = FileFlush(index) && group->WriteHeader(index) && (!replacing || FileFlush(index));
        if (!ok)
            error = GetLastError();
    }
    CloseHandle(index);
    if (ok && !FileReplace(temp, group->IndexPath())) {
        error = GetLastError();
        ok = FALSE;
    }
    SetLastError(error);
    if (!ok)
        FileDropTemp(temp, group->IndexPath());
    return ok && parsed;
}

// What a pass appends and what it may leave when it dies or the power
// fails. A pass writes the log's end into the two index slots after the
// last record (its append mark: no number, no length) and flushes them
// before it appends a byte; its first two articles' records later take
// those slots, the first with the same offset. The header, written after
// the log and index are flushed, counts the records. So at the next pass:
//
//   left behind                          state                    resolution
//   first slot holds the mark or a       pass killed, or power    log cut at the slot's offset,
//   record starting at or past the       cut: the log past that   index cut after the last
//   indexed articles' end                offset and records past  counted record
//                                        the count are its
//   first slot torn, second still the    power cut while the      log cut at the second
//   mark                                 first record was written slot's offset, index cut
//   neither slot can be a pass's start   power cut while the      index cut; the log kept
//   (offset outside the log, bad flags,  marks were written:      (nothing was appended yet)
//   zero length)                         nothing appended
//   no slot, log longer than the         a rebuild could not      nothing cut: the new
//   indexed articles                     index the rest (or an    articles go after it
//                                        older release died
//                                        mid-article)
//
// The rebuild writes an index without a slot, so its unreadable tail stays
// through every pass; only the deletion of read articles drops it.
static void FillAppendMark(IndexRecord* mark, DWORD logEnd)
{
    memset(mark, 0, sizeof *mark);
    mark->articleNumber = kNoArticleNumber;
    mark->articleOffset = logEnd;
    mark->subjectOffset = logEnd;
}

// Whether the slot can be where a dead pass began: its mark, byte for
// byte, or its first article's record (all older releases leave).
static BOOL IsAppendMark(const IndexRecord& slot, ULONGLONG indexedEnd, DWORD logSize)
{
    if (slot.articleOffset < indexedEnd || slot.articleOffset > logSize)
        return FALSE;
    IndexRecord mark;
    FillAppendMark(&mark, slot.articleOffset);
    return memcmp(&slot, &mark, sizeof mark) == 0;
}

static BOOL StartsAPass(const IndexRecord& slot, ULONGLONG indexedEnd, DWORD logSize)
{
    if (slot.articleOffset < indexedEnd || slot.articleOffset > logSize)
        return FALSE;
    if (IsAppendMark(slot, indexedEnd, logSize))
        return TRUE;
    return slot.flags <= (kRecordRead | kRecordPriorityMask) && slot.articleLength >= kArticleSeparatorLength
        && slot.subjectOffset >= slot.articleOffset && slot.subjectOffset - slot.articleOffset <= slot.articleLength;
}

BOOL CutUnindexedTail(GroupRecord* group)
{
    HANDLE log = group->LogHandle();
    HANDLE index = group->IndexHandle();
    ULONGLONG indexedEnd = 0;
    DWORD count = group->RecordCount();
    if (count > 0) {
        IndexRecord last;
        DWORD read = 1;
        if (!group->ReadRecords(count - 1, &last, &read) || read != 1)
            return TRUE;   // a damaged index: nothing is cut on its word
        indexedEnd = (ULONGLONG)last.articleOffset + last.articleLength;
    }
    DWORD logSize = 0;
    ULONGLONG indexSize = 0, indexEnd = (ULONGLONG)kIndexHeaderSize + (ULONGLONG)kIndexRecordSize * count;
    if (!LogFileSize(log, &logSize) || !FileGetSize(index, &indexSize))
        return FALSE;
    if (indexSize <= indexEnd)
        return TRUE;
    IndexRecord slots[2];
    DWORD read = 0;
    if (!SeekTo(index, indexEnd) || !ReadFull(index, slots, sizeof slots, &read))
        return FALSE;
    const IndexRecord* start = NULL;
    if (read >= sizeof slots[0] && StartsAPass(slots[0], indexedEnd, logSize))
        start = &slots[0];
    else if (read == sizeof slots && IsAppendMark(slots[1], indexedEnd, logSize))
        start = &slots[1];
    if (start && start->articleOffset < logSize && !FileTruncate(log, start->articleOffset))
        return FALSE;
    return FileTruncate(index, indexEnd);
}

BOOL MarkAppendStart(GroupRecord* group)
{
    DWORD logEnd = 0;
    if (!LogFileSize(group->LogHandle(), &logEnd))
        return FALSE;
    // Twice: a cut that tears the first while its record is written
    // leaves the second.
    IndexRecord mark;
    FillAppendMark(&mark, logEnd);
    DWORD slot = group->RecordCount();
    return group->WriteRecord(mark, slot) && group->WriteRecord(mark, slot + 1) && FileFlush(group->IndexHandle());
}

BOOL DropAppendMark(GroupRecord* group)
{
    ULONGLONG size = 0, end = (ULONGLONG)kIndexHeaderSize + (ULONGLONG)kIndexRecordSize * group->RecordCount();
    if (!FileGetSize(group->IndexHandle(), &size))
        return FALSE;
    return size <= end || FileTruncate(group->IndexHandle(), end);
}

wchar_t* ReadArticle(GroupRecord* group, DWORD offset, DWORD length)
{
    HANDLE log = CreateFileW(group->LogPath(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE)
        return NULL;
    wchar_t* text = NULL;
    DWORD size = 0;
    if (LogFileSize(log, &size)) {
        if (!RangeInsideLog(offset, length, size)) {
            SetLastError(ERROR_INVALID_DATA);
        } else if (length > kMaxArticleLength) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        } else {
            char* bytes = (char*)malloc((size_t)length + 1);
            if (!bytes) {
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            } else {
                if (ReadLogRange(log, size, offset, length, bytes)) {
                    bytes[length] = '\0';
                    text = ToWide(bytes);
                }
                free(bytes);
            }
        }
    }
    LastErrorKeeper keep;
    CloseHandle(log);
    return text;
}

BOOL Reprioritise(GroupRecord* group)
{
    if (!group->ReadHeader())
        return FALSE;
    KeywordFilter filter;
    filter.Construct();
    if (!filter.Load(group->FilterPath()))
        return FALSE;
    BOOL openedIndex = FALSE;
    if (group->IndexHandle() == INVALID_HANDLE_VALUE) {
        if (!group->OpenIndex()) {
            filter.Free();
            return FALSE;
        }
        openedIndex = TRUE;
    }
    HANDLE log = CreateFileW(group->LogPath(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD size = 0;
    if (log == INVALID_HANDLE_VALUE || !LogFileSize(log, &size)) {
        // Nothing examined: the counters stay as they are.
        LastErrorKeeper keep;
        if (log != INVALID_HANDLE_VALUE)
            CloseHandle(log);
        filter.Free();
        if (openedIndex)
            group->CloseIndex();
        return FALSE;
    }
    BOOL ok = TRUE;
    DWORD failure = 0;
    DWORD high = 0, low = 0;
    char subject[kStoreLineCapacity];
    for (DWORD i = 0; ok && i < group->RecordCount(); i++) {
        IndexRecord record;
        DWORD count = 1;
        if (!group->ReadRecords(i, &record, &count) || count != 1) {
            // The index ends before its records do.
            failure = ERROR_INVALID_DATA;
            ok = FALSE;
            break;
        }
        // A flags word torn by a cut loses its mark (unread again).
        BOOL torn = FlagsTorn(record.flags);
        if (torn)
            record.flags = 0;
        DWORD priority = RecordPriority(record);
        if (record.subjectLength >= sizeof subject
            || !ReadLogRange(log, size, record.subjectOffset, record.subjectLength, subject)) {
            // A damaged record keeps its priority, so the counters stay
            // true to the flags; the pass still reports the damage.
            if (!failure)
                failure = ERROR_INVALID_DATA;
        } else {
            DWORD fresh = filter.PriorityOf(subject, record.subjectLength);
            if (fresh != priority || torn) {
                SetRecordPriority(record, fresh);
                // The flags word alone: a cut can tear only what is written.
                if (!group->WriteFlags(record.flags, i)) {
                    failure = GetLastError();
                    ok = FALSE;
                    break;
                }
                priority = fresh;
            }
        }
        if (priority == kPriorityHigh)
            high++;
        else if (priority == kPriorityLow)
            low++;
    }
    CloseHandle(log);
    filter.Free();
    group->SetHighCount(high);
    group->SetLowCount(low);
    // The records reach the medium before the header that counts them.
    BOOL written = FileFlush(group->IndexHandle()) && group->WriteHeader(group->IndexHandle());
    if (!written && !failure)
        failure = GetLastError();
    if (openedIndex)
        group->CloseIndex();
    if (failure) {
        SetLastError(failure);
        return FALSE;
    }
    return TRUE;
}
