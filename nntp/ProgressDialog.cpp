#include "nntp/ProgressDialog.h"
#include <commctrl.h>
#include "app/MessageCatalog.h"
#include "resource.h"

void InitProgressState(ProgressState* state)
{
    state->dialog = NULL;
    state->workerDone = 0;
}

namespace {

HWND OpenDialog(ProgressState* state)
{
    return (HWND)InterlockedCompareExchangePointer((PVOID volatile*)&state->dialog, NULL, NULL);
}

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

void ProgressShowGroup(ProgressState* state, const wchar_t* groupName, DWORD upper)
{
    HWND dialog = OpenDialog(state);
    if (!dialog)
        return;
    SetDlgItemTextW(dialog, IDC_PROGRESS_GROUP, groupName);
    HWND bar = GetDlgItem(dialog, IDC_PROGRESS_BAR);
    SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, (WORD)upper));
    SendMessageW(bar, PBM_SETPOS, 0, 0);
}

void ProgressStep(ProgressState* state)
{
    HWND dialog = OpenDialog(state);
    if (dialog)
        SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_DELTAPOS, 1, 0);
}

void ProgressWorkerDone(ProgressState* state)
{
    InterlockedExchange(&state->workerDone, 1);
    HWND dialog = OpenDialog(state);
    if (dialog) {
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        // A sent message does not wake the dialog's loop to see its end.
        PostMessageW(dialog, WM_NULL, 0, 0);
    }
}
