// The frame's side of a patrol: starting it (after dialling when asked) and
// taking its end back from the worker.
#pragma once
#include <windows.h>
#include "nntp/DialUp.h"

class MainFrame;

// IDM_DOWNLOAD: dials first when Dialup is on and no line is up.
void StartFrameDownload(MainFrame* frame);
// The download starter proper; `frame` is the MainFrame. 0 when no pass ran.
BOOL StartFramePatrol(void* frame);
// WM_PATROL_DONE: lParam is the job.
void FinishFrameDownload(MainFrame* frame, LPARAM job);

// The dialogs of the dial-up road. The frame calls
//   IDM_DOWNLOAD         StartDownload(&link, instance, frame, Dialup, EntryName, start, arg)
//   WM_PATROL_DONE       HangUpAfterPatrol(&link, instance, frame, Dialup, DisconnectWaitTime)
//                        before it reports the end of the patrol

// With `dialup` off, or while any connection is up, calls start(arg) at once.
// Otherwise disables the frame, opens the dial-up dialog and dials `entryName`;
// the dialog later posts WM_DIAL_CONNECTED or WM_DIAL_HANGUP to the frame.
// If the dialog cannot be made the frame is enabled again and the failure is
// shown; nothing is dialled.
void StartDownload(DialUpLink* link, HINSTANCE instance, HWND frame, BOOL dialup,
                   const wchar_t* entryName, DownloadStartProc start, void* arg);

// After a download: when `dialup` is on and this program raised the line,
// runs the hang-up countdown (which sends WM_DIAL_HANGUP to the frame unless
// the user cancels it); dialConnected is cleared in every case. A line the
// user chose to keep is theirs from then on.
void HangUpAfterPatrol(DialUpLink* link, HINSTANCE instance, HWND frame, BOOL dialup,
                       DWORD waitSeconds);
