#include "store/SubjectList.h"
#include <stdlib.h>
#include <string.h>
#include "store/ArticleLog.h"
#include "store/FilePosition.h"
#include "store/KeywordFilter.h"
#include "store/LineReader.h"
#include "text/CodePage.h"
#include "text/LastErrorKeeper.h"

namespace {

enum {
    kNotListed = 0xFF,
    // A subject is one header line; anything longer is a damaged record.
    kMaxSubjectText = 65536,
    // Far more rows than any screen holds; keeps the window's size sane.
    kMaxPageSize = 4096
};

DWORD BoundedLength(const char* field, DWORD size)
{
    DWORD length = 0;
    while (length < size && field[length])
        ++length;
    return length;
}

DWORD ListedPriority(DWORD priority)
{
    if (priority == kPriorityHigh || priority == kPriorityLow)
        return priority;
    return kPriorityNormal;  // 3 counts as normal
}

// Records the index file can hold, whatever its header claims.
DWORD RecordsInFile(HANDLE index)
{
    ULONGLONG size;
    if (!FileGetSize(index, &size) || size < kIndexHeaderSize)
        return 0;
    ULONGLONG records = (size - kIndexHeaderSize) / kIndexRecordSize;
    return records > 0xFFFFFFFFULL ? 0xFFFFFFFF : (DWORD)records;
}

}  // namespace

