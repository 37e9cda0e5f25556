// The group view: a report list of the subscribed groups, one row per line of
// group.dat, with each group's counters from its index header. The download
// walks its rows, so the list is also the patrol's work list.
#pragma once
#include <windows.h>

struct GroupColumn {
    UINT titleId;            // string table; 0xFFFFFFFF ends the table
    const wchar_t* valueName;
    UINT index;              // column index handed to the list view
    UINT defaultWidth;
};

enum {
    kGroupColumnName = 0,
    kGroupColumnUnread = 1,
    kGroupColumnArticles = 2,
    kGroupColumnState = 3,
    kGroupColumnCurrent = 4,
    kGroupColumnServerLast = 5,
    kGroupColumnCount = 6,
    kGroupListStyle = 0x50B0000D,
};

extern const wchar_t kGroupViewKey[];   // Software\tidewell\Pelora\GroupView

class GroupView {
public:
    GroupView();
    ~GroupView();

    // `rect` holds x, y, width, height. FALSE when the window or its columns
    // cannot be made.
    BOOL Create(const wchar_t* windowName, const RECT& rect, HWND parent, UINT id, HINSTANCE instance);
    void Show(int showCommand);
    // Rebuilds every row from dataPath's group.dat.
    BOOL Fill(const wchar_t* dataPath);
    // The first selected row and its name (at most `capacity` characters);
    // 0 when no row is selected or its name is empty.
    int GetSelected(wchar_t* buffer, int capacity, UINT* row);
    void SetUnreadCount(UINT row, DWORD count);
    // FALSE on the first failing write. Nothing to save before the list exists.
    BOOL SaveColumnWidths();
    HWND List() const { return list_; }

private:
    BOOL SetUpColumns();
    void SetNumber(int row, int column, DWORD value);
    void SetText(int row, int column, const wchar_t* text);

    HWND list_;
    const GroupColumn* columns_;
    const wchar_t* keyPath_;
};
