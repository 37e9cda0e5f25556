#include "frame/FrameDownload.h"
#include "frame/GroupView.h"
#include "frame/MainFrame.h"
#include "nntp/DialUp.h"
#include "nntp/DownloadStarter.h"

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
