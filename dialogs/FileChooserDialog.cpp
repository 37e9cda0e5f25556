#include "dialogs/FileChooserDialog.h"
#include "resource.h"
#include <string.h>
#include <wchar.h>

enum { kImageClosed = 0, kImageOpen = 1, kImageFile = 2, kImageDrive = 3 };
static const wchar_t kPlaceholder[] = L"DUMMY";

FileChooserDialog::FileChooserDialog()
    : imageList_(NULL), result_(NULL), caption_(NULL), pattern_(NULL)
{
    path_[0] = L'\0';
}

FileChooserDialog::~FileChooserDialog()
{
    Release();
}

void FileChooserDialog::Release()
{
    if (imageList_) {
        ImageList_Destroy(imageList_);
        imageList_ = NULL;
    }
}

int FileChooserDialog::Choose(HINSTANCE instance, HWND owner, const wchar_t* caption,
                              const wchar_t* pattern)
{
    if (!imageList_) {
        imageList_ = ImageList_LoadImage(instance, MAKEINTRESOURCEW(IDB_CHOOSER_IMAGES), 16, 0,
                                         RGB(255, 0, 255), IMAGE_BITMAP, LR_CREATEDIBSECTION);
        if (!imageList_)
            return IDCANCEL;
    }
    caption_ = caption;
    // Each call says its own mode: a folder chooser after a file chooser
    // must not keep the old pattern.
    pattern_ = pattern;
    return Run(instance, IDD_FILE_CHOOSER, owner) == IDOK ? IDOK : IDCANCEL;
}

BOOL FileChooserDialog::OnCommand(WORD id, WORD code, LPARAM lParam)
{
    if (id == IDCANCEL)
        End(IDCANCEL);
    else if (id == IDC_CHOOSER_OK)
        OnOk(dialog_);
    return TRUE;
}

INT_PTR FileChooserDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_NOTIFY)
        return FALSE;
    NMHDR* header = (NMHDR*)lParam;
    if (header->idFrom == IDC_CHOOSER_TREE) {
        if (header->code == TVN_ITEMEXPANDINGW)
            OnItemExpanding(dialog_, (NMTREEVIEWW*)lParam);
        else if (header->code == TVN_SELCHANGEDW)
            OnSelectionChanged(dialog_, (NMTREEVIEWW*)lParam);
    }
    // Returning TRUE as the procedure's result; the message result stays
    // 0, so expanding is always allowed.
    return TRUE;
}

BOOL FileChooserDialog::OnInitDialog()
{
    HWND dialog = dialog_;
    HWND tree = GetDlgItem(dialog, IDC_CHOOSER_TREE);
    TreeView_SetImageList(tree, imageList_, TVSIL_NORMAL);
    TreeView_DeleteAllItems(tree);

    TVINSERTSTRUCTW insert;
    memset(&insert, 0, sizeof insert);
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = (LPWSTR)L"\\";
    insert.item.iImage = kImageDrive;
    insert.item.iSelectedImage = kImageDrive;
    HTREEITEM root = (HTREEITEM)SendMessageW(tree, TVM_INSERTITEMW, 0, (LPARAM)&insert);
    InsertPlaceholder(tree, root);

    if (caption_)
        SetWindowTextW(dialog, caption_);
    EnableWindow(GetDlgItem(dialog, IDC_CHOOSER_OK), FALSE);
    return TRUE;
}

HTREEITEM FileChooserDialog::InsertPlaceholder(HWND tree, HTREEITEM parent)
{
    TVINSERTSTRUCTW insert;
    memset(&insert, 0, sizeof insert);
    insert.hParent = parent;
    insert.hInsertAfter = TVI_FIRST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = (LPWSTR)kPlaceholder;
    insert.item.iImage = kImageClosed;
    insert.item.iSelectedImage = kImageOpen;
    return (HTREEITEM)SendMessageW(tree, TVM_INSERTITEMW, 0, (LPARAM)&insert);
}

const wchar_t* FileChooserDialog::FullPath(HWND tree, HTREEITEM item, wchar_t* buffer) const
{
    // Built backwards from the end; every step checks the room left.
    wchar_t* p = buffer + kChooserPathCapacity - 1;
    *p = L'\0';
    wchar_t text[kChooserPathCapacity];
    for (;;) {
        HTREEITEM parent = TreeView_GetParent(tree, item);
        if (!parent)
            break;  // the root's own text is not used
        TVITEMW tv;
        memset(&tv, 0, sizeof tv);
        tv.mask = TVIF_TEXT;
        tv.hItem = item;
        tv.pszText = text;
        tv.cchTextMax = kChooserPathCapacity;
        text[0] = L'\0';
        SendMessageW(tree, TVM_GETITEMW, 0, (LPARAM)&tv);
        size_t n = wcslen(text);
        if ((size_t)(p - buffer) < n + 1)
            return NULL;
        *--p = L'\\';
        p -= n;
        memcpy(p, text, n * sizeof(wchar_t));
        item = parent;
    }
    if (p == buffer)
        return NULL;
    *--p = L'\\';
    return p;
}

