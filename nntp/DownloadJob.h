// What a patrol works on and what it hands back to the frame. Built by the
// starter on the user interface thread; the worker only reads the settings
// it borrows, and writes the result.
#pragma once
#include <windows.h>
#include "nntp/GroupCursor.h"
#include "nntp/ProgressState.h"
#include "text/PostComposer.h"

// The worker sends this to the frame window at the end of a pass, lParam
// the job.
enum { WM_PATROL_DONE = WM_APP + 1 };

enum { kResultTextCapacity = 1024 };

enum DownloadStatus { StatusOk = 0, StatusSkipped = 1, StatusFatal = 2 };

struct DownloadResult {
    wchar_t caption[kResultTextCapacity];   // message caption, or the group
    wchar_t text[kResultTextCapacity];
    DWORD status;
};

struct DownloadJob {
    const wchar_t* server;      // borrowed from the settings
    DWORD port;
    const wchar_t* dataPath;    // borrowed; ends with a backslash
    GroupCursor* cursor;        // owned
    DownloadResult* result;     // owned
    HWND frameWindow;           // receives WM_PATROL_DONE
    DWORD limit;
    DWORD pipelining;           // the Pipelining setting: commands kept in flight
    const char* userId;         // borrowed; none when not set
    const char* password;       // borrowed from the settings or the starter
    DWORD convertMime;          // the setting ConvertMime (ArticleConverter)
    DWORD compress;             // the Compress setting: deflate when the server offers it
    DWORD security;             // the setting Security (SecurityMode)
    const wchar_t* tlsFingerprint;  // borrowed; may be none
    Poster poster;              // borrowed from the settings; its address may be none
    DWORD posted;               // posts the server took in this pass
    DWORD refused;              // and those it refused
    ProgressState progress;
    // The starter (until its dialog has closed) and the frame's end of the
    // patrol each hold one; the last to let go frees the job, so the dialog
    // never outlives what it points into.
    LONG references;
};

// Fills `text` (and `caption`) bounded to the result's buffers.
void SetDownloadResult(DownloadResult* result, const wchar_t* caption, const wchar_t* text,
                       DWORD status);
