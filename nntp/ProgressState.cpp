#include "nntp/ProgressState.h"
#include <commctrl.h>
#include "resource.h"

void InitProgressState(ProgressState* state)
{
    state->dialog = NULL;
    state->workerDone = 0;
}

static HWND OpenDialog(ProgressState* state)
{
    return (HWND)InterlockedCompareExchangePointer((PVOID volatile*)&state->dialog, NULL, NULL);
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
