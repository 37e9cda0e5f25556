#include "nntp/Sockets.h"
#include "dialogs/GroupListDialog.h"
#include <stdio.h>
#include <wchar.h>
#include "resource.h"
#include "text/MessageCatalog.h"
#include "nntp/GroupListJob.h"

static void CountGroup(void* context)
{
    GroupListDialog* state = (GroupListDialog*)context;
    wchar_t text[64];
    ++state->count;
    _snwprintf(text, 63, L"%d group(s).", (int)state->count);
    text[63] = L'\0';
    SetDlgItemTextW(state->Window(), IDC_GROUPLIST_COUNT, text);
}

// The fetch cannot start: keep the reason and end through the normal road,
// so the dialog never waits for a worker that does not exist.
static void FailStart(GroupListDialog* state, DWORD code)
{
    const wchar_t* text = code == ERROR_NOT_ENOUGH_MEMORY ? MessageCatalog::Load(IDS_OUT_OF_MEMORY) : NULL;
    if (text)
        _snwprintf(state->startError, 255, L"%ls", text);
    else if (code == ERROR_NOT_ENOUGH_MEMORY)
        _snwprintf(state->startError, 255, L"メモリが足りません");
    else
        _snwprintf(state->startError, 255, L"グループ一覧の取得を始められませんでした(%d)。", (int)code);
    state->startError[255] = L'\0';
    PostMessageW(state->Window(), WM_COMMAND, MAKEWPARAM(ID_GROUPLIST_DONE, 0), 0);
}

BOOL GroupListDialog::OnInitDialog()
{
    count = 0;
    GroupCounter counter = {CountGroup, this};
    job = CreateGroupListJob(activePath, categoryPath, server, port, userId, password, dialog_, ID_GROUPLIST_DONE,
                             &counter, security, tlsFingerprint);
    if (!job) {
        FailStart(this, GetLastError());
        return TRUE;
    }
    job->compress = compress;
    DWORD threadId;
    worker = CreateThread(NULL, 0, GroupListWorker, job, 0, &threadId);
    if (!worker) {
        DWORD code = GetLastError();
        DestroyGroupListJob(job);
        job = NULL;
        FailStart(this, code);
    }
    return TRUE;
}

static void OnFetchDone(HWND dialog, GroupListDialog* state)
{
    if (state->finished)
        return;
    state->finished = TRUE;
    const wchar_t* text = state->job ? state->job->errorText : state->startError;
    if (text[0] != L'\0')
        ShowMessage(NULL, text, kCaptionPelora, MB_ICONEXCLAMATION);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

// Enter, Esc or the window's close would end the dialog under a running
// worker, which still uses the job and the caller's password: only the end
// of the fetch closes it.
BOOL GroupListDialog::OnCommand(WORD id, WORD code, LPARAM lParam)
{
    if (id == ID_GROUPLIST_DONE)
        OnFetchDone(dialog_, this);
    else if ((id == IDOK || id == IDCANCEL) && finished)
        End(id);
    return TRUE;
}

INT_PTR RunGroupListFetch(HINSTANCE instance, HWND owner, const wchar_t* activePath, const wchar_t* categoryPath,
                          const wchar_t* server, DWORD port, const char* userId, const char* password,
                          DWORD compress, DWORD security, const wchar_t* tlsFingerprint)
{
    GroupListDialog state{};
    state.server = server;
    state.port = port;
    state.activePath = activePath;
    state.categoryPath = categoryPath;
    state.userId = userId;
    state.password = password;
    state.compress = compress;
    state.security = security;
    state.tlsFingerprint = tlsFingerprint;
    INT_PTR result = state.Run(instance, IDD_GROUPLIST, owner);
    if (state.worker) {
        // It has posted its notification already; this only waits for the
        // thread to leave, so the job is not freed under its feet.
        WaitForSingleObject(state.worker, INFINITE);
        CloseHandle(state.worker);
    }
    DestroyGroupListJob(state.job);
    return result;
}
