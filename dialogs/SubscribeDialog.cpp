#include "dialogs/SubscribeDialog.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <new>
#include "resource.h"
#include "text/MessageCatalog.h"
#include "settings/Settings.h"
#include "store/FileRewrite.h"
#include "store/LineReader.h"
#include "text/CodePage.h"
#include "dialogs/GroupListDialog.h"
#include "dialogs/PasswordPrompt.h"

enum { kNameCapacity = 1024, kGroupColumnWidth = 180 };
enum { kIconUnsubscribed = 0, kIconSubscribed = 1 };

// A box with the last error in a format that is not in the string table.
static void ShowCodeBox(const wchar_t* format)
{
    DWORD code = GetLastError();
    wchar_t text[kMessageTextCapacity];
    _snwprintf(text, kMessageTextCapacity - 1, format, (int)code);
    text[kMessageTextCapacity - 1] = L'\0';
    ShowMessage(NULL, text, kCaptionPelora, MB_ICONHAND);
}

static HANDLE OpenForReading(const wchar_t* path)
{
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
}

static HWND GroupList(SubscribeDialog* context)
{
    return GetDlgItem(context->Window(), IDC_SUBSCRIBE_LIST);
}

static void InsertItem(HWND list, const wchar_t* text, int icon)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = 0x7FFFFFFF;
    item.pszText = (wchar_t*)text;
    item.iImage = icon;
    SendMessageW(list, LVM_INSERTITEMW, 0, (LPARAM)&item);
}

static void ShowCategories(SubscribeDialog* context)
{
    context->mode = SubscribeDialog::kCategories;
    HANDLE file = OpenForReading(context->categoryPath);
    if (file == INVALID_HANDLE_VALUE)
        return;
    HCURSOR previous = SetCursor(LoadCursor(NULL, IDC_WAIT));
    HWND list = GroupList(context);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    LineReader reader;
    reader.Init(file);
    char line[kStoreLineCapacity];
    while (reader.ReadLine(line, sizeof line, TRUE)) {
        wchar_t* wide = ToWide(line);
        if (wide)
            InsertItem(list, wide, kIconUnsubscribed);
        free(wide);
    }
    EnableWindow(GetDlgItem(context->Window(), IDC_SUBSCRIBE_CATEGORY), FALSE);
    CloseHandle(file);
    SetCursor(previous);
}

static void ShowGroupsOf(SubscribeDialog* context, const wchar_t* category)
{
    context->mode = SubscribeDialog::kGroups;
    HANDLE file = OpenForReading(context->activePath);
    if (file == INVALID_HANDLE_VALUE)
        return;
    HCURSOR previous = SetCursor(LoadCursor(NULL, IDC_WAIT));
    char* prefix = ToMultiByte(category);
    size_t prefixLength = prefix ? strlen(prefix) : 0;
    HWND list = GroupList(context);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    LineReader reader;
    reader.Init(file);
    char line[kStoreLineCapacity];
    while (prefix && reader.ReadLine(line, sizeof line, TRUE)) {
        // A plain prefix test: category "fj" also lists "fjx.test".
        if (strncmp(line, prefix, prefixLength) != 0)
            continue;
        wchar_t* wide = ToWide(line);
        if (wide)
            InsertItem(list, wide, context->subscribed.Find(line) ? kIconSubscribed : kIconUnsubscribed);
        free(wide);
    }
    free(prefix);
    EnableWindow(GetDlgItem(context->Window(), IDC_SUBSCRIBE_CATEGORY), TRUE);
    CloseHandle(file);
    SetCursor(previous);
}

// Loads group.dat into the table; 0 after a box was shown.
static BOOL LoadSubscriptions(SubscribeDialog* context)
{
    if (!context->subscribed.Init()) {
        ShowCodeBox(L"ダイアログの初期化に失敗しました(Hash:%d)");
        return FALSE;
    }
    HANDLE file = OpenForReading(context->groupPath);
    if (file == INVALID_HANDLE_VALUE) {
        ShowCodeBox(L"グループファイルが開けません(%d)");
        return FALSE;
    }
    LineReader reader;
    reader.Init(file);
    char line[kStoreLineCapacity];
    BOOL loaded = TRUE;
    while (reader.ReadLine(line, sizeof line, TRUE)) {
        if (!context->subscribed.Insert(line)) {
            ShowCodeBox(L"グループファイルが開けません(Load:%d)");
            loaded = FALSE;
            break;
        }
    }
    CloseHandle(file);
    return loaded;
}

BOOL SubscribeDialog::OnInitDialog()
{
    SubscribeDialog* context = this;
    HWND list = GroupList(context);
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = kGroupColumnWidth;
    column.pszText = (wchar_t*)L"Group";
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, (LPARAM)&column);
    if (context->images)
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)context->images);
    if (LoadSubscriptions(context))
        ShowCategories(context);
    return TRUE;
}

