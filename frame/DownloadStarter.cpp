#include "frame/DownloadStarter.h"
#include <stdlib.h>
#include <stdio.h>
#include <string.h>
#include "text/MessageCatalog.h"
#include "text/SecretMemory.h"
#include "dialogs/PasswordPrompt.h"
#include "dialogs/ProgressDialog.h"
#include "nntp/Patrol.h"
#include "resource.h"

namespace {

void ReleaseJob(DownloadJob* job)
{
    if (--job->references > 0)
        return;
    free(job->cursor);
    free(job->result);
    free(job);
}

void FreeTyped(char* typed)
{
    if (typed) {
        ClearSecret(typed, strlen(typed));
        free(typed);
    }
}

// Without its dialog the pass still runs: wait for it here, serving the
// messages it sends, so the typed password outlives its use.
void WaitForWorker(ProgressState* progress)
{
    while (!InterlockedCompareExchange(&progress->workerDone, 0, 0)) {
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 50, QS_ALLINPUT);
    }
}

// `text`, and on a line of its own what the pass did with the outbox when
// it touched any post.
const wchar_t* WithPostCount(const wchar_t* text, const DownloadJob* job, wchar_t* buffer, size_t capacity)
{
    if (!job->posted && !job->refused)
        return text;
    const wchar_t* format = MessageCatalog::Load(IDS_POSTS_DONE);
    wchar_t count[kResultTextCapacity];
    _snwprintf(count, kResultTextCapacity - 1, format ? format : L"%d %d", (int)job->posted, (int)job->refused);
    count[kResultTextCapacity - 1] = 0;
    _snwprintf(buffer, capacity - 1, L"%s\n%s", text, count);
    buffer[capacity - 1] = 0;
    return buffer;
}

}  // namespace

BOOL StartPatrolWith(HINSTANCE instance, HWND frameWindow, HWND groupList,
                     const wchar_t* server, DWORD port, const wchar_t* dataPath, DWORD limit,
                     DWORD pipelining, const char* userId, const char* password,
                     DWORD convertMime, DWORD compress, DWORD security, const wchar_t* tlsFingerprint,
                     const Poster* poster)
{
    char* typed = NULL;
    if (userId && !password) {
        typed = RunPasswordPrompt(instance, frameWindow, userId);
        if (!typed)
            return FALSE;   // cancelled, or the text could not be converted
        password = typed;
    }

    DownloadJob* job = (DownloadJob*)calloc(1, sizeof(DownloadJob));
    GroupCursor* cursor = (GroupCursor*)calloc(1, sizeof(GroupCursor));
    DownloadResult* result = (DownloadResult*)calloc(1, sizeof(DownloadResult));
    if (!job || !cursor || !result) {
        const wchar_t* text = MessageCatalog::Load(IDS_OUT_OF_MEMORY);
        ShowMessage(NULL, text ? text : L"", kCaptionPelora, MB_OK);
        free(job);
        free(cursor);
        free(result);
        FreeTyped(typed);
        return FALSE;
    }
    cursor->Init(groupList);
    job->server = server;
    job->port = port;
    job->dataPath = dataPath;
    job->cursor = cursor;
    job->result = result;
    job->frameWindow = frameWindow;
    job->limit = limit;
    job->pipelining = pipelining;
    job->userId = userId;
    job->password = password;
    job->convertMime = convertMime;
    job->compress = compress;
    job->security = security;
    job->tlsFingerprint = tlsFingerprint;
    if (poster)
        job->poster = *poster;
    InitProgressState(&job->progress);
    job->references = 2;   // this starter, and the frame's end of the pass

    DWORD threadId;
    HANDLE thread = CreateThread(NULL, 0, PatrolThreadProc, job, 0, &threadId);
    if (!thread) {
        ShowErrorBox(IDS_PATROL_THREAD_FAILED, kCaptionPelora, MB_ICONHAND);
        free(job);
        free(cursor);
        free(result);
        FreeTyped(typed);
        return FALSE;
    }
    CloseHandle(thread);
    if (RunProgressDialog(instance, frameWindow, &job->progress) == -1)
        WaitForWorker(&job->progress);
    // The dialog closes only once the pass has ended, so the worker is past
    // its use of the password.
    FreeTyped(typed);
    ReleaseJob(job);
    return TRUE;
}

void OnPatrolDone(HWND frameWindow, DownloadJob* job, const PatrolEndSteps* steps)
{
    if (!job)
        return;
    if (steps && steps->hangUp)
        steps->hangUp(steps->context);
    // Closed during the countdown: nobody is left to tell.
    if (!IsWindow(frameWindow)) {
        ReleaseJob(job);
        return;
    }
    DownloadResult* result = job->result;
    wchar_t report[2 * kResultTextCapacity];
    const size_t capacity = sizeof report / sizeof report[0];
    if (result->status == StatusFatal) {
        ShowMessage(frameWindow, WithPostCount(result->text, job, report, capacity), result->caption, MB_ICONHAND);
    } else {
        const wchar_t* text = MessageCatalog::Load(IDS_DOWNLOAD_DONE);
        ShowMessage(frameWindow, WithPostCount(text ? text : L"", job, report, capacity), L"Disconnect", MB_OK);
        if (steps && steps->reinitialise)
            steps->reinitialise(steps->context);
    }
    ReleaseJob(job);
}
