#include "store/ThreadOrder.h"
#include <stdlib.h>
#include <string.h>
#include "store/FileOps.h"
#include "store/FilePosition.h"
#include "store/GroupRecord.h"
#include "store/IndexRecord.h"
#include "store/StorePath.h"
#include "store/ThreadFile.h"
#include "store/ThreadLinker.h"
#include "text/LastErrorKeeper.h"

namespace {

// Bits of a held word beside the stored parent and same-subject bits.
enum {
    kHeldKeep = kThreadParentMask | kThreadSameSubject,
    kHeldPriorityShift = 25,          // two bits: the listed priority
    kHeldListed = 0x8000000,
    kHeldRegionShift = 28,            // two bits on a thread's first article
    kHeldRegionMask = 0x30000000,
    kHeldSeen = 0x40000000,
    kSequencePiece = 8192
};

// Pass 0 checks the order, finds each thread's region and takes every
// listed row; passes 1, 2 and 3 take the threads of the high, normal and
// low region when there are several.
enum { kPassCheck = 0, kPassLast = 3 };

DWORD RegionOf(DWORD priority)
{
    return priority == kPriorityHigh ? 1 : priority == kPriorityNormal ? 2 : 3;
}

DWORD HeldWord(DWORD stored, BYTE mark)
{
    DWORD word = stored & kHeldKeep;
    if (mark == kPriorityNormal || mark == kPriorityLow || mark == kPriorityHigh)
        word |= kHeldListed | ((DWORD)mark << kHeldPriorityShift);
    return word;
}

ULONGLONG ThreadFileSize(DWORD count)
{
    return kThreadFileHeaderSize + (ULONGLONG)count * (sizeof(DWORD) * 2 + sizeof(ThreadStoredKeys));
}

}  // namespace

void ThreadOrder::Construct()
{
    parents_ = NULL;
    piece_ = NULL;
    count_ = 0;
    regions_ = 0;
}

void ThreadOrder::Free()
{
    free(parents_);
    free(piece_);
    Construct();
}

DWORD ThreadOrder::ParentOf(DWORD record) const
{
    return parents_[record] & kThreadParentMask;
}

// Reads the parent words of a file made for this index; the handle is left
// at the order, which the passes read in pieces.
BOOL ThreadOrder::OpenFile(GroupRecord* group, const BYTE* marks, HANDLE* file, DWORD* linkSum,
                           DWORD* sum)
{
    wchar_t path[kStorePathCapacity];
    DWORD logEnd = 0, read = 0;
    *file = INVALID_HANDLE_VALUE;
    if (!ThreadFilePath(group, path) || !ThreadIndexStamp(group, count_, &logEnd))
        return FALSE;
    *file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, NULL);
    if (*file == INVALID_HANDLE_VALUE)
        return FALSE;
    ThreadFileHeader header;
    ULONGLONG size = 0;
    DWORD bytes = count_ * (DWORD)sizeof(DWORD);
    BOOL ok = FileGetSize(*file, &size) && size == ThreadFileSize(count_)
           && ReadFull(*file, &header, sizeof header, &read) && read == sizeof header
           && header.magic == kThreadFileMagic && header.version == kThreadFileVersion
           && header.count == count_ && header.logEnd == logEnd
           && ReadFull(*file, parents_, bytes, &read) && read == bytes;
    // One loop checks each word, sums it as stored and takes in its mark.
    *sum = count_;
    for (DWORD i = 0; ok && i < count_; ++i) {
        DWORD word = parents_[i], parent = word & kThreadParentMask;
        ok = !(word & ~(DWORD)kThreadStoredBits) && (parent == kThreadNoParent || parent < count_);
        *sum = ThreadSumStep(*sum, word);
        parents_[i] = HeldWord(word, marks[i]);
    }
    if (!ok) {
        CloseHandle(*file);
        *file = INVALID_HANDLE_VALUE;
        return FALSE;
    }
    *linkSum = header.linkSum;
    return TRUE;
}

void ThreadOrder::Hold(const BYTE* marks)
{
    for (DWORD i = 0; i < count_; ++i)
        parents_[i] = HeldWord(parents_[i], marks[i]);
}

