// The dial-up road of a download: dial the phone-book entry when no remote
// access connection is up, start the download when it is, and hang up after
// the download what this program raised.
//
// The frame keeps one DialUpLink and calls:
//   command 40003        StartDownload(&link, instance, frame, Dialup, EntryName, start, arg)
//   WM_DIAL_CONNECTED    OnDialConnected(&link, frame, start, arg)
//   WM_DIAL_HANGUP       OnDialHangUp(&link, frame)
//   WM_PATROL_DONE       HangUpAfterPatrol(&link, instance, frame, Dialup, DisconnectWaitTime)
//                        before it reports the end of the patrol
//   WM_DESTROY           HangUpOnClose(&link)
// `start(arg)` is the download starter; it runs on the user interface thread
// and returns 0 when no pass was started (then no WM_PATROL_DONE follows).
#pragma once
#include <windows.h>
#include "host/Ras.h"

// The frame's WM_DIAL_CONNECTED and WM_DIAL_HANGUP, as the dialogs post them.
enum {
    kDialConnectedMessage = WM_USER,
    kDialHangUpMessage = WM_USER + 1,
};

struct DialUpLink {
    HRASCONN rasConnection;  // the connection this program dialled, or none
    BOOL dialConnected;      // 1 from WM_DIAL_CONNECTED until the hang-up step
};

typedef BOOL (*DownloadStartProc)(void* arg);

void InitDialUpLink(DialUpLink* link);

// With `dialup` off, or while any connection is up, calls start(arg) at once.
// Otherwise disables the frame, opens the dial-up dialog and dials `entryName`;
// the dialog later posts WM_DIAL_CONNECTED or WM_DIAL_HANGUP to the frame.
// If the dialog cannot be made the frame is enabled again and the failure is
// shown; nothing is dialled.
void StartDownload(DialUpLink* link, HINSTANCE instance, HWND frame, BOOL dialup,
                   const wchar_t* entryName, DownloadStartProc start, void* arg);

// WM_DIAL_CONNECTED: marks the connection as ours, enables the frame, starts.
// A start that runs no pass hangs up at once: nothing else would.
void OnDialConnected(DialUpLink* link, HWND frame, DownloadStartProc start, void* arg);

// WM_DIAL_HANGUP: enables the frame and hangs up the connection we dialled.
void OnDialHangUp(DialUpLink* link, HWND frame);

// After a download: when `dialup` is on and this program raised the line,
// runs the hang-up countdown (which sends WM_DIAL_HANGUP to the frame unless
// the user cancels it); dialConnected is cleared in every case. A line the
// user chose to keep is theirs from then on.
void HangUpAfterPatrol(DialUpLink* link, HINSTANCE instance, HWND frame, BOOL dialup,
                       DWORD waitSeconds);

// The frame is going: a line this program dialled and still holds (dialling,
// downloading, counting down) is hung up.
void HangUpOnClose(DialUpLink* link);
