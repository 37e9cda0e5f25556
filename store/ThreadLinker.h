// Links a group's articles into threads: each article's parent, found by
// its References line (the nearest article of the group it names) or, for
// one without, by the subject of a thread's first article; and the order
// of all articles, thread by thread, each after its parent.
#pragma once
#include <windows.h>
#include "store/ThreadKeys.h"

enum {
    kThreadNoParent = 0xFFFFFF,
    kThreadParentMask = 0xFFFFFF,
    kThreadSameSubject = 0x1000000,  // the subject is the parent's
    kThreadBySubject = 0x2000000,    // the parent is its thread's first article by subject
    kThreadSettled = 0x4000000,      // the parent is the rightmost reference: final
    kThreadStoredBits = 0x7FFFFFF,
    kMaxThreadRecords = 0xFFFFFF
};

// What is kept of each article for a later pass, which links only the
// articles it adds.
#pragma pack(push, 1)
struct ThreadStoredKeys {
    ULONGLONG id;
    ULONGLONG lastRef;   // the rightmost reference, 0 without one
    ULONGLONG subject;
};
#pragma pack(pop)

class ThreadLinker {
public:
    void Construct();
    void Destroy();
    // Room for `count` articles; the first `kept` come linked by an earlier
    // pass, their words and keys put in Parents() and Keys() by the caller.
    BOOL Init(DWORD count, DWORD kept);
    DWORD* Parents() { return parents_; }
    ThreadStoredKeys* Keys() { return keys_; }
    // The next article after the kept ones, in arrival order.
    BOOL Add(const ThreadKeys& keys);
    // Links the added articles, moves a kept one whose rightmost reference
    // arrived now under it, and orders all of them.
    BOOL Link();
    const DWORD* Sequence() const { return sequence_; }
    DWORD Count() const { return count_; }
    DWORD Kept() const { return kept_; }

private:
    DWORD FindId(ULONGLONG id) const;
    BOOL Reaches(DWORD from, DWORD record) const;
    DWORD ParentOf(DWORD record) const { return parents_[record] & kThreadParentMask; }
    void GatherBySubject(DWORD* table, DWORD mask);
    BOOL Order();

    DWORD count_;
    DWORD kept_;
    DWORD added_;
    DWORD* parents_;
    ThreadStoredKeys* keys_;
    DWORD* sequence_;
    DWORD* refStart_;      // per added article, into refs_; one more at the end
    ULONGLONG* refs_;
    DWORD refCapacity_;
    DWORD* idTable_;       // record + 1 by id, first arrival wins
    DWORD tableMask_;
};
