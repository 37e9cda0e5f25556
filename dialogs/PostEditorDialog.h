// The built-in editor of one post of the draft folder: its groups, subject
// and body. Every change is saved at once, as a draft again when the post
// was queued or refused, so nothing typed is lost when the program stops.
// "送信待ちにする" checks the post and queues it; "削除" deletes it.
#pragma once
#include <windows.h>
#include "dialogs/ModalDialog.h"
#include "settings/Settings.h"
#include "store/StorePath.h"

class PostEditorDialog : public ModalDialog {
public:
    PostEditorDialog(const wchar_t* path, const Settings* settings);
    ~PostEditorDialog();
    // IDOK when it closed with the post saved, IDC_EDITOR_QUEUE when queued,
    // IDC_EDITOR_DELETE when deleted; -1 when it could not be opened.
    INT_PTR Run(HINSTANCE instance, HWND owner);

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(WORD id, WORD code, LPARAM lParam) override;

private:
    char* Compose(size_t* length);
    BOOL Save();

    wchar_t path_[kStorePathCapacity];
    const Settings* settings_;
    char* original_;   // the file as opened: the fields the editor keeps
    size_t originalLength_;
    BOOL loading_;
    BOOL changed_;
};

// Checks the post's text and queues it; a refusal is shown in a box owned by
// `owner` that names the line and the character. TRUE when queued.
BOOL QueueCheckedPost(HWND owner, const wchar_t* path, const char* text, size_t length,
                      const Settings* settings);
// Opens the post in EditorPath's program when one is set, else in the
// built-in editor; shows a failure. The editor's result, or IDOK for the
// other program.
INT_PTR OpenPost(HINSTANCE instance, HWND owner, const wchar_t* path, const Settings* settings);
