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

// One line of the log, or the piece of it that fits `buffer`: a line too
// long for it, or one holding a zero byte (damage), comes in pieces, so
// that the walk goes on past it. `clean`: the piece is a whole line read as
// it is; `ended`: the line ends with this piece. Every byte is counted in
// `position`.
static BOOL ReadLogPiece(LineReader* reader, char* buffer, BOOL inPlace, const char** line,
                         ULONGLONG* position, DWORD* length, BOOL* clean, BOOL* ended)
{
    *clean = *ended = TRUE;
    *line = buffer;
    BOOL read = inPlace ? reader->ReadLineInPlace(buffer, kStoreLineCapacity, line, length)
                        : reader->ReadLine(buffer, kStoreLineCapacity, FALSE, length);
    if (!read) {
        DWORD error = GetLastError();
        if (error != ERROR_MORE_DATA && error != ERROR_INVALID_DATA)
            return FALSE;
        *line = buffer;
        *length = (DWORD)strlen(buffer);
        *clean = *ended = FALSE;
        if (error == ERROR_INVALID_DATA || (*length > 0 && buffer[*length - 1] == '\r')) {
            // The zero byte itself, or the LF that a CR at the piece's end
            // may be waiting for.
            SetLastError(ERROR_SUCCESS);
            char next = reader->NextByte();
            DWORD why = GetLastError();
            if (next == 0 && why != ERROR_SUCCESS) {
                if (why != ERROR_HANDLE_EOF)
                    return FALSE;
            } else {
                ++*length;
                *ended = next == '\n' && error == ERROR_MORE_DATA;
            }
        }
    }
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
    const char* text;
    BOOL clean, ended, inLine = FALSE;
    // A header line read in pieces is left out of the header; it still
    // takes its place in the block.
    for (;;) {
        ULONGLONG lineStart = *position;
        if (!ReadLogPiece(reader, line, FALSE, &text, position, &length, &clean, &ended))
            return FALSE;
        BOOL usable = clean && !inLine;
        inLine = !ended;
        if (!usable)
            continue;
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
        if (!ReadLogPiece(reader, line, TRUE, &text, position, &length, &clean, &ended))
            return FALSE;
        BOOL usable = clean && !inLine;
        inLine = !ended;
        if (usable && length == kArticleSeparatorLength && memcmp(text, kArticleSeparator, length) == 0)
            break;
    }
    *end = (DWORD)*position;
    return TRUE;
}

enum { kRebuildBatch = 128 };

// The record of the article just parsed, unread, with the filter's priority.
static void RecordFromParse(IndexRecord* record, DWORD start, DWORD end, DWORD subjectStart,
                            const ArticleHeader& header, const KeywordFilter& filter)
{
    GroupRecord::FillRecord(record, start, end, header.ArticleNumber(), header, filter);
    if (subjectStart != kNoHeaderLine)
        record->subjectOffset = subjectStart + 9;
}

static void NoteNumber(DWORD number, DWORD* highest)
{
    if (number != kNoArticleNumber && number > *highest)
        *highest = number;
}

// What the log holds is never fetched again.
static void TakeHighest(GroupRecord* group, DWORD highest)
{
    if (group->LastArticle() != kCatchUpPending && group->LastArticle() < highest)
        group->SetLastArticle(highest);
    if (group->ServerLast() < highest)
        group->SetServerLast(highest);
}

