// The patrol: one pass over every group of the group view that fetches the
// articles the server has and the device has not, up to the limit per group,
// into each group's log and index. Runs on the download worker.
#pragma once
#include <windows.h>
#include "nntp/DownloadJob.h"

// The whole pass; the outcome is left in job->result.
void RunPatrol(DownloadJob* job);

// The worker thread: the pass, then the progress dialog is closed and the
// end is sent to the frame (WM_PATROL_DONE). The job is not touched
// after that message has been handled.
DWORD WINAPI PatrolThreadProc(void* job);
