// A small tree of the device's folders (and, with a pattern, files), read one
// folder at a time as branches open: the data folder chooser of the main
// property page. Dialog IDD_FILE_CHOOSER.
#pragma once
#include <windows.h>
#include <commctrl.h>

enum { kChooserPathCapacity = 260 };

class FileChooserDialog {
public:
    FileChooserDialog();
    ~FileChooserDialog();

    // IDOK after OK (Result() is the chosen path: a folder ends with a
    // backslash, a file does not), IDCANCEL after Cancel or when the images
    // cannot be made. A null `pattern` chooses a folder; "*.exe" chooses a file.
    int Choose(HINSTANCE instance, HWND owner, const wchar_t* caption, const wchar_t* pattern);
    // Frees the image list; the object may be used again afterwards.
    void Release();
    const wchar_t* Result() const { return result_; }

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND dialog);
    void OnItemExpanding(HWND dialog, NMTREEVIEWW* info);
    void OnSelectionChanged(HWND dialog, NMTREEVIEWW* info);
    void OnOk(HWND dialog);
    // The item's full path at the end of `buffer`; none when it would not fit.
    const wchar_t* FullPath(HWND tree, HTREEITEM item, wchar_t* buffer) const;
    void ReadFolder(HWND tree, HTREEITEM item, const wchar_t* path);
    void InsertSorted(HWND tree, HTREEITEM parent, const wchar_t* name, BOOL isFile);
    HTREEITEM InsertPlaceholder(HWND tree, HTREEITEM parent);

    HIMAGELIST imageList_;
    wchar_t path_[kChooserPathCapacity];
    wchar_t* result_;
    const wchar_t* caption_;
    const wchar_t* pattern_;
};