void FileChooserDialog::InsertSorted(HWND tree, HTREEITEM parent, const wchar_t* name,
                                     BOOL isFile)
{
    HTREEITEM after = TVI_FIRST;
    HTREEITEM child = TreeView_GetChild(tree, parent);
    if (child)
        after = TVI_LAST;
    wchar_t text[kChooserPathCapacity];
    HTREEITEM previous = NULL;
    for (; child; child = TreeView_GetNextSibling(tree, child)) {
        TVITEMW tv;
        memset(&tv, 0, sizeof tv);
        tv.mask = TVIF_TEXT | TVIF_IMAGE;
        tv.hItem = child;
        tv.pszText = text;
        tv.cchTextMax = kChooserPathCapacity;
        text[0] = L'\0';
        SendMessageW(tree, TVM_GETITEMW, 0, (LPARAM)&tv);
        BOOL candidate = !isFile || tv.iImage != kImageClosed;
        if (candidate && _wcsicmp(text, name) >= 0) {
            after = previous ? previous : TVI_FIRST;
            break;
        }
        previous = child;
    }

    TVINSERTSTRUCTW insert;
    memset(&insert, 0, sizeof insert);
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = (LPWSTR)name;
    insert.item.iImage = isFile ? kImageFile : kImageClosed;
    insert.item.iSelectedImage = isFile ? kImageFile : kImageOpen;
    HTREEITEM item = (HTREEITEM)SendMessageW(tree, TVM_INSERTITEMW, 0, (LPARAM)&insert);
    if (item && !isFile)
        InsertPlaceholder(tree, item);
}

void FileChooserDialog::ReadFolder(HWND tree, HTREEITEM item, const wchar_t* path)
{
    wchar_t searchPath[kChooserPathCapacity];
    int n = _snwprintf(searchPath, kChooserPathCapacity, L"%s*.*", path);
    if (n < 0 || n >= kChooserPathCapacity)
        return;  // too long to list: the folder gets no children
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(searchPath, &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                continue;
            if (!wcscmp(found.cFileName, L".") || !wcscmp(found.cFileName, L".."))
                continue;
            InsertSorted(tree, item, found.cFileName, FALSE);
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    if (!pattern_)
        return;
    n = _snwprintf(searchPath, kChooserPathCapacity, L"%s%s", path, pattern_);
    if (n < 0 || n >= kChooserPathCapacity)
        return;
    find = FindFirstFileW(searchPath, &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            InsertSorted(tree, item, found.cFileName, TRUE);
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

void FileChooserDialog::OnItemExpanding(HWND dialog, NMTREEVIEWW* info)
{
    HWND tree = info->hdr.hwndFrom;
    HTREEITEM item = info->itemNew.hItem;
    if (info->action == TVE_EXPAND) {
        wchar_t buffer[kChooserPathCapacity];
        const wchar_t* path = FullPath(tree, item, buffer);
        HTREEITEM first = TreeView_GetChild(tree, item);
        if (first)
            TreeView_DeleteItem(tree, first);
        if (path)
            ReadFolder(tree, item, path);
        return;
    }
    // Forget the content, so the folder is read again when next opened.
    HTREEITEM child;
    while ((child = TreeView_GetChild(tree, item)) != NULL)
        TreeView_DeleteItem(tree, child);
    InsertPlaceholder(tree, item);
}

void FileChooserDialog::OnSelectionChanged(HWND dialog, NMTREEVIEWW* info)
{
    HWND tree = info->hdr.hwndFrom;
    HTREEITEM item = info->itemNew.hItem;
    BOOL enable = item != NULL;
    if (enable && pattern_) {
        TVITEMW tv;
        memset(&tv, 0, sizeof tv);
        tv.mask = TVIF_IMAGE;
        tv.hItem = item;
        SendMessageW(tree, TVM_GETITEMW, 0, (LPARAM)&tv);
        enable = tv.iImage == kImageFile;
    }
    if (enable) {
        // A path that would not fit cannot be chosen.
        wchar_t buffer[kChooserPathCapacity];
        enable = FullPath(tree, item, buffer) != NULL;
    }
    EnableWindow(GetDlgItem(dialog, IDC_CHOOSER_OK), enable);
}

void FileChooserDialog::OnOk(HWND dialog)
{
    HWND tree = GetDlgItem(dialog, IDC_CHOOSER_TREE);
    HTREEITEM item = TreeView_GetSelection(tree);
    if (!item)
        return;
    wchar_t buffer[kChooserPathCapacity];
    const wchar_t* path = FullPath(tree, item, buffer);
    if (!path) {
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    size_t n = wcslen(path);
    memcpy(path_, path, (n + 1) * sizeof(wchar_t));
    if (pattern_ && n > 1)
        path_[n - 1] = L'\0';  // a file has no trailing backslash
    result_ = path_;
    End(IDOK);
}