// Parses the whole log into `index`, whose header is left for the caller;
// `highest` receives the highest article number met.
static BOOL ParseLogIntoIndex(GroupRecord* group, HANDLE index, DWORD* highest)
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
            RecordFromParse(&batch[inBatch], start, end, subjectStart, header, filter);
            NoteNumber(header.ArticleNumber(), highest);
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
        if (ok && inBatch) {
            if (WriteAll(index, batch, sizeof(IndexRecord) * inBatch)) {
                for (DWORD i = 0; i < inBatch; i++)
                    group->CountAdded(batch[i]);
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
// it is unfinished. A rebuild that fails never writes that header.
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
    DWORD highest = 0;
    BOOL ok = WriteAll(index, blank, sizeof blank) && ParseLogIntoIndex(group, index, &highest);
    group->CloseLog();
    if (ok) {
        TakeHighest(group, highest);
        // The records reach the medium before the header that counts them.
        // The header goes to the medium first only when the old index it
        // replaces holds values of its own; in place of a missing one, a
        // header lost to a cut is made again from the log at the start.
        ok = FileFlush(index) && group->WriteHeader(index) && (!replacing || FileFlush(index));
    }
    DWORD error = GetLastError();
    CloseHandle(index);
    if (ok && !FileReplace(temp, group->IndexPath())) {
        error = GetLastError();
        ok = FALSE;
    }
    if (!ok)
        FileDropTemp(temp, group->IndexPath());
    SetLastError(error);
    return ok;
}

// What a pass appends and what it may leave when it dies or the power
// fails. A pass writes the log's end into the two index slots after the
// last record (its append mark: no number, no length) and flushes them
// before it appends a byte; its first two articles' records later take
// those slots, the first with the same offset. The header, written after
// the log and index are flushed, counts the records, and is flushed too.
// The log is the truth; the header's count only says where to look:
//
//   left behind                          resolution
//   whole articles past the counted      taken in: the record in their slot
//   records (a pass killed, or its       when it is intact and matches the
//   header lost or torn)                 article, else a fresh unread one
//   an unfinished block at the log's     cut, when it lies past the append
//   end                                  mark of the pass that died (first
//                                        slot, or second when the first is
//                                        torn); else kept: no pass marked it
//   a last counted record that cannot    every article taken in again from
//   be right (torn, outside the log)     the log's start, as above
//
// Nothing whole is cut, so a rebuild's or an older release's unreadable
// bytes stay; a pass appends after them.
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

BOOL RecordFits(const IndexRecord& record, DWORD logSize)
{
    return !FlagsTorn(record.flags) && RecordPriority(record) != (kPriorityLow | kPriorityHigh)
        && record.articleLength > 0 && RangeInsideLog(record.articleOffset, record.articleLength, logSize)
        && record.subjectOffset >= record.articleOffset
        && RangeInsideLog(record.subjectOffset - record.articleOffset, record.subjectLength, record.articleLength);
}

// The slot's record describes the article parsed into `fresh`.
static BOOL SameArticle(const IndexRecord& slot, const IndexRecord& fresh)
{
    return !FlagsTorn(slot.flags) && RecordPriority(slot) != (kPriorityLow | kPriorityHigh)
        && slot.articleNumber == fresh.articleNumber && slot.articleOffset == fresh.articleOffset
        && slot.articleLength == fresh.articleLength && slot.subjectOffset == fresh.subjectOffset
        && slot.subjectLength == fresh.subjectLength;
}

// Record `slot` as the file holds it; FALSE past the file's end.
static BOOL ReadSlot(HANDLE index, ULONGLONG indexSize, DWORD slot, IndexRecord* record, BOOL* there)
{
    *there = IndexRecordOffset(0) + (ULONGLONG)kIndexRecordSize * (slot + 1ULL) <= indexSize;
    DWORD read = 0;
    return !*there
        || (SeekTo(index, IndexRecordOffset(0) + (ULONGLONG)kIndexRecordSize * slot)
            && ReadFull(index, record, sizeof *record, &read) && read == sizeof *record);
}

struct TailWalk {
    KeywordFilter filter;
    ArticleHeader header;
    LineReader* reader;
    char* block;
    char line[kStoreLineCapacity];

    BOOL Init()
    {
        filter.Construct();
        header.Construct();
        reader = (LineReader*)malloc(sizeof(LineReader));
        block = (char*)malloc(kLogReadBlock);
        if (!reader || !block) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
        return header.Init();
    }
    BOOL StartAt(HANDLE log, DWORD offset)
    {
        if (!SeekTo(log, offset))
            return FALSE;
        reader->Init(log, block, kLogReadBlock);
        return TRUE;
    }
    void Free()
    {
        filter.Free();
        header.Free();
        free(reader);
        free(block);
    }
};

static BOOL WalkLogTail(GroupRecord* group, TailWalk* walk, DWORD indexedEnd, ULONGLONG indexSize,
                        DWORD mark, DWORD logSize)
{
    HANDLE log = group->LogHandle();
    HANDLE index = group->IndexHandle();
    if (!walk->filter.Load(group->FilterPath()) || !walk->StartAt(log, indexedEnd))
        return FALSE;
    DWORD saved = GetLastError();
    ULONGLONG position = indexedEnd;
    DWORD highest = 0, cut = logSize;
    for (;;) {
        DWORD start, end = 0, subjectStart;
        BOOL whole = ParseNextArticle(walk->reader, walk->line, &walk->header, &position, &start, &end,
                                      &subjectStart);
        if (!whole && GetLastError() != ERROR_HANDLE_EOF)
            return FALSE;
        DWORD at = group->RecordCount();
        IndexRecord fresh, slot;
        BOOL there;
        if (!ReadSlot(index, indexSize, at, &slot, &there))
            return FALSE;
        // Where the index or the dead pass's mark says an article begins:
        // the bytes before it are an old unfinished block, never part of
        // the article after it.
        DWORD next = there && RecordFits(slot, logSize) && slot.articleOffset > start ? slot.articleOffset : logSize;
        if (mark > start && mark < next)
            next = mark;
        if (next < logSize && (!whole || next < end)) {
            position = next;
            if (!walk->StartAt(log, next))
                return FALSE;
            continue;
        }
        if (!whole) {
            if (mark <= start)
                cut = start;
            break;
        }
        RecordFromParse(&fresh, start, end, subjectStart, walk->header, walk->filter);
        if (there && SameArticle(slot, fresh))
            fresh = slot;
        else if (!group->WriteRecord(fresh, at))
            return FALSE;
        group->CountAdded(fresh);
        NoteNumber(fresh.articleNumber, &highest);
    }
    if (cut < logSize && !FileTruncate(log, cut))
        return FALSE;
    TakeHighest(group, highest);
    SetLastError(saved);
    return TRUE;
}

BOOL TakeInLogTail(GroupRecord* group, BOOL trustMarks)
{
    HANDLE log = group->LogHandle();
    HANDLE index = group->IndexHandle();
    DWORD logSize = 0;
    ULONGLONG indexSize = 0;
    if (!LogFileSize(log, &logSize) || !FileGetSize(index, &indexSize))
        return FALSE;
    DWORD count = group->RecordCount();
    DWORD indexedEnd = 0;
    // A header not believed is written anew whatever the walk finds.
    BOOL recount = !trustMarks;
    if (count > 0) {
        IndexRecord last;
        BOOL there;
        if (!ReadSlot(index, indexSize, count - 1, &last, &there))
            return FALSE;
        if (there && RecordFits(last, logSize)) {
            indexedEnd = last.articleOffset + last.articleLength;
        } else {
            group->SetRecordCount(0);
            group->SetUnreadCount(0);
            group->SetHighCount(0);
            group->SetLowCount(0);
            trustMarks = FALSE;
            recount = TRUE;
            count = 0;
        }
    }
    if (!recount && indexedEnd == logSize && indexSize == IndexRecordOffset(count))
        return TRUE;
    // The dead pass's start, where its unfinished block may be cut from.
    DWORD mark = 0xFFFFFFFF;
    IndexRecord slots[2];
    BOOL there[2];
    if (!ReadSlot(index, indexSize, count, &slots[0], &there[0])
        || !ReadSlot(index, indexSize, count + 1, &slots[1], &there[1]))
        return FALSE;
    if (trustMarks && there[0] && StartsAPass(slots[0], indexedEnd, logSize))
        mark = slots[0].articleOffset;
    else if (trustMarks && there[1] && IsAppendMark(slots[1], indexedEnd, logSize))
        mark = slots[1].articleOffset;
    DWORD last = group->LastArticle(), serverLast = group->ServerLast();
    TailWalk walk;
    BOOL ok = walk.Init() && WalkLogTail(group, &walk, indexedEnd, indexSize, mark, logSize);
    {
        LastErrorKeeper keep;
        walk.Free();
    }
    ULONGLONG newLogSize = 0;
    if (!ok || !FileGetSize(log, &newLogSize))
        return FALSE;
    ULONGLONG indexEnd = IndexRecordOffset(group->RecordCount());
    // Old unreadable bytes alone change nothing: the files stay as they are.
    if (!recount && count == group->RecordCount() && indexSize == indexEnd && newLogSize == logSize
        && last == group->LastArticle() && serverLast == group->ServerLast())
        return TRUE;
    // The records reach the medium before the header that counts them.
    return (indexSize == indexEnd || FileTruncate(index, indexEnd))
        && FileFlush(log) && FileFlush(index) && group->WriteHeader(index) && FileFlush(index);
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
