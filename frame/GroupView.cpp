#include "frame/GroupView.h"
#include <commctrl.h>
#include <stdio.h>
#include <wchar.h>
#include "text/MessageCatalog.h"
#include "store/GroupListReader.h"
#include "store/GroupRecord.h"
#include "settings/Settings.h"
#include "resource.h"

const wchar_t kGroupViewKey[] = PELORA_SETTINGS_KEY L"\\GroupView";

// Inserting index 3 last puts the state column before "current" and "max".
static const GroupColumn kGroupColumns[] = {
    {IDS_COLUMN_NEWSGROUP, L"NewsgroupWidth", kGroupColumnName, 100},
    {IDS_COLUMN_UNREAD, L"ureadWidth", kGroupColumnUnread, 40},
    {IDS_COLUMN_ARTICLES, L"artsWidth", kGroupColumnArticles, 40},
    {IDS_COLUMN_CURRENT, L"curWidth", kGroupColumnCurrent, 60},
    {IDS_COLUMN_MAXIMUM, L"maxWidth", kGroupColumnServerLast, 60},
    {IDS_COLUMN_STATE, L"StatusWidth", kGroupColumnState, 150},
    {0xFFFFFFFF, NULL, 0, 0},
};

static const wchar_t kGroupCaption[] = L"GROUP";
static const wchar_t kIndexInitFailed[] = L"インデックスファイルの初期化に失敗しました(%d)";

GroupView::GroupView() : list_(NULL), columns_(kGroupColumns), keyPath_(kGroupViewKey) {}

GroupView::~GroupView() {}

BOOL GroupView::Create(const wchar_t* windowName, const RECT& rect, HWND parent, UINT id, HINSTANCE instance)
{
    list_ = CreateWindowExW(0, WC_LISTVIEWW, windowName, kGroupListStyle, rect.left, rect.top, rect.right,
                            rect.bottom, parent, (HMENU)(UINT_PTR)id, instance, NULL);
    if (!list_)
        return FALSE;
    return SetUpColumns();
}

BOOL GroupView::SetUpColumns()
{
    HKEY key;
    LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, keyPath_, 0, NULL, 0, KEY_READ | KEY_WRITE, NULL, &key, NULL);
    if (result != ERROR_SUCCESS) {
        SetLastError(result);
        return FALSE;
    }
    for (const GroupColumn* c = columns_; c->titleId != 0xFFFFFFFF; c++) {
        wchar_t title[64] = L"";
        const wchar_t* loaded = MessageCatalog::Load(c->titleId);
        wcsncpy(title, loaded ? loaded : L"", 63);
        DWORD width = 0, size = sizeof(width), type = 0;
        if (RegQueryValueExW(key, c->valueName, NULL, &type, (BYTE*)&width, &size) != ERROR_SUCCESS ||
            size != sizeof(width))
            width = c->defaultWidth;
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = (int)width;
        column.pszText = title;
        column.iSubItem = (int)c->index;
        SendMessageW(list_, LVM_INSERTCOLUMNW, c->index, (LPARAM)&column);
    }
    RegCloseKey(key);
    return TRUE;
}

BOOL GroupView::SaveColumnWidths()
{
    // When the first-start sheet was cancelled the list never existed, and
    // its widths would be read from no window.
    if (!list_ || !IsWindow(list_))
        return TRUE;
    HKEY key;
    LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, keyPath_, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL);
    if (result != ERROR_SUCCESS) {
        SetLastError(result);
        return FALSE;
    }
    for (const GroupColumn* c = columns_; c->titleId != 0xFFFFFFFF; c++) {
        DWORD width = (DWORD)SendMessageW(list_, LVM_GETCOLUMNWIDTH, c->index, 0);
        result = RegSetValueExW(key, c->valueName, 0, REG_DWORD, (const BYTE*)&width, sizeof(width));
        if (result != ERROR_SUCCESS) {
            RegCloseKey(key);
            SetLastError(result);
            return FALSE;
        }
    }
    RegCloseKey(key);
    return TRUE;
}

void GroupView::Show(int showCommand)
{
    ShowWindow(list_, showCommand);
    UpdateWindow(list_);
}

void GroupView::SetText(int row, int column, const wchar_t* text)
{
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = (LPWSTR)text;
    SendMessageW(list_, LVM_SETITEMTEXTW, row, (LPARAM)&item);
}

void GroupView::SetNumber(int row, int column, DWORD value)
{
    wchar_t text[16];
    _snwprintf(text, 16, L"%d", (int)value);
    text[15] = L'\0';
    SetText(row, column, text);
}

void GroupView::SetUnreadCount(UINT row, DWORD count)
{
    SetNumber((int)row, kGroupColumnUnread, count);
}

BOOL GroupView::Fill(const wchar_t* dataPath)
{
    SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
    GroupListReader* reader = GroupListReader::Open(dataPath);
    if (!reader) {
        ShowErrorBox(IDS_GROUP_LIST_FAILED, kGroupCaption, MB_ICONHAND);
        return FALSE;
    }
    int row = 0;
    for (const wchar_t* name = reader->Next(); name; name = reader->Next(), row++) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = (LPWSTR)name;
        SendMessageW(list_, LVM_INSERTITEMW, 0, (LPARAM)&item);

        GroupRecord group;
        group.Reset();
        if (!group.SetNames(dataPath, name) || !group.ReadHeader()) {
            const wchar_t* text = FormatLastError(kIndexInitFailed);
            ShowMessage(NULL, text, kGroupCaption, MB_ICONHAND);
            group.Release();
            // The reader is closed here too; leaving it open would hold group.dat.
            reader->Close();
            return FALSE;
        }
        SetText(row, kGroupColumnState, group.StateText());
        if (group.LastArticle() == 0xFFFFFFFF)
            SetText(row, kGroupColumnCurrent, L"Catchup");
        else
            SetNumber(row, kGroupColumnCurrent, group.LastArticle());
        SetNumber(row, kGroupColumnServerLast, group.ServerLast());
        SetNumber(row, kGroupColumnArticles, group.RecordCount());
        SetNumber(row, kGroupColumnUnread, group.UnreadCount());
        group.Release();
    }
    reader->Close();
    if (row > 0) {
        LVITEMW item = {};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list_, LVM_SETITEMSTATE, 0, (LPARAM)&item);
    }
    return TRUE;
}

int GroupView::GetSelected(wchar_t* buffer, int capacity, UINT* row)
{
    if (!list_ || capacity <= 0)
        return 0;
    int selected = (int)SendMessageW(list_, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    if (selected < 0)
        return 0;
    LVITEMW item = {};
    item.iSubItem = kGroupColumnName;
    item.pszText = buffer;
    item.cchTextMax = capacity;
    buffer[0] = L'\0';
    int length = (int)SendMessageW(list_, LVM_GETITEMTEXTW, selected, (LPARAM)&item);
    if (length <= 0)
        return 0;
    *row = (UINT)selected;
    return length;
}
