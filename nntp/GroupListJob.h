// One fetch of the server's group list: "LIST active" (or "LIST"), every
// group name into active.dat, every first name component once into
// category.dat. Runs on the group list worker; knows nothing of windows but
// the handle it notifies.
#pragma once
#include "nntp/Sockets.h"
#include <windows.h>
#include "nntp/CompressLayer.h"
#include "nntp/NntpConnection.h"
#include "nntp/SecureStart.h"

enum { kGroupListLineSize = 1024, kGroupListErrorSize = 1024 };

// Told of each group stored, on the worker thread (the dialog's count).
struct GroupCounter {
    void (*countGroup)(void* context);
    void* context;
};

struct GroupListJob {
    wchar_t* activePath;     // own copy
    wchar_t* categoryPath;   // own copy
    char* server;            // own, converted with ToMultiByte
    DWORD port;
    const char* userId;      // borrowed from the caller, may be none
    const char* password;    // borrowed from the caller, may be none
    HWND dialog;             // receives WM_COMMAND notifyId at the end
    UINT notifyId;
    // The message to show at the end; empty when all went well. A fixed
    // buffer, so that no failure can go unreported for want of memory.
    wchar_t errorText[kGroupListErrorSize];
    DWORD compress;          // the Compress setting; 0 after creation
    NntpConnection connection;
    CompressLayer compressLayer;
    SecureChannel secure;    // the fingerprint borrowed from the caller
    char line[kGroupListLineSize];
    GroupCounter counter;    // countGroup may be none
};

// A new job with copies of the paths and the converted server name; none with
// ERROR_NOT_ENOUGH_MEMORY when memory runs out (nothing is left allocated).
// `security` and `tlsFingerprint` are the settings Security and
// TlsFingerprint.
GroupListJob* CreateGroupListJob(const wchar_t* activePath, const wchar_t* categoryPath, const wchar_t* server,
                                 DWORD port, const char* userId, const char* password, HWND dialog, UINT notifyId,
                                 const GroupCounter* counter, DWORD security = 0,
                                 const wchar_t* tlsFingerprint = NULL);
// Closes the connection and frees the copies; none is harmless.
void DestroyGroupListJob(GroupListJob* job);

// The whole fetch, on the calling thread. TRUE when the list was stored;
// otherwise the job's errorText says why.
BOOL RunGroupListJob(GroupListJob* job);

// Worker thread body: the fetch, then exactly one notification posted to the
// job's dialog. The job is not touched after that post.
DWORD WINAPI GroupListWorker(void* job);
