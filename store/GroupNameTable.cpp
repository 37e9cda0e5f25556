#include "store/GroupNameTable.h"
#include <string.h>

GroupNameTable::GroupNameTable()
    : heap_(NULL)
{
    ZeroMemory(buckets_, sizeof(buckets_));
}

BOOL GroupNameTable::Init()
{
    Destroy();
    heap_ = HeapCreate(0, kHeapInitialSize, kHeapMaximumSize);
    if (!heap_)
        return FALSE;
    ZeroMemory(buckets_, sizeof(buckets_));
    return TRUE;
}

UINT GroupNameTable::BucketOf(const char* name)
{
    DWORD hash = 0;
    for (const signed char* p = (const signed char*)name; *p; ++p)
        hash ^= (DWORD)(LONG)*p;
    return hash % kBucketCount;
}

GroupNameEntry* GroupNameTable::Insert(const char* name)
{
    if (!heap_ || !name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    size_t size = strlen(name) + 1;
    GroupNameEntry* entry = (GroupNameEntry*)HeapAlloc(heap_, 0, sizeof(GroupNameEntry));
    if (!entry) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    entry->name = (char*)HeapAlloc(heap_, 0, size);
    if (!entry->name) {
        HeapFree(heap_, 0, entry);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    memcpy(entry->name, name, size);
    UINT bucket = BucketOf(name);
    entry->next = buckets_[bucket];
    buckets_[bucket] = entry;
    return entry;
}

GroupNameEntry* GroupNameTable::Find(const char* name) const
{
    if (!heap_ || !name)
        return NULL;
    for (GroupNameEntry* entry = buckets_[BucketOf(name)]; entry; entry = entry->next) {
        if (strcmp(entry->name, name) == 0)
            return entry;
    }
    return NULL;
}

BOOL GroupNameTable::Remove(const char* name)
{
    if (!heap_ || !name)
        return FALSE;
    GroupNameEntry** link = &buckets_[BucketOf(name)];
    while (*link) {
        GroupNameEntry* entry = *link;
        if (strcmp(entry->name, name) == 0) {
            *link = entry->next;
            HeapFree(heap_, 0, entry->name);
            HeapFree(heap_, 0, entry);
            return TRUE;
        }
        link = &entry->next;
    }
    return FALSE;
}

void GroupNameTable::Destroy()
{
    if (heap_) {
        HeapDestroy(heap_);
        heap_ = NULL;
    }
    ZeroMemory(buckets_, sizeof(buckets_));
}

GroupNameWalk::GroupNameWalk()
    : table_(NULL), bucket_(0), current_(NULL)
{
}

GroupNameEntry* GroupNameWalk::First(const GroupNameTable* table)
{
    table_ = table;
    bucket_ = 0;
    current_ = NULL;
    return Next();
}

GroupNameEntry* GroupNameWalk::Next()
{
    if (!table_)
        return NULL;
    if (current_ && current_->next) {
        current_ = current_->next;
        return current_;
    }
    current_ = NULL;
    while (bucket_ < GroupNameTable::kBucketCount) {
        GroupNameEntry* head = table_->buckets_[bucket_++];
        if (head) {
            current_ = head;
            break;
        }
    }
    return current_;
}
