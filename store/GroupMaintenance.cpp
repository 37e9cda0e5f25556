#include "store/GroupMaintenance.h"
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "store/ArticleLog.h"
#include "store/FileOps.h"
#include "store/GroupListReader.h"
#include "store/GroupRecord.h"
#include "store/KeywordFilter.h"
#include "store/ThreadFile.h"
#include "text/LastErrorKeeper.h"

namespace {

// Records go through in batches (kRecordBatch); the log through fixed
// buffers, so that a long article (or a damaged length) never needs a
// buffer of its size.
enum { kCopyBufferSize = 65536 };

struct CompactionFiles {
    CompactionNames names;
    HANDLE oldLog;
    HANDLE newIndex;
    HANDLE newLog;
};

void CloseIfOpen(HANDLE* file)
{
    if (*file != INVALID_HANDLE_VALUE) {
        CloseHandle(*file);
        *file = INVALID_HANDLE_VALUE;
    }
}

BOOL IsReadOnly(const wchar_t* path)
{
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// Serves byte ranges of the old log from one buffer: the kept articles lie
// in file order, so most ranges come from what was read for the one before.
class LogSource {
public:
    LogSource(HANDLE file, char* buffer) : file_(file), buffer_(buffer), start_(0), length_(0) {}

    // The bytes at `offset`, at most `wanted`; `got` receives how many.
    const char* Get(DWORD offset, DWORD wanted, DWORD* got)
    {
        if (offset < start_ || offset >= start_ + length_) {
            DWORD read = 0;
            if (!SeekTo(file_, offset) || !ReadFull(file_, buffer_, kCopyBufferSize, &read))
                return NULL;
            if (read == 0) {
                SetLastError(ERROR_INVALID_DATA);  // the log shrank under us
                return NULL;
            }
            start_ = offset;
            length_ = read;
        }
        DWORD available = start_ + length_ - offset;
        *got = wanted < available ? wanted : available;
        return buffer_ + (offset - start_);
    }

private:
    HANDLE file_;
    char* buffer_;
    DWORD start_;
    DWORD length_;
};

// Collects bytes and writes them in large pieces; a short write fails.
class BufferedSink {
public:
    BufferedSink(HANDLE file, char* buffer, DWORD capacity)
        : file_(file), buffer_(buffer), capacity_(capacity), used_(0), position_(0) {}

    BOOL Put(const void* data, DWORD length)
    {
        const char* bytes = (const char*)data;
        while (length > 0) {
            if (used_ == capacity_ && !Flush())
                return FALSE;
            DWORD room = capacity_ - used_;
            DWORD part = length < room ? length : room;
            memcpy(buffer_ + used_, bytes, part);
            used_ += part;
            bytes += part;
            length -= part;
            position_ += part;
        }
        return TRUE;
    }

    BOOL Flush()
    {
        if (used_ > 0 && !WriteAll(file_, buffer_, used_))
            return FALSE;
        used_ = 0;
        return TRUE;
    }

    // Bytes put so far, written or not.
    DWORD Position() const { return position_; }

private:
    HANDLE file_;
    char* buffer_;
    DWORD capacity_;
    DWORD used_;
    DWORD position_;
};

// Step 1: the old log and the two new files. Nothing is left behind on
// failure, and nothing that was there before is touched.
BOOL OpenCompactionFiles(GroupRecord* group, CompactionFiles* files)
{
    // Replacing needs both old files writable; find out before any work.
    if (IsReadOnly(group->IndexPath()) || IsReadOnly(group->LogPath())) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    files->oldLog = CreateFileW(group->LogPath(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    if (files->oldLog == INVALID_HANDLE_VALUE)
        return FALSE;
    files->newIndex = FileCreate(files->names.newIndex, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    if (files->newIndex == INVALID_HANDLE_VALUE) {
        LastErrorKeeper keep;
        CloseIfOpen(&files->oldLog);
        return FALSE;
    }
    files->newLog = FileCreate(files->names.newLog, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    if (files->newLog == INVALID_HANDLE_VALUE) {
        LastErrorKeeper keep;
        CloseIfOpen(&files->newIndex);
        FileDelete(files->names.newIndex);
        CloseIfOpen(&files->oldLog);
        return FALSE;
    }
    return TRUE;
}

struct KeptCounts {
    DWORD kept;
    DWORD high;
    DWORD low;
};

// Steps 3 to 5: the unread articles and their records into the new files.
BOOL CopyUnreadArticles(GroupRecord* group, CompactionFiles* files, const KeywordFilter* filter,
                        KeptCounts* counts)
{
    DWORD logSize = 0;
    if (!LogFileSize(files->oldLog, &logSize))
        return FALSE;
    char* inBuffer = (char*)malloc(kCopyBufferSize);
    char* outBuffer = (char*)malloc(kCopyBufferSize);
    IndexRecord* records = (IndexRecord*)malloc(sizeof(IndexRecord) * kRecordBatch);
    char* recordOut = (char*)malloc(sizeof(IndexRecord) * kRecordBatch);
    BOOL ok = inBuffer && outBuffer && records && recordOut;
    if (!ok)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);

    LogSource source(files->oldLog, inBuffer);
    BufferedSink logSink(files->newLog, outBuffer, kCopyBufferSize);
    BufferedSink indexSink(files->newIndex, recordOut, sizeof(IndexRecord) * kRecordBatch);
    DWORD total = group->RecordCount();
    DWORD first = 0, covered = 0;
    while (ok && first < total) {
        DWORD count = kRecordBatch;
        if (!group->ReadRecords(first, records, &count)) {
            ok = FALSE;
            break;
        }
        if (count == 0) {
            SetLastError(ERROR_INVALID_DATA);  // the index ends before recordCount
            ok = FALSE;
            break;
        }
        for (DWORD i = 0; ok && i < count; ++i) {
            IndexRecord record = records[i];
            if (!RangeInsideLog(record.articleOffset, record.articleLength, logSize)) {
                SetLastError(ERROR_INVALID_DATA);
                ok = FALSE;
                break;
            }
            if (record.articleOffset + record.articleLength > covered)
                covered = record.articleOffset + record.articleLength;
            if (FlagsTorn(record.flags)) {
                // A mark a cut tore is no mark: unread, as the filter ranks it.
                DWORD got = 0;
                const char* subject = source.Get(record.subjectOffset, record.subjectLength, &got);
                record.flags = 0;
                if (subject && got == record.subjectLength)
                    SetRecordPriority(record, filter->PriorityOf(subject, got));
            } else if (record.flags & kRecordRead) {
                continue;
            }
            DWORD newOffset = logSink.Position();
            DWORD offset = record.articleOffset;
            DWORD left = record.articleLength;
            while (ok && left > 0) {
                DWORD got = 0;
                const char* bytes = source.Get(offset, left, &got);
                ok = bytes && logSink.Put(bytes, got);
                offset += got;
                left -= got;
            }
            if (!ok)
                break;
            record.subjectOffset = record.subjectOffset - record.articleOffset + newOffset;
            record.articleOffset = newOffset;
            if (!indexSink.Put(&record, sizeof(record))) {
                ok = FALSE;
                break;
            }
            ++counts->kept;
            DWORD priority = RecordPriority(record);
            if (priority == kPriorityHigh)
                ++counts->high;
            else if (priority == kPriorityLow)
                ++counts->low;
        }
        first += count;
    }
    // What no record covers (a partial rebuild's articles, a pass's whose
    // header was lost) stays, for the next start to take in.
    for (DWORD offset = covered; ok && offset < logSize;) {
        DWORD got = 0;
        const char* bytes = source.Get(offset, logSize - offset, &got);
        ok = bytes && logSink.Put(bytes, got);
        offset += got;
    }
    ok = ok && logSink.Flush() && indexSink.Flush();
    LastErrorKeeper keep;
    free(inBuffer);
    free(outBuffer);
    free(records);
    free(recordOut);
    return ok;
}

}  // namespace

// The new pair is whole and on the medium. Renaming the new index to its
// committed name is the one step after which the next start completes the
// swap instead of undoing it; the log moves in before the index, so a
// committed index without a new log beside it means the log is in place.
BOOL CommitGroupFiles(const wchar_t* index, const wchar_t* log, const CompactionNames& names)
{
    if (!FileReplace(names.newIndex, names.committedIndex)) {
        LastErrorKeeper keep;
        FileDelete(names.newIndex);
        FileDelete(names.newLog);
        return FALSE;
    }
    if (!FileReplace(names.newLog, log)) {
        // While the old log is there nothing has been replaced: take the
        // commitment back. Once it is gone, only the way forward is left.
        LastErrorKeeper keep;
        BOOL logThere;
        if (PathExists(log, &logThere) && logThere
            && FileReplace(names.committedIndex, names.newIndex)) {
            FileDelete(names.newIndex);
            FileDelete(names.newLog);
        }
        return FALSE;
    }
    // From here on only the way forward is left; the next start retries it.
    return FileReplace(names.committedIndex, index);
}

BOOL CompactGroup(GroupRecord* group)
{
    CompactionFiles files;
    files.oldLog = files.newIndex = files.newLog = INVALID_HANDLE_VALUE;
    if (!group->IndexPath() || !group->LogPath()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Leftovers of an interrupted run are settled first, as at start-up.
    if (!files.names.Make(group->IndexPath()) || !RecoverGroupFiles(group)
        || !OpenCompactionFiles(group, &files))
        return FALSE;

    KeptCounts counts = {0, 0, 0};
    KeywordFilter filter;
    filter.Construct();
    BOOL ok = group->ReadHeader() && group->WriteHeader(files.newIndex)
           && SeekTo(files.newIndex, kIndexHeaderSize)
           && group->OpenIndex()
           && filter.Load(group->FilterPath())
           && CopyUnreadArticles(group, &files, &filter, &counts);
    DWORD error = GetLastError();
    filter.Free();
    group->CloseIndex();
    if (ok) {
        group->SetRecordCount(counts.kept);
        group->SetHighCount(counts.high);
        group->SetLowCount(counts.low);
        group->SetSavedPosition(0);
        // Only unread articles are kept, so this is the exact count even
        // when the old header had drifted.
        group->SetUnreadCount(counts.kept);
        // On the medium before they replace the only other copy.
        ok = group->WriteHeader(files.newIndex)
          && FileFlush(files.newIndex) && FileFlush(files.newLog);
        error = GetLastError();
    }
    CloseIfOpen(&files.oldLog);
    CloseIfOpen(&files.newIndex);
    CloseIfOpen(&files.newLog);
    if (!ok) {
        FileDelete(files.names.newLog);
        FileDelete(files.names.newIndex);
        SetLastError(error);
        return FALSE;
    }
    if (!CommitGroupFiles(group->IndexPath(), group->LogPath(), files.names))
        return FALSE;
    // Derived data: a failure leaves the threads to the next opening.
    UpdateThreadFile(group);
    return TRUE;
}

BOOL MarkAllRead(GroupRecord* group)
{
    wchar_t temp[kStorePathCapacity];
    if (!group->ReadHeader() || !UpgradeTempPath(group->IndexPath(), temp) || !group->OpenIndex())
        return FALSE;
    IndexRecord* records = (IndexRecord*)malloc(sizeof(IndexRecord) * kRecordBatch);
    HANDLE out = records ? FileCreate(temp, GENERIC_WRITE, 0, CREATE_ALWAYS) : INVALID_HANDLE_VALUE;
    BOOL ok = out != INVALID_HANDLE_VALUE;
    if (!records)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    group->SetUnreadCount(0);
    ok = ok && group->WriteHeader(out) && SeekTo(group->IndexHandle(), IndexRecordOffset(0));
    // The counted records come marked; any bytes after them are carried as
    // they are.
    DWORD left = group->RecordCount();
    while (ok) {
        DWORD read = 0;
        ok = ReadFull(group->IndexHandle(), records, sizeof(IndexRecord) * kRecordBatch, &read);
        if (!ok || read == 0)
            break;
        for (DWORD i = 0; i < read / kIndexRecordSize && left > 0; ++i, --left)
            records[i].flags |= kRecordRead;
        ok = WriteAll(out, records, read);
    }
    ok = ok && FileFlush(out);
    DWORD error = GetLastError();
    free(records);
    group->CloseIndex();
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    if (ok && !FileReplace(temp, group->IndexPath())) {
        error = GetLastError();
        ok = FALSE;
    }
    if (!ok && out != INVALID_HANDLE_VALUE)
        FileDropTemp(temp, group->IndexPath());
    SetLastError(error);
    return ok;
}

BOOL CatchUpServer(GroupRecord* group)
{
    if (!group->ReadHeader())
        return FALSE;
    group->SetLastArticle(kCatchUpPending);
    return group->WriteHeader();
}

BOOL CompactAllGroups(const wchar_t* dataPath, CompactFailureHandler onFailure, void* context)
{
    GroupListReader* reader = GroupListReader::Open(dataPath);
    if (!reader)
        return FALSE;
    GroupRecord group;
    group.Reset();
    for (const wchar_t* name = reader->Next(); name; name = reader->Next()) {
        if (!group.SetNames(dataPath, name) || !CompactGroup(&group)) {
            DWORD error = GetLastError();
            if (onFailure)
                onFailure(name, error, context);
        }
    }
    group.Release();
    reader->Close();
    return TRUE;
}
