// The groups of a patrol: the rows of the group view's list view, column 0,
// read one at a time while the pass runs, top to bottom. The list belongs to
// the user interface thread; the worker reads it by sent messages.
#pragma once
#include <windows.h>

// Characters of a group name read from a row, the terminator included.
enum { kGroupNameCapacity = 1024 };

class GroupCursor {
public:
    void Init(HWND listView);
    void Reset() { index_ = 0; }
    // The name of the current row, or none past the last row. A name longer
    // than the buffer is cut; the buffer is always terminated.
    const wchar_t* Next();
    void Advance() { ++index_; }

private:
    wchar_t name_[kGroupNameCapacity];
    int index_;
    HWND listView_;
};
