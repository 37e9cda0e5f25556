#include "dialogs/ProgressDialog.h"
#include "text/MessageCatalog.h"
#include "resource.h"

namespace {

BOOL OnInitDialog(HWND dialog, ProgressState* state)
{
    SetWindowLongPtrW(dialog, DWLP_USER, (LONG_PTR)state);
    InterlockedExchangePointer((PVOID volatile*)&state->dialog, dialog);
    // The worker may have finished before we were here to be closed.
    if (InterlockedCompareExchange(&state->workerDone, 0, 0))
        EndDialog(dialog, IDOK);
    return TRUE;
}

void OnDestroy(HWND dialog, ProgressState* state)
{
    if (state)
        InterlockedCompareExchangePointer((PVOID volatile*)&state->dialog, NULL, dialog);
}

INT_PTR CALLBACK ProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    ProgressState* state = (ProgressState*)GetWindowLongPtrW(dialog, DWLP_USER);
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog, (ProgressState*)lParam);
    case WM_DESTROY:
        OnDestroy(dialog, state);
        return FALSE;
    case WM_COMMAND:
        if (!state) {
            ShowMessage(NULL, L"Not Initialized!", L"ERROR", MB_ICONHAND);
            return TRUE;
        }
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        // Escape while the worker runs would free the typed password under
        // it and let a second pass start; only a finished pass may go.
        if (LOWORD(wParam) == IDCANCEL) {
            if (InterlockedCompareExchange(&state->workerDone, 0, 0))
                EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

}  // namespace

INT_PTR RunProgressDialog(HINSTANCE instance, HWND owner, ProgressState* state)
{
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PROGRESS), owner, ProgressProc,
                           (LPARAM)state);
}
