#include "dialogs/ProgressDialog.h"
#include "dialogs/ModalDialog.h"
#include "resource.h"

namespace {

class ProgressDialog : public ModalDialog {
public:
    explicit ProgressDialog(ProgressState* state) : state_(state) {}

private:
    BOOL OnInitDialog() override;
    BOOL OnCommand(WORD id, WORD code, LPARAM lParam) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    ProgressState* state_;
};

BOOL ProgressDialog::OnInitDialog()
{
    InterlockedExchangePointer((PVOID volatile*)&state_->dialog, dialog_);
    // The worker may have finished before we were here to be closed.
    if (InterlockedCompareExchange(&state_->workerDone, 0, 0))
        End(IDOK);
    return TRUE;
}

BOOL ProgressDialog::OnCommand(WORD id, WORD code, LPARAM lParam)
{
    if (id == IDOK) {
        End(IDOK);
        return TRUE;
    }
    // Escape while the worker runs would free the typed password under it
    // and let a second pass start; only a finished pass may go.
    if (id == IDCANCEL) {
        if (InterlockedCompareExchange(&state_->workerDone, 0, 0))
            End(IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

INT_PTR ProgressDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
        InterlockedCompareExchangePointer((PVOID volatile*)&state_->dialog, NULL, dialog_);
    return FALSE;
}

}  // namespace

INT_PTR RunProgressDialog(HINSTANCE instance, HWND owner, ProgressState* state)
{
    ProgressDialog dialog(state);
    return dialog.Run(instance, IDD_PROGRESS, owner);
}
