// The frame's side of a patrol: starting it (after dialling when asked) and
// taking its end back from the worker.
#pragma once
#include <windows.h>

class MainFrame;

// Command 40003: dials first when Dialup is on and no line is up.
void StartFrameDownload(MainFrame* frame);
// The download starter proper; `frame` is the MainFrame. 0 when no pass ran.
BOOL StartFramePatrol(void* frame);
// WM_PATROL_DONE: lParam is the job.
void FinishFrameDownload(MainFrame* frame, LPARAM job);
