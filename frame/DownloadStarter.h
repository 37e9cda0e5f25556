// Starting a patrol from the frame and taking its end back.
//
// The frame calls, on the user interface thread:
//   IDM_DOWNLOAD (after dial-up when enabled)    StartPatrol(...)
//   WM_PATROL_DONE (lParam = job)                OnPatrolDone(...)
// StartPatrol returns once the progress dialog has closed; the frame's
// WM_PATROL_DONE arrives while it runs or just after it.
#pragma once
#include <windows.h>
#include "nntp/DownloadJob.h"
#include "settings/Settings.h"

// Asks for the password when a user id but none is stored, builds the job,
// starts the worker and runs the progress dialog. Failures are shown here
// (IDS_OUT_OF_MEMORY, IDS_PATROL_THREAD_FAILED); Cancel in the password
// prompt starts nothing. The strings are borrowed and must not change
// until the pass has ended. 0 when no pass ran, so no WM_PATROL_DONE will
// come.
BOOL StartPatrolWith(HINSTANCE instance, HWND frameWindow, HWND groupList,
                     const wchar_t* server, DWORD port, const wchar_t* dataPath, DWORD limit,
                     DWORD pipelining, const char* userId, const char* password,
                     DWORD convertMime = 0, DWORD compress = 0, DWORD security = 0,
                     const wchar_t* tlsFingerprint = NULL, const Poster* poster = NULL);

inline BOOL StartPatrol(HINSTANCE instance, HWND frameWindow, HWND groupList,
                        const Settings* settings)
{
    Poster poster = {settings->UserName, settings->MailAddress, settings->Organization};
    return StartPatrolWith(instance, frameWindow, groupList, settings->Server, settings->Port,
                           settings->DataPath, settings->Limit, settings->Pipelining,
                           settings->UserID, settings->Password, settings->ConvertMime,
                           settings->Compress, settings->Security, settings->TlsFingerprint, &poster);
}

// The frame's steps around the report: the hang-up of a line it dialled
// (may be none), and its data re-initialisation with the refill of the group
// view, which reports its own failure (may be none).
struct PatrolEndSteps {
    void (*hangUp)(void* context);
    BOOL (*reinitialise)(void* context);
    void* context;
};

// WM_PATROL_DONE: hangs up, reports the end (the fatal failure's own box,
// or IDS_DOWNLOAD_DONE under "Disconnect" followed by the
// re-initialisation; both followed by IDS_POSTS_DONE when the pass posted
// or saw posts refused), then lets go of the job.
void OnPatrolDone(HWND frameWindow, DownloadJob* job, const PatrolEndSteps* steps);
