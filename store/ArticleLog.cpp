#include "store/ArticleLog.h"
#include "store/ArticleHeader.h"
#include "store/FileOps.h"
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
    LARGE_INTEGER value;
    if (!GetFileSizeEx(log, &value))
        return FALSE;
    if (value.QuadPart > 0xFFFFFFFFLL) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    *size = (DWORD)value.QuadPart;
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

BOOL CutUnindexedTail(GroupRecord* group)
{
    HANDLE log = group->LogHandle();
    HANDLE index = group->IndexHandle();
    ULONGLONG end = 0;
    DWORD count = group->RecordCount();
    if (count > 0) {
        IndexRecord last;
        DWORD read = 1;
        if (!group->ReadRecords(count - 1, &last, &read) || read != 1)
            return TRUE;   // a damaged index: nothing is cut on its word
        end = (ULONGLONG)last.articleOffset + last.articleLength;
    }
    LARGE_INTEGER logSize, indexSize;
    if (!GetFileSizeEx(log, &logSize) || !GetFileSizeEx(index, &indexSize))
        return FALSE;
    if ((ULONGLONG)logSize.QuadPart > end && !FileTruncate(log, end))
        return FALSE;
    ULONGLONG indexEnd = (ULONGLONG)kIndexHeaderSize + (ULONGLONG)kIndexRecordSize * count;
    if ((ULONGLONG)indexSize.QuadPart > indexEnd && !FileTruncate(index, indexEnd))
        return FALSE;
    return TRUE;
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
        DWORD priority = RecordPriority(record);
        if (record.subjectLength >= sizeof subject
            || !ReadLogRange(log, size, record.subjectOffset, record.subjectLength, subject)) {
            // A damaged record keeps its priority, so the counters stay
            // true to the flags; the pass still reports the damage.
            if (!failure)
                failure = ERROR_INVALID_DATA;
        } else {
            DWORD fresh = filter.PriorityOf(subject, record.subjectLength);
            if (fresh != priority) {
                SetRecordPriority(record, fresh);
                if (!group->WriteRecord(record, i)) {
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