BOOL ThreadOrder::Pass(HANDLE file, const DWORD* sequence, DWORD pass, DWORD* order,
                       DWORD* visible, DWORD* sum)
{
    DWORD* piece = piece_;
    if (file != INVALID_HANDLE_VALUE
        && !SeekTo(file, kThreadFileHeaderSize + (ULONGLONG)count_ * sizeof(DWORD)))
        return FALSE;
    DWORD thread = kThreadNoParent;
    for (DWORD at = 0; at < count_;) {
        DWORD n = count_ - at < kSequencePiece ? count_ - at : (DWORD)kSequencePiece;
        const DWORD* values = sequence + at;
        if (file != INVALID_HANDLE_VALUE) {
            DWORD read = 0;
            if (!ReadFull(file, piece, n * sizeof(DWORD), &read) || read != n * sizeof(DWORD))
                return FALSE;
            values = piece;
        }
        if (pass == kPassCheck)
            *sum = ThreadSum(*sum, values, n);
        for (DWORD k = 0; k < n; ++k) {
            DWORD record = values[k];
            if (pass == kPassCheck) {
                // A permutation in which every parent comes before its
                // children: the parent chains end, the threads are whole.
                if (record >= count_ || (parents_[record] & kHeldSeen))
                    return FALSE;
                DWORD parent = ParentOf(record);
                if (parent != kThreadNoParent && !(parents_[parent] & kHeldSeen))
                    return FALSE;
                parents_[record] |= kHeldSeen;
            }
            if (ParentOf(record) == kThreadNoParent)
                thread = record;
            DWORD word = parents_[record];
            if (!(word & kHeldListed))
                continue;
            DWORD region = (parents_[thread] & kHeldRegionMask) >> kHeldRegionShift;
            if (pass == kPassCheck) {
                if (!region) {
                    region = RegionOf((word >> kHeldPriorityShift) & 3);
                    parents_[thread] |= region << kHeldRegionShift;
                    regions_ |= 1 << region;
                }
            }
            // The check pass takes every row: already the order when all
            // threads are of one region.
            if (pass == kPassCheck || region == pass) {
                if (*visible >= count_)
                    return FALSE;
                order[(*visible)++] = record;
            }
        }
        at += n;
    }
    return TRUE;
}

BOOL ThreadOrder::Arrange(GroupRecord* group, DWORD count, const BYTE* marks, DWORD* order,
                          DWORD* visible)
{
    Free();
    *visible = 0;
    if (count > kMaxThreadRecords) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    parents_ = (DWORD*)malloc(sizeof(DWORD) * (count ? count : 1));
    if (!parents_) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    count_ = count;
    regions_ = 0;
    HANDLE file;
    DWORD linkSum = 0, sum = 0;
    BOOL ok = OpenFile(group, marks, &file, &linkSum, &sum);
    if (ok && !piece_) {
        piece_ = (DWORD*)malloc(sizeof(DWORD) * kSequencePiece);
        ok = piece_ != NULL;
    }
    ok = ok && Pass(file, NULL, kPassCheck, order, visible, &sum) && sum == linkSum;
    const DWORD* sequence = NULL;
    ThreadLinker linker;
    linker.Construct();
    if (!ok) {
        // Missing, stale or damaged: built again from the log. A write
        // that fails still leaves this opening its threads.
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
        BOOL linked = FALSE;
        BuildThreadFile(group, &linker, &linked);
        if (linked) {
            memcpy(parents_, linker.Parents(), sizeof(DWORD) * count);
            regions_ = 0;
            *visible = 0;
            sequence = linker.Sequence();
            Hold(marks);
            ok = Pass(file, sequence, kPassCheck, order, visible, &sum);
        }
    }
    // Threads of several regions are taken region by region; a region
    // without threads needs no pass.
    BOOL oneRegion = (regions_ & (regions_ - 1)) == 0;
    if (ok && !oneRegion)
        *visible = 0;
    for (DWORD pass = kPassCheck + 1; ok && !oneRegion && pass <= kPassLast; ++pass)
        ok = !(regions_ & (1 << pass)) || Pass(file, sequence, pass, order, visible, &sum);
    LastErrorKeeper keep;
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    free(piece_);
    piece_ = NULL;
    linker.Destroy();
    if (!ok) {
        Free();
        *visible = 0;
    }
    return ok;
}

DWORD ThreadOrder::Depth(DWORD record) const
{
    DWORD depth = 0;
    if (!parents_ || record >= count_)
        return 0;
    for (DWORD at = ParentOf(record); at != kThreadNoParent; at = ParentOf(at)) {
        if (parents_[at] & kHeldListed)
            ++depth;
    }
    return depth;
}

BOOL ThreadOrder::RepeatsSubject(DWORD record) const
{
    return parents_ && record < count_ && (parents_[record] & kThreadSameSubject) != 0;
}

DWORD ThreadOrder::Root(DWORD record) const
{
    if (!parents_ || record >= count_)
        return record;
    while (ParentOf(record) != kThreadNoParent)
        record = ParentOf(record);
    return record;
}