static void OnDoubleTap(SubscribeDialog* context)
{
    HWND list = GroupList(context);
    int selected = (int)SendMessageW(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    if (selected < 0)
        return;
    wchar_t text[kNameCapacity];
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = selected;
    item.pszText = text;
    item.cchTextMax = kNameCapacity;
    if (!SendMessageW(list, LVM_GETITEMW, 0, (LPARAM)&item))
        return;
    if (context->mode == SubscribeDialog::kCategories) {
        ShowGroupsOf(context, text);
        return;
    }
    char* name = ToMultiByte(text);
    if (!name)
        return;
    if (item.iImage == kIconSubscribed) {
        context->subscribed.Remove(name);
        item.iImage = kIconUnsubscribed;
    } else {
        context->subscribed.Insert(name);
        item.iImage = kIconSubscribed;
    }
    free(name);
    item.mask = LVIF_IMAGE;
    SendMessageW(list, LVM_SETITEMW, 0, (LPARAM)&item);
}

static void OnDownload(SubscribeDialog* context)
{
    Settings* settings = context->settings;
    char* typed = NULL;
    const char* password = settings->Password;
    if (settings->UserID && !settings->Password) {
        typed = RunPasswordPrompt(context->instance, context->Window(), settings->UserID);
        if (!typed)
            return;
        password = typed;
    }
    RunGroupListFetch(context->instance, context->Window(), context->activePath, context->categoryPath,
                      settings->Server, settings->Port, settings->UserID, password, settings->Compress,
                      settings->Security, settings->TlsFingerprint);
    free(typed);
    ShowCategories(context);
}

// Writes the table's names through "group.dat~", which replaces group.dat
// only once it is whole: a failed write or a kill keeps the old list.
static void OnOk(SubscribeDialog* context)
{
    FileRewrite file;
    file.Construct();
    if (!file.Open(context->groupPath)) {
        ShowCodeBox(L"グループファイルが開けませんでした(%d)");
        return;
    }
    BOOL written = TRUE;
    GroupNameWalk walk;
    for (GroupNameEntry* entry = walk.First(&context->subscribed); entry && written; entry = walk.Next()) {
        written = file.Write(entry->name, (DWORD)strlen(entry->name)) && file.Write("\r\n", 2);
        if (!written)
            ShowCodeBox(L"ファイルの書き込みに失敗しました(%d)");
    }
    if (!written) {
        file.Abandon();
        return;
    }
    if (!file.Commit()) {
        file.Abandon();
        ShowCodeBox(L"ファイルの書き込みに失敗しました(%d)");
    }
}

INT_PTR SubscribeDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_NOTIFY)
        return FALSE;
    NMHDR* header = (NMHDR*)lParam;
    if (header->idFrom == IDC_SUBSCRIBE_LIST && header->code == NM_DBLCLK)
        OnDoubleTap(this);
    return TRUE;
}

BOOL SubscribeDialog::OnCommand(WORD id, WORD code, LPARAM lParam)
{
    switch (id) {
    case IDOK:
        OnOk(this);
        End(IDOK);
        break;
    case IDCANCEL:
        End(IDCANCEL);
        break;
    case IDC_SUBSCRIBE_DOWNLOAD:
        OnDownload(this);
        break;
    case IDC_SUBSCRIBE_CATEGORY:
        ShowCategories(this);
        break;
    }
    return TRUE;
}

static BOOL BuildPath(wchar_t* path, const wchar_t* dataPath, const wchar_t* name)
{
    int length = _snwprintf(path, MAX_PATH, L"%s%s", dataPath, name);
    path[MAX_PATH - 1] = L'\0';
    return length >= 0 && length < MAX_PATH - 1;
}

INT_PTR RunSubscribeDialog(HINSTANCE instance, HWND parent, const wchar_t* dataPath, Settings* settings)
{
    SubscribeDialog* context = new (std::nothrow) SubscribeDialog();
    if (!context) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return IDCANCEL;
    }
    if (!BuildPath(context->activePath, dataPath, L"active.dat") ||
        !BuildPath(context->categoryPath, dataPath, L"category.dat") ||
        !BuildPath(context->groupPath, dataPath, L"group.dat")) {
        delete context;
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return IDCANCEL;
    }
    context->settings = settings;
    context->instance = instance;
    context->mode = SubscribeDialog::kCategories;
    context->images = ImageList_LoadBitmap(instance, MAKEINTRESOURCEW(IDB_SUBSCRIBE_ICONS), 8, 1, CLR_NONE);
    INT_PTR result = context->Run(instance, IDD_SUBSCRIBE, parent);
    if (context->images)
        ImageList_Destroy(context->images);
    context->subscribed.Destroy();
    delete context;
    return result;
}
