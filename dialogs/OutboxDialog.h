// The outbox: every post of the draft folder (drafts, queued, refused) with
// its subject, groups and state, to open, queue or delete.
#pragma once
#include <windows.h>
#include "dialogs/ModalDialog.h"
#include "settings/Settings.h"

class OutboxDialog : public ModalDialog {
public:
    explicit OutboxDialog(const Settings* settings) : settings_(settings), instance_(NULL) {}
    INT_PTR Run(HINSTANCE instance, HWND owner);

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(WORD id, WORD code, LPARAM lParam) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Fill();
    BOOL Selected(wchar_t* path);

    const Settings* settings_;
    HINSTANCE instance_;
};
