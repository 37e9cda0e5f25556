// The modal "fetching the group list" dialog: starts the group list worker,
// shows the running count, and ends once the worker has reported back.
#pragma once
#include "dialogs/ModalDialog.h"

struct GroupListJob;

struct GroupListDialog : ModalDialog {
    DWORD count;
    const wchar_t* server;
    DWORD port;
    const wchar_t* activePath;
    const wchar_t* categoryPath;
    const char* userId;
    const char* password;
    DWORD compress;
    DWORD security;
    const wchar_t* tlsFingerprint;
    GroupListJob* job;
    HANDLE worker;         // joined after the dialog has closed
    BOOL finished;         // the end notification has arrived
    // Why the fetch could not start (no memory, no thread); shown like the
    // worker's own error text.
    wchar_t startError[256];

    BOOL OnInitDialog() override;
    BOOL OnCommand(WORD id, WORD code, LPARAM lParam) override;
};

// Runs the dialog (IDD_GROUPLIST) owned by `owner` and returns when it has
// closed and the worker has ended. Reports nothing itself: the dialog has
// shown any error. The user id, password and fingerprint must stay valid
// until it returns; `security` and `tlsFingerprint` are the settings Security
// and TlsFingerprint.
INT_PTR RunGroupListFetch(HINSTANCE instance, HWND owner, const wchar_t* activePath, const wchar_t* categoryPath,
                          const wchar_t* server, DWORD port, const char* userId, const char* password,
                          DWORD compress = 0, DWORD security = 0, const wchar_t* tlsFingerprint = NULL);
