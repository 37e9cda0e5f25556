#include "store/ThreadFile.h"
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "store/ArticleLog.h"
#include "store/FileOps.h"
#include "store/FilePosition.h"
#include "store/FileRewrite.h"
#include "store/GroupRecord.h"
#include "store/ThreadLinker.h"
#include "text/LastErrorKeeper.h"

namespace {

const wchar_t kThreadSuffix[] = L".thr";

BOOL ReadHeaderOf(HANDLE file, ThreadFileHeader* header, ULONGLONG* size)
{
    DWORD read = 0;
    return FileGetSize(file, size) && *size >= kThreadFileHeaderSize && SeekTo(file, 0)
        && ReadFull(file, header, sizeof *header, &read) && read == sizeof *header
        && header->magic == kThreadFileMagic && header->version == kThreadFileVersion;
}

ULONGLONG FileSizeFor(DWORD count)
{
    return kThreadFileHeaderSize + (ULONGLONG)count * (sizeof(DWORD) * 2 + sizeof(ThreadStoredKeys));
}

// The links and keys of an earlier pass whose articles are still the
// index's first ones; anything else gives none (all are linked anew).
DWORD KeptFromFile(GroupRecord* group, const wchar_t* path, DWORD count, ThreadLinker* linker)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    ThreadFileHeader header;
    ULONGLONG size;
    DWORD logEnd = 0, kept = 0, read = 0;
    if (ReadHeaderOf(file, &header, &size) && header.count <= count && size == FileSizeFor(header.count)
        && ThreadIndexStamp(group, header.count, &logEnd) && logEnd == header.logEnd
        && linker->Init(count, header.count)) {
        DWORD m = header.count;
        DWORD keyBytes = m * (DWORD)sizeof(ThreadStoredKeys);
        BOOL ok = SeekTo(file, kThreadFileHeaderSize)
               && ReadFull(file, linker->Parents(), m * sizeof(DWORD), &read) && read == m * sizeof(DWORD)
               && SeekTo(file, kThreadFileHeaderSize + (ULONGLONG)m * sizeof(DWORD) * 2)
               && ReadFull(file, linker->Keys(), keyBytes, &read) && read == keyBytes
               && ThreadSum(m, (const DWORD*)linker->Keys(), keyBytes / sizeof(DWORD)) == header.keySum;
        for (DWORD i = 0; ok && i < m; ++i) {
            DWORD word = linker->Parents()[i];
            DWORD parent = word & kThreadParentMask;
            ok = !(word & ~(DWORD)kThreadStoredBits) && (parent == kThreadNoParent || parent < m);
        }
        if (ok)
            kept = m;
    }
    CloseHandle(file);
    return kept;
}

BOOL AddFromLog(GroupRecord* group, DWORD first, DWORD count, ThreadLinker* linker)
{
    if (first >= count)
        return TRUE;
    HANDLE log = CreateFileW(group->LogPath(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE)
        return FALSE;
    static const DWORD kBatch = kRecordBatch;
    IndexRecord* batch = (IndexRecord*)malloc(sizeof(IndexRecord) * kBatch);
    char* buffer = (char*)malloc(kThreadHeaderRead);
    ThreadKeys* keys = (ThreadKeys*)malloc(sizeof(ThreadKeys));
    DWORD logSize = 0;
    BOOL ok = batch && buffer && keys;
    if (!ok)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    ok = ok && LogFileSize(log, &logSize);
    for (DWORD at = first; ok && at < count;) {
        DWORD got = count - at < kBatch ? count - at : kBatch;
        if (!group->ReadRecords(at, batch, &got))
            ok = FALSE;
        else if (got == 0) {
            SetLastError(ERROR_INVALID_DATA);
            ok = FALSE;
        }
        for (DWORD i = 0; ok && i < got; ++i) {
            // A record that points outside the log has no keys: it stands alone.
            if (!ReadThreadKeys(log, logSize, batch[i], buffer, keys)) {
                if (GetLastError() != ERROR_INVALID_DATA)
                    ok = FALSE;
                keys->id = keys->subject = 0;
                keys->refCount = 0;
            }
            ok = ok && linker->Add(*keys);
        }
        at += got;
    }
    LastErrorKeeper keep;
    free(batch);
    free(buffer);
    free(keys);
    CloseHandle(log);
    return ok;
}

BOOL WriteThreadFile(const wchar_t* path, DWORD logEnd, ThreadLinker* linker)
{
    DWORD count = linker->Count();
    ThreadFileHeader header;
    memset(&header, 0, sizeof header);
    header.magic = kThreadFileMagic;
    header.version = kThreadFileVersion;
    header.count = count;
    header.logEnd = logEnd;
    header.linkSum = ThreadSum(ThreadSum(count, linker->Parents(), count), linker->Sequence(), count);
    header.keySum = ThreadSum(count, (const DWORD*)linker->Keys(),
                              count * (DWORD)sizeof(ThreadStoredKeys) / sizeof(DWORD));
    FileRewrite file;
    file.Construct();
    BOOL ok = file.Open(path) && file.Write(&header, sizeof header)
           && (!count
               || (file.Write(linker->Parents(), count * sizeof(DWORD))
                   && file.Write(linker->Sequence(), count * sizeof(DWORD))
                   && file.Write(linker->Keys(), count * (DWORD)sizeof(ThreadStoredKeys))))
           && file.Commit();
    if (!ok)
        file.Abandon();
    return ok;
}

}  // namespace

