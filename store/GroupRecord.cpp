#include "store/GroupRecord.h"
#include "store/ArticleHeader.h"
#include "store/FileOps.h"
#include "store/KeywordFilter.h"
#include "store/StorePath.h"
#include "text/CodePage.h"
#include "text/LastErrorKeeper.h"
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

void GroupRecord::Reset()
{
    index_ = INVALID_HANDLE_VALUE;
    log_ = INVALID_HANDLE_VALUE;
    indexPath_ = NULL;
    logPath_ = NULL;
    filterPath_ = NULL;
    stateText_ = NULL;
    lastArticle_ = 0;
    serverLast_ = 0;
    reservedWord_ = 0;
    recordCount_ = 0;
    savedPosition_ = 0;
    unreadCount_ = 0;
    highCount_ = 0;
    lowCount_ = 0;
}

BOOL GroupRecord::SetNames(const wchar_t* dataPath, const wchar_t* groupName)
{
    free(indexPath_);
    free(logPath_);
    free(filterPath_);
    indexPath_ = ConcatPath(dataPath, groupName, L".idx");
    logPath_ = ConcatPath(dataPath, groupName, L".log");
    filterPath_ = ConcatPath(dataPath, groupName, L".flt");
    lastArticle_ = 0;
    serverLast_ = 0;
    unreadCount_ = 0;
    if (!indexPath_ || !logPath_ || !filterPath_) {
        free(indexPath_);
        free(logPath_);
        free(filterPath_);
        indexPath_ = logPath_ = filterPath_ = NULL;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return TRUE;
}

void GroupRecord::Clear()
{
    free(stateText_);
    stateText_ = NULL;
    CloseIndex();
    lastArticle_ = 0;
    serverLast_ = 0;
    reservedWord_ = 0;
    recordCount_ = 0;
    savedPosition_ = 0;
    unreadCount_ = 0;
    highCount_ = 0;
    lowCount_ = 0;
}

BOOL GroupRecord::ReadHeader()
{
    if (!indexPath_) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Clear();
    HANDLE file = CreateFileW(indexPath_, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    IndexHeader header;
    DWORD read = 0;
    BOOL ok = ReadFull(file, &header, sizeof header, &read);
    {
        LastErrorKeeper keep;
        CloseHandle(file);
    }
    if (!ok)
        return FALSE;
    if (read < sizeof header || header.version != kIndexVersion) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    lastArticle_ = header.lastArticle;
    serverLast_ = header.serverLast;
    reservedWord_ = header.reservedWord;
    recordCount_ = header.recordCount;
    savedPosition_ = header.savedPosition;
    unreadCount_ = header.unreadCount;
    highCount_ = header.highCount;
    lowCount_ = header.lowCount;
    char state[kStateTextFieldSize + 1];
    memcpy(state, header.stateText, kStateTextFieldSize);
    state[kStateTextFieldSize] = '\0';
    stateText_ = ToWide(state);
    if (!stateText_) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return TRUE;
}

BOOL GroupRecord::BuildHeader(IndexHeader* header)
{
    memset(header, 0, sizeof *header);
    header->version = kIndexVersion;
    header->lastArticle = lastArticle_;
    header->serverLast = serverLast_;
    header->reservedWord = reservedWord_;
    header->recordCount = recordCount_;
    header->savedPosition = savedPosition_;
    header->unreadCount = unreadCount_;
    header->highCount = highCount_;
    header->lowCount = lowCount_;
    char* state = ToMultiByte(StateText());
    if (!state)
        return FALSE;
    // A text longer than the field loses its tail, never half a character.
    BoundedCopy(header->stateText, state, kStateTextFieldSize - 1);
    free(state);
    return TRUE;
}

BOOL GroupRecord::WriteHeader(HANDLE file)
{
    IndexHeader header;
    if (!BuildHeader(&header))
        return FALSE;
    if (file != INVALID_HANDLE_VALUE) {
        if (!SeekTo(file, 0))
            return FALSE;
        return WriteAll(file, &header, sizeof header);
    }
    if (!indexPath_) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    file = FileCreate(indexPath_, GENERIC_WRITE, 0, OPEN_ALWAYS);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    BOOL ok = WriteAll(file, &header, sizeof header) && FileFlush(file);
    LastErrorKeeper keep;
    CloseHandle(file);
    return ok;
}

BOOL GroupRecord::StoreHeader(HANDLE file)
{
    IndexHeader header, stored;
    DWORD read = 0;
    if (!BuildHeader(&header))
        return FALSE;
    if (SeekTo(file, 0) && ReadFull(file, &stored, sizeof stored, &read) && read == sizeof stored
        && memcmp(&header, &stored, sizeof header) == 0)
        return TRUE;
    return SeekTo(file, 0) && WriteAll(file, &header, sizeof header) && FileFlush(file);
}

void GroupRecord::Release()
{
    free(indexPath_);
    free(logPath_);
    free(filterPath_);
    free(stateText_);
    indexPath_ = logPath_ = filterPath_ = NULL;
    stateText_ = NULL;
    CloseIndex();
}

// Read and write, not shared, created when missing: a second opener fails
// rather than interleaves.
static HANDLE OpenExclusive(const wchar_t* path)
{
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return FileCreate(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS);
}

BOOL GroupRecord::OpenIndex()
{
    CloseIndex();
    // OPEN_ALWAYS reports ERROR_ALREADY_EXISTS for a file that existed; that
    // is no failure.
    index_ = OpenExclusive(indexPath_);
    return index_ != INVALID_HANDLE_VALUE;
}

void GroupRecord::CloseIndex()
{
    if (index_ != INVALID_HANDLE_VALUE)
        CloseHandle(index_);
    index_ = INVALID_HANDLE_VALUE;
}

BOOL GroupRecord::OpenLog()
{
    CloseLog();
    log_ = OpenExclusive(logPath_);
    return log_ != INVALID_HANDLE_VALUE;
}

void GroupRecord::CloseLog()
{
    if (log_ != INVALID_HANDLE_VALUE)
        CloseHandle(log_);
    log_ = INVALID_HANDLE_VALUE;
}

BOOL GroupRecord::SetStateText(const wchar_t* text)
{
    wchar_t* copy = NULL;
    if (text) {
        size_t length = wcslen(text);
        copy = (wchar_t*)malloc((length + 1) * sizeof(wchar_t));
        if (!copy) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
        memcpy(copy, text, (length + 1) * sizeof(wchar_t));
    }
    free(stateText_);
    stateText_ = copy;
    return TRUE;
}

// ---- record I/O --------------------------------------------------------

BOOL GroupRecord::ReadRecords(DWORD first, IndexRecord* buffer, DWORD* count)
{
    if (first >= recordCount_ || !buffer) {
        *count = 0;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD wanted = *count;
    if (wanted > recordCount_ - first)
        wanted = recordCount_ - first;
    // One read of at most 2 GiB; callers ask for a screenful.
    if ((ULONGLONG)wanted * kIndexRecordSize > 0x7FFFFFFF)
        wanted = 0x7FFFFFFF / kIndexRecordSize;
    BOOL opened = FALSE;
    if (index_ == INVALID_HANDLE_VALUE) {
        if (!OpenIndex()) {
            *count = 0;
            return FALSE;
        }
        opened = TRUE;
    }
    BOOL ok = SeekTo(index_, (ULONGLONG)kIndexHeaderSize + (ULONGLONG)kIndexRecordSize * first);
    DWORD read = 0;
    if (ok)
        ok = ReadFull(index_, buffer, wanted * kIndexRecordSize, &read);
    *count = ok ? read / kIndexRecordSize : 0;
    LastErrorKeeper keep;
    if (opened)
        CloseIndex();
    return ok;
}

BOOL GroupRecord::WriteRecord(const IndexRecord& record, DWORD index)
{
    BOOL opened = FALSE;
    if (index_ == INVALID_HANDLE_VALUE) {
        if (!OpenIndex())
            return FALSE;
        opened = TRUE;
    }
    BOOL ok = TRUE;
    if (index != kCurrentPosition)
        ok = SeekTo(index_, (ULONGLONG)kIndexHeaderSize + (ULONGLONG)kIndexRecordSize * index);
    if (ok)
        ok = WriteAll(index_, &record, sizeof record);
    LastErrorKeeper keep;
    if (opened)
        CloseIndex();
    return ok;
}

BOOL GroupRecord::WriteFlags(DWORD flags, DWORD index)
{
    BOOL opened = FALSE;
    if (index_ == INVALID_HANDLE_VALUE) {
        if (!OpenIndex())
            return FALSE;
        opened = TRUE;
    }
    BOOL ok = SeekTo(index_, IndexRecordOffset(index)) && WriteAll(index_, &flags, sizeof flags);
    LastErrorKeeper keep;
    if (opened)
        CloseIndex();
    return ok;
}

void GroupRecord::FillRecord(IndexRecord* record, DWORD articleStart, DWORD articleEnd,
                             DWORD articleNumber, const ArticleHeader& header,
                             const KeywordFilter& filter)
{
    memset(record, 0, sizeof *record);
    record->articleNumber = articleNumber;
    record->articleOffset = articleStart;
    record->articleLength = articleEnd - articleStart;
    header.SubjectField(record->subject);
    header.DateField(record->date);
    header.SenderField(record->sender);
    DWORD priority = kPriorityNormal;
    if (header.SubjectOffset() != kNoHeaderLine && header.SubjectLength() >= 11) {
        // The header buffer holds the very bytes written to the log; the
        // matched text keeps the line's CR LF.
        priority = filter.PriorityOf(header.Buffer() + header.SubjectOffset() + 9,
                                     header.SubjectLength() - 9);
        record->subjectOffset = articleStart + header.SubjectOffset() + 9;
        record->subjectLength = header.SubjectLength() - 11;
    } else {
        // No Subject line: an empty text at the block start.
        record->subjectOffset = articleStart;
        record->subjectLength = 0;
    }
    SetRecordPriority(*record, priority);
}

void GroupRecord::CountAdded(const IndexRecord& record)
{
    recordCount_++;
    if (!(record.flags & kRecordRead))
        unreadCount_++;
    DWORD priority = RecordPriority(record);
    if (priority == kPriorityHigh)
        highCount_++;
    else if (priority == kPriorityLow)
        lowCount_++;
}

BOOL GroupRecord::AddRecord(DWORD articleStart, DWORD articleEnd, DWORD articleNumber,
                            const ArticleHeader& header, const KeywordFilter& filter)
{
    IndexRecord record;
    FillRecord(&record, articleStart, articleEnd, articleNumber, header, filter);
    if (!WriteRecord(record, recordCount_))
        return FALSE;
    CountAdded(record);
    return TRUE;
}
