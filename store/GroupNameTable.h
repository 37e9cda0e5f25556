// A small set of group or category names (ANSI bytes) with fast membership
// tests. Everything lives in one private heap, so the table is released at
// once; the heap's ceiling makes a runaway insert fail instead of exhausting
// the device.
#pragma once
#include <windows.h>

struct GroupNameEntry {
    GroupNameEntry* next;
    char* name;  // zero-terminated copy, in the table's heap
};

class GroupNameTable {
public:
    enum {
        kBucketCount = 91,
        kHeapInitialSize = 102400,
        kHeapMaximumSize = 1024000
    };

    GroupNameTable();
    // Creates the heap and empties the buckets; a table that was already
    // initialised loses its old entries. Fails when the heap cannot be made.
    BOOL Init();
    // Copies `name` in at the head of its bucket; duplicates are kept. None
    // with ERROR_NOT_ENOUGH_MEMORY when the heap is exhausted.
    GroupNameEntry* Insert(const char* name);
    // Exact, case-sensitive byte comparison.
    GroupNameEntry* Find(const char* name) const;
    // Unlinks the first entry with that name; FALSE when there was none.
    BOOL Remove(const char* name);
    // Destroys the heap with every entry in it.
    void Destroy();
    BOOL IsReady() const { return heap_ != NULL; }

    // Exclusive-or of the bytes, each widened as a signed char, unsigned
    // modulo the bucket count.
    static UINT BucketOf(const char* name);

private:
    friend class GroupNameWalk;
    HANDLE heap_;
    GroupNameEntry* buckets_[kBucketCount];
};

// Visits buckets 0 to 90 in order, each from its head. Removing the current
// entry during a walk is not allowed; an entry inserted during a walk may or
// may not be visited.
class GroupNameWalk {
public:
    GroupNameWalk();
    GroupNameEntry* First(const GroupNameTable* table);
    GroupNameEntry* Next();
    GroupNameEntry* Current() const { return current_; }
    const char* Name() const { return current_ ? current_->name : NULL; }

private:
    const GroupNameTable* table_;
    UINT bucket_;
    GroupNameEntry* current_;
};
