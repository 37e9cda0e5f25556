// A small tree of the device's folders (and, with a pattern, files), read one
// folder at a time as branches open: the data folder chooser of the main
// property page. Dialog IDD_FILE_CHOOSER.
#pragma once
#include <commctrl.h>
#include "dialogs/ModalDialog.h"

enum { kChooserPathCapacity = 260 };

class FileChooserDialog : public ModalDialog {
public:
    FileChooserDialog();
    ~FileChooserDialog();

    // IDOK after OK (Result() is the chosen path: a folder ends with a
    // backslash, a file does not), IDCANCEL after Cancel or when the images
    // cannot be made. A null `pattern` chooses a folder; "*.exe" chooses a
    // file.
    int Choose(HINSTANCE instance, HWND owner, const wchar_t* caption, const wchar_t* pattern);
    // Frees the image list; the object may be used again afterwards.
    void Release();
    const wchar_t* Result() const { return result_; }

private:
    BOOL OnInitDialog() override;
    BOOL OnCommand(WORD id, WORD code, LPARAM lParam) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
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
