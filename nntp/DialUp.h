// The dial-up road of a download, without its dialogs: the remote access
// connection this program raised, and what the frame does with it when the
// dial-up dialog reports (the dialogs' side is in frame/FrameDownload.h).
//
// The frame keeps one DialUpLink and calls:
//   WM_DIAL_CONNECTED    OnDialConnected(&link, frame, start, arg)
//   WM_DIAL_HANGUP       OnDialHangUp(&link, frame)
//   WM_DESTROY           HangUpOnClose(&link)
// `start(arg)` is the download starter; it runs on the user interface thread
// and returns 0 when no pass was started (then no WM_PATROL_DONE follows).
#pragma once
#include <windows.h>
#include "host/Ras.h"

// What the dial-up dialogs post to the frame.
enum {
    WM_DIAL_CONNECTED = WM_USER,
    WM_DIAL_HANGUP = WM_USER + 1,
};

struct DialUpLink {
    HRASCONN rasConnection;  // the connection this program dialled, or none
    BOOL dialConnected;      // 1 from WM_DIAL_CONNECTED until the hang-up step
};

typedef BOOL (*DownloadStartProc)(void* arg);

void InitDialUpLink(DialUpLink* link);

// WM_DIAL_CONNECTED: marks the connection as ours, enables the frame, starts.
// A start that runs no pass hangs up at once: nothing else would.
void OnDialConnected(DialUpLink* link, HWND frame, DownloadStartProc start, void* arg);

// WM_DIAL_HANGUP: enables the frame and hangs up the connection we dialled.
void OnDialHangUp(DialUpLink* link, HWND frame);

// The frame is going: a line this program dialled and still holds (dialling,
// downloading, counting down) is hung up.
void HangUpOnClose(DialUpLink* link);
