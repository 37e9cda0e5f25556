#include "store/ThreadLinker.h"
#include <stdlib.h>
#include <string.h>

namespace {

enum { kNoRecord = 0xFFFFFFFF };

DWORD TableSize(DWORD count)
{
    DWORD size = 16;
    while (size < count * 2 && size < 0x40000000)
        size <<= 1;
    return size;
}

}  // namespace

void ThreadLinker::Construct()
{
    count_ = kept_ = added_ = 0;
    parents_ = NULL;
    keys_ = NULL;
    sequence_ = NULL;
    refStart_ = NULL;
    refs_ = NULL;
    refCapacity_ = 0;
    idTable_ = NULL;
    tableMask_ = 0;
}

void ThreadLinker::Destroy()
{
    free(parents_);
    free(keys_);
    free(sequence_);
    free(refStart_);
    free(refs_);
    free(idTable_);
    Construct();
}

BOOL ThreadLinker::Init(DWORD count, DWORD kept)
{
    Destroy();
    if (count > kMaxThreadRecords || kept > count) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    DWORD slots = count ? count : 1;
    parents_ = (DWORD*)malloc(sizeof(DWORD) * slots);
    keys_ = (ThreadStoredKeys*)malloc(sizeof(ThreadStoredKeys) * slots);
    sequence_ = (DWORD*)malloc(sizeof(DWORD) * slots);
    refStart_ = (DWORD*)malloc(sizeof(DWORD) * (count - kept + 1));
    if (!parents_ || !keys_ || !sequence_ || !refStart_) {
        Destroy();
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    count_ = count;
    kept_ = kept;
    refStart_[0] = 0;
    return TRUE;
}

BOOL ThreadLinker::Add(const ThreadKeys& keys)
{
    if (kept_ + added_ >= count_) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD used = refStart_[added_];
    if (used + keys.refCount > refCapacity_) {
        DWORD capacity = refCapacity_ ? refCapacity_ * 2 : 4096;
        while (capacity < used + keys.refCount)
            capacity *= 2;
        ULONGLONG* grown = (ULONGLONG*)realloc(refs_, sizeof(ULONGLONG) * capacity);
        if (!grown) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
        refs_ = grown;
        refCapacity_ = capacity;
    }
    if (keys.refCount)
        memcpy(refs_ + used, keys.refs, sizeof(ULONGLONG) * keys.refCount);
    DWORD record = kept_ + added_;
    keys_[record].id = keys.id;
    keys_[record].subject = keys.subject;
    keys_[record].lastRef = keys.refCount ? keys.refs[keys.refCount - 1] : 0;
    parents_[record] = kThreadNoParent;
    ++added_;
    refStart_[added_] = used + keys.refCount;
    return TRUE;
}

DWORD ThreadLinker::FindId(ULONGLONG id) const
{
    if (!id)
        return kNoRecord;
    for (DWORD slot = (DWORD)id & tableMask_; idTable_[slot]; slot = (slot + 1) & tableMask_) {
        if (keys_[idTable_[slot] - 1].id == id)
            return idTable_[slot] - 1;
    }
    return kNoRecord;
}

// Whether `record` is `from` or one of its ancestors: linking `record`
// under `from` would close a loop.
BOOL ThreadLinker::Reaches(DWORD from, DWORD record) const
{
    DWORD steps = 0;
    for (DWORD at = from; at != kThreadNoParent; at = ParentOf(at)) {
        if (at == record || ++steps > count_)
            return TRUE;
    }
    return FALSE;
}

// An article without a parent among the references joins the thread whose
// first article (the earliest such) has its subject; the first one with a
// subject starts that thread. Kept articles keep what they had.
void ThreadLinker::GatherBySubject(DWORD* table, DWORD mask)
{
    for (DWORD i = 0; i < count_; ++i) {
        if (ParentOf(i) != kThreadNoParent)
            continue;
        ULONGLONG subject = keys_[i].subject;
        if (!subject)
            continue;
        DWORD slot = (DWORD)subject & mask;
        while (table[slot] && keys_[table[slot] - 1].subject != subject)
            slot = (slot + 1) & mask;
        if (!table[slot])
            table[slot] = i + 1;
        else if (i >= kept_)
            parents_[i] = (table[slot] - 1) | kThreadBySubject;
    }
}

BOOL ThreadLinker::Link()
{
    if (kept_ + added_ != count_) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD size = TableSize(count_);
    idTable_ = (DWORD*)calloc(size, sizeof(DWORD));
    if (!idTable_) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    tableMask_ = size - 1;
    for (DWORD i = 0; i < count_; ++i) {
        ULONGLONG id = keys_[i].id;
        if (!id || FindId(id) != kNoRecord)
            continue;
        DWORD slot = (DWORD)id & tableMask_;
        while (idTable_[slot])
            slot = (slot + 1) & tableMask_;
        idTable_[slot] = i + 1;
    }

    // Kept articles are not linked again; only one whose nearest reference
    // has just arrived moves under it.
    for (DWORD i = 0; i < kept_; ++i) {
        if (parents_[i] & kThreadSettled)
            continue;
        DWORD parent = FindId(keys_[i].lastRef);
        if (parent == kNoRecord || parent < kept_ || Reaches(parent, i))
            continue;
        parents_[i] = parent | kThreadSettled;
    }
    for (DWORD n = 0; n < added_; ++n) {
        DWORD record = kept_ + n;
        DWORD first = refStart_[n], last = refStart_[n + 1];
        for (DWORD j = last; j > first; --j) {
            DWORD parent = FindId(refs_[j - 1]);
            if (parent == kNoRecord || Reaches(parent, record))
                continue;
            parents_[record] = parent | (j == last ? (DWORD)kThreadSettled : 0);
            break;
        }
    }
    // The id table's room serves the subjects now.
    memset(idTable_, 0, sizeof(DWORD) * size);
    GatherBySubject(idTable_, tableMask_);
    free(idTable_);
    idTable_ = NULL;

    for (DWORD i = 0; i < count_; ++i) {
        DWORD parent = ParentOf(i);
        parents_[i] &= ~(DWORD)kThreadSameSubject;
        if (parent != kThreadNoParent && keys_[i].subject == keys_[parent].subject)
            parents_[i] |= kThreadSameSubject;
    }
    return Order();
}

// Threads by their first article's arrival; inside one, each article
// after its parent, siblings by arrival.
BOOL ThreadLinker::Order()
{
    DWORD slots = count_ ? count_ : 1;
    DWORD* firstChild = (DWORD*)malloc(sizeof(DWORD) * slots);
    DWORD* nextSibling = (DWORD*)malloc(sizeof(DWORD) * slots);
    if (!firstChild || !nextSibling) {
        free(firstChild);
        free(nextSibling);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    for (DWORD i = 0; i < count_; ++i)
        firstChild[i] = nextSibling[i] = kThreadNoParent;
    for (DWORD i = count_; i-- > 0;) {
        DWORD parent = ParentOf(i);
        if (parent == kThreadNoParent)
            continue;
        nextSibling[i] = firstChild[parent];
        firstChild[parent] = i;
    }
    DWORD placed = 0;
    for (DWORD root = 0; root < count_; ++root) {
        if (ParentOf(root) != kThreadNoParent)
            continue;
        DWORD at = root;
        for (;;) {
            sequence_[placed++] = at;
            if (firstChild[at] != kThreadNoParent) {
                at = firstChild[at];
                continue;
            }
            while (at != root && nextSibling[at] == kThreadNoParent)
                at = ParentOf(at);
            if (at == root)
                break;
            at = nextSibling[at];
        }
    }
    free(firstChild);
    free(nextSibling);
    // Kept links that loop reach no thread's first article.
    if (placed != count_) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    return TRUE;
}
