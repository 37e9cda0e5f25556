#include "store/IndexUpgrade.h"
#include "store/ArticleHeader.h"
#include "store/ArticleLog.h"
#include "store/FileOps.h"
#include "store/GroupRecord.h"
#include "store/LineReader.h"
#include "store/StorePath.h"
#include "text/CodePage.h"
#include "text/LastErrorKeeper.h"
#include <stdlib.h>
#include <string.h>

BOOL ReadVersion1Index(GroupRecord* group)
{
    group->Clear();
    HANDLE file = CreateFileW(group->IndexPath(), GENERIC_READ, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    LineReader* reader = (LineReader*)malloc(sizeof(LineReader));
    if (!reader) {
        CloseHandle(file);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    reader->Init(file);
    char line[kStoreLineCapacity];
    DWORD length;
    BOOL ok = reader->ReadLine(line, sizeof line, FALSE, &length);
    if (ok) {
        const char* cursor = line;
        group->SetLastArticle(ParseNumber(&cursor));
        if (!cursor) {
            SetLastError(ERROR_INVALID_DATA);
            ok = FALSE;
        }
    }
    if (ok)
        ok = reader->ReadLine(line, sizeof line, FALSE, &length);
    if (ok) {
        if (length >= 2 && line[length - 2] == '\r' && line[length - 1] == '\n')
            line[length - 2] = '\0';
        wchar_t* state = ToWide(line);
        ok = state && group->SetStateText(state);
        free(state);
    }
    if (ok) {
        // A missing line is no failure.
        LastErrorKeeper keep;
        for (int i = 0; i < 2; i++) {
            if (!reader->ReadLine(line, sizeof line, FALSE, &length))
                break;
            const char* cursor = line;
            DWORD value = ParseNumber(&cursor);
            if (!cursor)
                value = 0;
            if (i == 0)
                group->SetServerLast(value);
            else
                group->SetReservedWord(value);
        }
    }
    LastErrorKeeper keep;
    free(reader);
    CloseHandle(file);
    return ok;
}

namespace {

// The files one upgrade step works on. The temporary file is removed again
// unless it was moved into place, so a failed step leaves the old index.
struct UpgradeStep {
    wchar_t* indexPath;
    wchar_t* tempPath;
    wchar_t* logPath;
    HANDLE oldIndex;
    HANDLE temp;
    HANDLE log;
    BOOL createdTemp;
    LineReader* reader;
    char* block;
    ArticleHeader header;
    char line[kStoreLineCapacity];
    ULONGLONG position;

    BOOL Open(const wchar_t* dataPath, const wchar_t* groupName, BOOL withLog)
    {
        oldIndex = temp = log = INVALID_HANDLE_VALUE;
        createdTemp = FALSE;
        reader = NULL;
        block = NULL;
        header.Construct();
        position = 0;
        indexPath = ConcatPath(dataPath, groupName, L".idx");
        logPath = ConcatPath(dataPath, groupName, L".log");
        tempPath = indexPath ? ConcatPath(indexPath, L"~") : NULL;
        if (!indexPath || !logPath || !tempPath) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
        oldIndex = CreateFileW(indexPath, GENERIC_READ, withLog ? 0 : FILE_SHARE_READ, NULL,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (oldIndex == INVALID_HANDLE_VALUE)
            return FALSE;
        // The data initialisation has settled any leftover before; one
        // still there fails the step (ERROR_FILE_EXISTS) and is left alone.
        temp = FileCreate(tempPath, GENERIC_WRITE, 0, CREATE_NEW);
        if (temp == INVALID_HANDLE_VALUE)
            return FALSE;
        createdTemp = TRUE;
        if (!withLog)
            return TRUE;
        log = CreateFileW(logPath, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (log == INVALID_HANDLE_VALUE)
            return FALSE;
        reader = (LineReader*)malloc(sizeof(LineReader));
        block = (char*)malloc(kLogReadBlock);
        if (!reader || !block || !header.Init()) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
        reader->Init(log, block, kLogReadBlock);
        return TRUE;
    }

    // The next article of the log; FALSE with ERROR_HANDLE_EOF when there is
    // none.
    BOOL NextArticle(DWORD* start, DWORD* subjectStart)
    {
        DWORD end;
        return ParseNextArticle(reader, line, &header, &position, start, &end, subjectStart);
    }

    void CloseFiles()
    {
        if (oldIndex != INVALID_HANDLE_VALUE)
            CloseHandle(oldIndex);
        if (temp != INVALID_HANDLE_VALUE)
            CloseHandle(temp);
        if (log != INVALID_HANDLE_VALUE)
            CloseHandle(log);
        oldIndex = temp = log = INVALID_HANDLE_VALUE;
    }

    // Ends the step: on success the new index, once on the medium, takes
    // the old one's place in one move, so that a kill leaves one of them.
    BOOL Finish(BOOL ok)
    {
        DWORD error = GetLastError();
        if (ok && !FileFlush(temp)) {
            error = GetLastError();
            ok = FALSE;
        }
        CloseFiles();
        if (ok) {
            if (FileReplace(tempPath, indexPath)) {
                createdTemp = FALSE;
            } else {
                // A read-only or locked index stays as it was.
                error = GetLastError();
                ok = FALSE;
            }
        }
        if (createdTemp)
            FileDropTemp(tempPath, indexPath);
        free(indexPath);
        free(tempPath);
        free(logPath);
        free(reader);
        free(block);
        header.Free();
        SetLastError(error);
        return ok;
    }
};

BOOL ReadExactly(HANDLE file, void* data, DWORD length)
{
    DWORD read = 0;
    if (!ReadFull(file, data, length, &read))
        return FALSE;
    if (read != length) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    return TRUE;
}

BOOL WriteAt(HANDLE file, DWORD offset, const void* data, DWORD length)
{
    return SeekTo(file, offset) && WriteAll(file, data, length);
}

enum {
    kHeader2Size = 88, kHeader3Size = 92, kRecord2Size = 64, kRecord4Size = 84,
    kRecordCountAt = 16, kUnreadCountAt = 88
};

DWORD WordAt(const char* bytes, DWORD offset)
{
    DWORD value;
    memcpy(&value, bytes + offset, 4);
    return value;
}

void SetWordAt(char* bytes, DWORD offset, DWORD value)
{
    memcpy(bytes + offset, &value, 4);
}

} // namespace

BOOL UpgradeIndex2To3(const wchar_t* dataPath, const wchar_t* groupName)
{
    UpgradeStep step;
    if (!step.Open(dataPath, groupName, FALSE))
        return step.Finish(FALSE);
    char header[kHeader3Size];
    if (!ReadExactly(step.oldIndex, header, kHeader2Size))
        return step.Finish(FALSE);
    SetWordAt(header, 0, 3);
    SetWordAt(header, kUnreadCountAt, 0xFFFFFFFF);
    if (!WriteAll(step.temp, header, kHeader3Size))
        return step.Finish(FALSE);
    char chunk[20 * kRecord2Size];
    DWORD unread = 0;
    for (;;) {
        DWORD read = 0;
        if (!ReadFull(step.oldIndex, chunk, sizeof chunk, &read))
            return step.Finish(FALSE);
        if (read == 0)
            break;
        for (DWORD at = 0; at + kRecord2Size <= read; at += kRecord2Size)
            if (!(WordAt(chunk, at) & kRecordRead))
                unread++;
        if (!WriteAll(step.temp, chunk, read))
            return step.Finish(FALSE);
    }
    SetWordAt(header, kUnreadCountAt, unread);
    return step.Finish(WriteAt(step.temp, 0, header, kHeader3Size));
}

BOOL UpgradeIndex3To4(const wchar_t* dataPath, const wchar_t* groupName)
{
    UpgradeStep step;
    if (!step.Open(dataPath, groupName, TRUE))
        return step.Finish(FALSE);
    char header[kHeader3Size];
    if (!ReadExactly(step.oldIndex, header, kHeader3Size))
        return step.Finish(FALSE);
    SetWordAt(header, 0, 4);
    if (!WriteAll(step.temp, header, kHeader3Size))
        return step.Finish(FALSE);
    // Only records the header counts, and only those with an article in
    // the log, are carried; the header then counts what was carried.
    DWORD remaining = WordAt(header, kRecordCountAt);
    DWORD written = 0, unread = 0;
    BOOL logEnded = FALSE;
    char chunk[20 * kRecord2Size];
    while (remaining > 0) {
        DWORD read = 0;
        if (!ReadFull(step.oldIndex, chunk, sizeof chunk, &read))
            return step.Finish(FALSE);
        if (read < kRecord2Size)
            break;
        for (DWORD at = 0; at + kRecord2Size <= read && remaining > 0; at += kRecord2Size) {
            remaining--;
            if (logEnded)
                continue;
            DWORD start, subjectStart;
            if (!step.NextArticle(&start, &subjectStart)) {
                if (GetLastError() != ERROR_HANDLE_EOF)
                    return step.Finish(FALSE);
                logEnded = TRUE;
                continue;
            }
            IndexRecord record;
            memset(&record, 0, sizeof record);
            memcpy(&record, chunk + at, 16);
            step.header.SubjectField(record.subject);
            step.header.DateField(record.date);
            step.header.SenderField(record.sender);
            if (!WriteAll(step.temp, &record, kRecord4Size))
                return step.Finish(FALSE);
            written++;
            if (!(record.flags & kRecordRead))
                unread++;
        }
    }
    SetWordAt(header, kRecordCountAt, written);
    SetWordAt(header, kUnreadCountAt, unread);
    return step.Finish(WriteAt(step.temp, 0, header, kHeader3Size));
}

BOOL UpgradeIndex4To5(const wchar_t* dataPath, const wchar_t* groupName)
{
    UpgradeStep step;
    if (!step.Open(dataPath, groupName, TRUE))
        return step.Finish(FALSE);
    char old[kHeader3Size];
    if (!ReadExactly(step.oldIndex, old, kHeader3Size))
        return step.Finish(FALSE);
    IndexHeader header;
    memset(&header, 0, sizeof header);
    memcpy(&header, old, kHeader2Size);
    header.version = kIndexVersion;
    header.unreadCount = WordAt(old, kUnreadCountAt);
    if (!WriteAll(step.temp, &header, sizeof header))
        return step.Finish(FALSE);
    // The counters are taken from the records carried, so that they agree
    // with the flags from the start.
    DWORD remaining = header.recordCount;
    DWORD written = 0, unread = 0, high = 0, low = 0;
    char chunk[20 * kRecord4Size];
    while (remaining > 0) {
        DWORD read = 0;
        if (!ReadFull(step.oldIndex, chunk, sizeof chunk, &read))
            return step.Finish(FALSE);
        if (read < kRecord4Size)
            break;
        for (DWORD at = 0; at + kRecord4Size <= read && remaining > 0; at += kRecord4Size) {
            remaining--;
            DWORD start, subjectStart;
            if (!step.NextArticle(&start, &subjectStart)) {
                if (GetLastError() == ERROR_HANDLE_EOF)
                    SetLastError(ERROR_INVALID_DATA);
                return step.Finish(FALSE);
            }
            IndexRecord record;
            memset(&record, 0, sizeof record);
            memcpy(&record, chunk + at, 16);
            step.header.SubjectField(record.subject);
            step.header.DateField(record.date);
            step.header.SenderField(record.sender);
            if (subjectStart != kNoHeaderLine && step.header.SubjectLength() >= 11) {
                record.subjectOffset = record.articleOffset + (subjectStart - start) + 9;
                record.subjectLength = step.header.SubjectLength() - 11;
            } else {
                record.subjectOffset = record.articleOffset;
            }
            if (!WriteAll(step.temp, &record, sizeof record))
                return step.Finish(FALSE);
            written++;
            if (!(record.flags & kRecordRead))
                unread++;
            DWORD priority = RecordPriority(record);
            if (priority == kPriorityHigh)
                high++;
            else if (priority == kPriorityLow)
                low++;
        }
    }
    header.recordCount = written;
    header.unreadCount = unread;
    header.highCount = high;
    header.lowCount = low;
    return step.Finish(WriteAt(step.temp, 0, &header, sizeof header));
}