DWORD ThreadSum(DWORD sum, const DWORD* words, DWORD count)
{
    for (DWORD i = 0; i < count; ++i)
        sum = ThreadSumStep(sum, words[i]);
    return sum;
}

BOOL ThreadFilePath(GroupRecord* group, wchar_t* path)
{
    const wchar_t* index = group->IndexPath();
    size_t length = index ? wcslen(index) : 0;
    if (length < 4 || length + 2 > kStorePathCapacity) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    memcpy(path, index, (length - 4) * sizeof(wchar_t));
    memcpy(path + length - 4, kThreadSuffix, sizeof kThreadSuffix);
    return TRUE;
}

BOOL ThreadIndexStamp(GroupRecord* group, DWORD count, DWORD* logEnd)
{
    *logEnd = 0;
    if (count == 0)
        return TRUE;
    IndexRecord record;
    DWORD got = 1;
    if (!group->ReadRecords(count - 1, &record, &got))
        return FALSE;
    if (got != 1) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    *logEnd = record.articleOffset + record.articleLength;
    return TRUE;
}

BOOL BuildThreadFile(GroupRecord* group, ThreadLinker* linker, BOOL* linked)
{
    *linked = FALSE;
    wchar_t path[kStorePathCapacity];
    DWORD count = group->RecordCount(), logEnd = 0;
    if (!ThreadFilePath(group, path) || !ThreadIndexStamp(group, count, &logEnd))
        return FALSE;
    DWORD kept = KeptFromFile(group, path, count, linker);
    if (!kept && !linker->Init(count, 0))
        return FALSE;
    BOOL ok = AddFromLog(group, kept, count, linker) && linker->Link();
    // Kept links that do not hold together: all are linked from the log.
    if (!ok && kept)
        ok = linker->Init(count, 0) && AddFromLog(group, 0, count, linker) && linker->Link();
    if (!ok)
        return FALSE;
    *linked = TRUE;
    return WriteThreadFile(path, logEnd, linker);
}

BOOL UpdateThreadFile(GroupRecord* group)
{
    wchar_t path[kStorePathCapacity], temp[kStorePathCapacity];
    BOOL there = FALSE, tempThere = FALSE;
    if (!ThreadFilePath(group, path) || !UpgradeTempPath(path, temp) || !PathExists(path, &there)
        || !PathExists(temp, &tempThere))
        return FALSE;
    // A temporary file left by a cut is taken up by the next write.
    if (!there && !tempThere)
        return TRUE;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        ThreadFileHeader header;
        ULONGLONG size;
        DWORD logEnd = 0;
        BOOL current = ReadHeaderOf(file, &header, &size) && header.count == group->RecordCount()
                    && size == FileSizeFor(header.count)
                    && ThreadIndexStamp(group, header.count, &logEnd) && logEnd == header.logEnd;
        CloseHandle(file);
        if (current)
            return TRUE;
    }
    ThreadLinker linker;
    linker.Construct();
    BOOL linked;
    BOOL ok = BuildThreadFile(group, &linker, &linked);
    LastErrorKeeper keep;
    linker.Destroy();
    return ok;
}
