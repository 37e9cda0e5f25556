// Where the patrol worker and its progress dialog (IDD_PROGRESS) meet.
//
// The worker may end before the dialog has opened. The worker marks itself
// done and closes the dialog if it is there; the dialog, when it opens,
// closes itself at once if the worker is already done. One of the two
// always sees the other.
#pragma once
#include <windows.h>

struct ProgressState {
    HWND volatile dialog;          // set by the dialog while it is open
    LONG volatile workerDone;      // 1 once the pass has ended
};

void InitProgressState(ProgressState* state);

// Worker thread: sent messages to the open dialog; nothing when it is not
// (yet) open.
void ProgressShowGroup(ProgressState* state, const wchar_t* groupName, DWORD upper);
void ProgressStep(ProgressState* state);
// After the pass: marks the worker done and closes the dialog if it is open.
void ProgressWorkerDone(ProgressState* state);
