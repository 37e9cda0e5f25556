#include "frame/FrameDownload.h"
#include "frame/GroupView.h"
#include "frame/MainFrame.h"
#include "nntp/DialUp.h"
#include "frame/DownloadStarter.h"
#include "dialogs/DialUpDialog.h"
#include "dialogs/HangUpDialog.h"
#include "text/MessageCatalog.h"
#include "resource.h"
#include <string.h>
#include <wchar.h>

static BOOL AnyConnectionUp()
{
    RASCONN connection;
    memset(&connection, 0, sizeof connection);
    connection.dwSize = sizeof(RASCONN);
    DWORD size = sizeof(RASCONN);
    DWORD count = 0;
    // A buffer too small for all still reports a count; any count means up.
    RasEnumConnections(&connection, &size, &count);
    return count != 0;
}

void StartDownload(DialUpLink* link, HINSTANCE instance, HWND frame, BOOL dialup,
                   const wchar_t* entryName, DownloadStartProc start, void* arg)
{
    if (!dialup || AnyConnectionUp()) {
        // A connection someone else raised is used and left alone.
        if (start)
            start(arg);
        return;
    }

    RASDIALPARAMS params;
    memset(&params, 0, sizeof params);
    params.dwSize = sizeof(RASDIALPARAMS);
    wcsncpy(params.szEntryName, entryName ? entryName : L"", RAS_MaxEntryName);
    params.szEntryName[RAS_MaxEntryName] = L'\0';
    BOOL passwordReturned = FALSE;
    RasGetEntryDialParams(NULL, &params, &passwordReturned);

    EnableWindow(frame, FALSE);
    HWND dialog = CreateDialUpDialog(instance, frame, params.szEntryName);
    if (!dialog) {
        // Without the dialog nothing would ever enable the frame again.
        EnableWindow(frame, TRUE);
        ShowDialFailure(frame);
        return;
    }

    link->rasConnection = NULL;
    DWORD error = RasDial(NULL, NULL, &params, 0xFFFFFFFF, dialog, &link->rasConnection);
    if (error != 0) {
        // A dial refused at once would leave the dialog waiting for ever;
        // tell it the line is down, which reports and re-enables the frame.
        PostMessageW(dialog, WM_RASDIALEVENT, (WPARAM)RASCS_Disconnected, (LPARAM)error);
    }
    Sleep(1);
}

void HangUpAfterPatrol(DialUpLink* link, HINSTANCE instance, HWND frame, BOOL dialup,
                       DWORD waitSeconds)
{
    if (dialup && link->dialConnected) {
        // Without the countdown the line would stay up: hang up at once.
        if (RunHangUpDialog(instance, frame, waitSeconds) == 0)
            SendMessageW(frame, WM_DIAL_HANGUP, 0, 0);
        link->rasConnection = NULL;
    }
    link->dialConnected = 0;
}

void StartFrameDownload(MainFrame* frame)
{
    Settings& settings = frame->CurrentSettings();
    StartDownload(&frame->DialUp(), frame->Instance(), frame->Window(), settings.Dialup, settings.EntryName,
                  StartFramePatrol, frame);
}

BOOL StartFramePatrol(void* arg)
{
    MainFrame* frame = (MainFrame*)arg;
    return StartPatrol(frame->Instance(), frame->Window(), frame->Groups()->List(), &frame->CurrentSettings());
}

static void HangUpStep(void* context)
{
    MainFrame* frame = (MainFrame*)context;
    Settings& settings = frame->CurrentSettings();
    HangUpAfterPatrol(&frame->DialUp(), frame->Instance(), frame->Window(), settings.Dialup,
                      settings.DisconnectWaitTime);
}

static BOOL ReinitialiseStep(void* context)
{
    return ((MainFrame*)context)->ReinitializeData();
}

void FinishFrameDownload(MainFrame* frame, LPARAM job)
{
    PatrolEndSteps steps = {HangUpStep, ReinitialiseStep, frame};
    OnPatrolDone(frame->Window(), (DownloadJob*)job, &steps);
}
