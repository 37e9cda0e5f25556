#include "nntp/GroupCursor.h"
#include <commctrl.h>

void GroupCursor::Init(HWND listView)
{
    name_[0] = 0;
    index_ = 0;
    listView_ = listView;
}

const wchar_t* GroupCursor::Next()
{
    // Ask for the row count rather than reading past the end, so that a row
    // with an empty name does not end the walk early.
    LRESULT rows = SendMessageW(listView_, LVM_GETITEMCOUNT, 0, 0);
    if (index_ < 0 || index_ >= rows)
        return NULL;
    LVITEMW item = {};
    item.iSubItem = 0;
    item.pszText = name_;
    item.cchTextMax = kGroupNameCapacity;
    name_[0] = 0;
    SendMessageW(listView_, LVM_GETITEMTEXTW, (WPARAM)index_, (LPARAM)&item);
    name_[kGroupNameCapacity - 1] = 0;
    return name_;
}
