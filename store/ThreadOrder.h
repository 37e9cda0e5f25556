// The subject list's thread order: the listed articles thread by thread,
// threads by their first listed row's priority, then by their first
// article's arrival; inside one, each article after its parent. Holds one
// parent word per article (the list's own order list is the other four
// bytes); the order itself comes from the group's thread file, read in
// pieces, or is built from the log when that file is missing, stale or
// damaged.
#pragma once
#include <windows.h>

class GroupRecord;
class ThreadLinker;

enum { kThreadDepthLimit = 8 };

class ThreadOrder {
public:
    void Construct();
    void Free();

    // For the group's first `count` records, `marks` giving each one's
    // listed priority (0 normal, 1 low, 2 high) or any other value for one
    // not listed: fills `order` with the listed records and sets `*listed`.
    // FALSE holds nothing: the caller orders the list flat.
    BOOL Arrange(GroupRecord* group, DWORD count, const BYTE* marks, DWORD* order, DWORD* listed);
    BOOL Active() const { return parents_ != NULL; }
    DWORD Count() const { return count_; }
    // Listed ancestors: the row hangs under the nearest of them.
    DWORD Depth(DWORD record) const;
    // The subject is the parent's, reply prefixes aside.
    BOOL RepeatsSubject(DWORD record) const;
    // The thread's first article.
    DWORD Root(DWORD record) const;
    // Bytes held per article for the order, the list's order list included.
    DWORD BytesPerArticle() const { return sizeof(DWORD) * 2; }

private:
    BOOL OpenFile(GroupRecord* group, const BYTE* marks, HANDLE* file, DWORD* linkSum, DWORD* sum);
    void Hold(const BYTE* marks);
    BOOL Pass(HANDLE file, const DWORD* sequence, DWORD pass, DWORD* order, DWORD* visible,
              DWORD* sum);
    DWORD ParentOf(DWORD record) const;

    DWORD* parents_;
    DWORD count_;
    DWORD regions_;   // bit n: a thread of region n is listed
    DWORD* piece_;    // the order is read through it, while arranging
};