// The mark is lost (unread again); the priority is the filter's for the
// subject, as when the article arrived.
BOOL SubjectList::RepairFlags(IndexRecord* record, DWORD index)
{
    KeywordFilter filter;
    filter.Construct();
    char subject[kStoreLineCapacity];
    DWORD priority = kPriorityNormal, logSize = 0;
    HANDLE log = CreateFileW(LogPath(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (log != INVALID_HANDLE_VALUE && record->subjectLength < sizeof subject
        && LogFileSize(log, &logSize) && filter.Load(FilterPath())
        && ReadLogRange(log, logSize, record->subjectOffset, record->subjectLength, subject))
        priority = filter.PriorityOf(subject, record->subjectLength);
    if (log != INVALID_HANDLE_VALUE)
        CloseHandle(log);
    filter.Free();
    record->flags = 0;
    SetRecordPriority(*record, priority);
    return WriteFlags(record->flags, index);
}

SubjectList::SubjectList()
{
    Construct();
}

SubjectList::~SubjectList()
{
    Destroy();
}

void SubjectList::Construct()
{
    Reset();
    pageSize_ = 0;
    visibleCount_ = 0;
    loadedCount_ = 0;
    top_ = 0;
    window_ = NULL;
    order_ = NULL;
    open_ = FALSE;
    showRead_ = FALSE;
    priorityLevel_ = kLevelNormalAndHigh;
    selection_ = 0;
    threaded_ = FALSE;
    threads_.Construct();
    lastArticle_ = serverLast_ = reservedWord_ = recordCount_ = 0;
    savedPosition_ = unreadCount_ = highCount_ = lowCount_ = 0;
}

void SubjectList::FreeList()
{
    free(window_);
    free(order_);
    window_ = NULL;
    order_ = NULL;
    threads_.Free();
    visibleCount_ = 0;
    loadedCount_ = 0;
    top_ = 0;
    selection_ = 0;
}

void SubjectList::Destroy()
{
    FreeList();
    Release();
    Reset();
    open_ = FALSE;
}

BOOL SubjectList::Open(const wchar_t* dataPath, const wchar_t* groupName)
{
    // A group left open keeps its marks' count: its header is written first.
    if (open_)
        Close();
    FreeList();
    if (!SetNames(dataPath, groupName) || !ReadHeader())
        return FALSE;
    open_ = TRUE;
    return TRUE;
}

BOOL SubjectList::IsListed(const IndexRecord& record) const
{
    if ((record.flags & kRecordRead) && !showRead_)
        return FALSE;
    DWORD priority = ListedPriority(RecordPriority(record));
    if (priorityLevel_ == kLevelHighOnly)
        return priority == kPriorityHigh;
    if (priorityLevel_ == kLevelNormalAndHigh)
        return priority != kPriorityLow;
    return TRUE;
}

// The regions are sized from the records themselves, not from the header's
// counters: a header that drifted from the flags (a pass that failed half
// way, a damaged file) then neither overruns a region nor misorders the
// list. The same pass puts exact counters back into the header.
BOOL SubjectList::Load(DWORD pageSize)
{
    FreeList();
    if (pageSize > kMaxPageSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    pageSize_ = pageSize;
    window_ = (IndexRecord*)malloc(sizeof(IndexRecord) * (pageSize ? pageSize : 1));
    if (!window_) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    BOOL openedHere = index_ == INVALID_HANDLE_VALUE;
    if (openedHere && !OpenIndex())
        return FALSE;

    DWORD total = RecordsInFile(index_);
    if (total > recordCount_)
        total = recordCount_;
    BYTE* marks = (BYTE*)malloc(total ? total : 1);
    order_ = (DWORD*)malloc(sizeof(DWORD) * (total ? total : 1));
    IndexRecord* batch = (IndexRecord*)malloc(sizeof(IndexRecord) * kRecordBatch);
    if (!marks || !order_ || !batch) {
        free(marks);
        free(batch);
        FreeList();
        if (openedHere)
            CloseIndex();
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }

    BOOL ok = TRUE;
    DWORD error = NO_ERROR;
    DWORD scanned = 0;
    DWORD unread = 0, high = 0, low = 0;
    while (scanned < total) {
        DWORD count = kRecordBatch;
        if (!ReadRecords(scanned, batch, &count)) {
            ok = FALSE;
            error = GetLastError();
            break;
        }
        if (count == 0)
            break;
        for (DWORD i = 0; i < count && scanned + i < total; ++i) {
            IndexRecord& record = batch[i];
            if (FlagsTorn(record.flags) && !RepairFlags(&record, scanned + i)) {
                ok = FALSE;
                error = GetLastError();
            }
            DWORD priority = ListedPriority(RecordPriority(record));
            if (!(record.flags & kRecordRead))
                ++unread;
            if (priority == kPriorityHigh)
                ++high;
            else if (priority == kPriorityLow)
                ++low;
            marks[scanned + i] = IsListed(record) ? (BYTE)priority : (BYTE)kNotListed;
        }
        scanned += count;
    }
    if (scanned > total)
        scanned = total;
    free(batch);
    BOOL threaded = threaded_ && ok && scanned == recordCount_
                 && threads_.Arrange(this, scanned, marks, order_, &visibleCount_);
    if (openedHere)
        CloseIndex();

    static const BYTE kRegionOrder[3] = {kPriorityHigh, kPriorityNormal, kPriorityLow};
    for (int region = 0; !threaded && region < 3; ++region) {
        for (DWORD i = 0; i < scanned; ++i) {
            if (marks[i] == kRegionOrder[region])
                order_[visibleCount_++] = i;
        }
    }
    free(marks);

    if (ok && scanned == recordCount_) {
        unreadCount_ = unread;
        highCount_ = high;
        lowCount_ = low;
    }
    top_ = 0;
    selection_ = 0;
    if (!LoadWindow(0))
        return FALSE;
    if (!ok) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL SubjectList::LoadWindow(DWORD top)
{
    if (!window_) {
        loadedCount_ = 0;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (top > visibleCount_)
        top = visibleCount_;
    top_ = top;
    loadedCount_ = 0;
    DWORD wanted = visibleCount_ - top < pageSize_ ? visibleCount_ - top : pageSize_;
    BOOL ok = TRUE;
    BOOL openedHere = FALSE;
    if (wanted > 0 && index_ == INVALID_HANDLE_VALUE) {
        if (!OpenIndex())
            ok = FALSE;
        else
            openedHere = TRUE;
    }
    // Runs of consecutive record numbers (the usual case) come in one read.
    while (ok && loadedCount_ < wanted) {
        DWORD start = order_[top + loadedCount_];
        DWORD run = 1;
        while (loadedCount_ + run < wanted && run < kRecordBatch
               && order_[top + loadedCount_ + run] == start + run)
            ++run;
        DWORD count = run;
        if (!ReadRecords(start, window_ + loadedCount_, &count)) {
            ok = FALSE;
            break;
        }
        loadedCount_ += count;
        if (count < run) {
            SetLastError(ERROR_INVALID_DATA);  // the index shrank since the load
            ok = FALSE;
        }
    }
    LastErrorKeeper keep;
    if (openedHere)
        CloseIndex();
    SetSelection(selection_);
    return ok;
}

void SubjectList::SetSelection(DWORD row)
{
    if (loadedCount_ == 0)
        selection_ = 0;
    else
        selection_ = row < loadedCount_ ? row : loadedCount_ - 1;
}

BOOL SubjectList::ChangeFlags(DWORD row, DWORD mask, BOOL set)
{
    if (row >= loadedCount_) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    IndexRecord& record = window_[row];
    if (mask & kRecordRead) {
        BOOL wasRead = (record.flags & kRecordRead) != 0;
        if (set && !wasRead && unreadCount_ > 0)
            --unreadCount_;
        else if (!set && wasRead)
            ++unreadCount_;
    }
    if (set)
        record.flags |= mask;
    else
        record.flags &= ~mask;
    return WriteFlags(record.flags, order_[top_ + row]);
}

BOOL SubjectList::SetFlags(DWORD row, DWORD mask)
{
    return ChangeFlags(row, mask, TRUE);
}

BOOL SubjectList::ClearFlags(DWORD row, DWORD mask)
{
    return ChangeFlags(row, mask, FALSE);
}

BOOL SubjectList::Close()
{
    if (!open_)
        return TRUE;
    open_ = FALSE;
    savedPosition_ = top_ + selection_;
    return WriteHeader();
}

DWORD SubjectList::WidestSender() const
{
    DWORD widest = 0;
    for (DWORD row = 0; row < loadedCount_; ++row) {
        DWORD length = BoundedLength(window_[row].sender, kSenderFieldSize);
        if (length > widest)
            widest = length;
    }
    return widest;
}

DWORD SubjectList::WidestSubject() const
{
    DWORD widest = 0;
    for (DWORD row = 0; row < loadedCount_; ++row) {
        DWORD length = BoundedLength(window_[row].subject, kSubjectFieldSize);
        if (length > widest)
            widest = length;
    }
    return widest;
}

const IndexRecord* SubjectList::Record(DWORD row) const
{
    return row < loadedCount_ ? &window_[row] : NULL;
}

const IndexRecord* SubjectList::SelectedRecord() const
{
    return Record(selection_);
}

DWORD SubjectList::RecordNumber(DWORD row) const
{
    return row < loadedCount_ ? order_[top_ + row] : 0xFFFFFFFF;
}

wchar_t* SubjectList::SelectedSubjectText()
{
    const IndexRecord* record = SelectedRecord();
    if (!record || !LogPath()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    DWORD length = record->subjectLength;
    if (length > kMaxSubjectText) {
        SetLastError(ERROR_INVALID_DATA);
        return NULL;
    }
    HANDLE log = CreateFileW(LogPath(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE)
        return NULL;
    char* bytes = (char*)malloc(length + 1);
    DWORD logSize = 0;
    BOOL ok = bytes != NULL;
    if (!ok)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    ok = ok && LogFileSize(log, &logSize)
         && (length == 0 || ReadLogRange(log, logSize, record->subjectOffset, length, bytes));
    DWORD error = GetLastError();
    CloseHandle(log);
    wchar_t* text = NULL;
    if (ok) {
        bytes[length] = '\0';
        text = ToWide(bytes);
        error = GetLastError();
    }
    free(bytes);
    if (!text)
        SetLastError(error);
    return text;
}

DWORD SubjectList::RowDepth(DWORD row) const
{
    return row < loadedCount_ ? threads_.Depth(order_[top_ + row]) : 0;
}

BOOL SubjectList::RowRepeatsSubject(DWORD row) const
{
    return row < loadedCount_ && threads_.RepeatsSubject(order_[top_ + row]);
}

DWORD SubjectList::HeldBytesPerArticle() const
{
    return threads_.Active() ? threads_.BytesPerArticle() : (DWORD)sizeof(DWORD);
}

BOOL SubjectList::MarkThreadRead(DWORD row)
{
    if (row >= loadedCount_ || !threads_.Active()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD root = threads_.Root(order_[top_ + row]);
    BOOL openedHere = index_ == INVALID_HANDLE_VALUE;
    if (openedHere && !OpenIndex())
        return FALSE;
    BOOL ok = TRUE;
    for (DWORD i = 0; ok && i < threads_.Count(); ++i) {
        if (threads_.Root(i) != root)
            continue;
        IndexRecord record;
        DWORD got = 1;
        ok = ReadRecords(i, &record, &got);
        if (ok && got == 1 && !(record.flags & kRecordRead)) {
            ok = WriteFlags(record.flags | kRecordRead, i);
            if (ok && unreadCount_ > 0)
                --unreadCount_;
        }
    }
    for (DWORD r = 0; ok && r < loadedCount_; ++r) {
        if (threads_.Root(order_[top_ + r]) == root)
            window_[r].flags |= kRecordRead;
    }
    LastErrorKeeper keep;
    if (openedHere)
        CloseIndex();
    return ok;
}
