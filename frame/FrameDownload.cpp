#include "frame/FrameDownload.h"
#include "frame/MainFrame.h"
#include "nntp/DialUp.h"

void StartFrameDownload(MainFrame* frame)
{
    Settings& settings = frame->CurrentSettings();
    StartDownload(&frame->DialUp(), frame->Instance(), frame->Window(), settings.Dialup, settings.EntryName,
                  StartFramePatrol, frame);
}

void StartFramePatrol(void* arg)
{
}

void FinishFrameDownload(MainFrame* frame, LPARAM job)
{
    Settings& settings = frame->CurrentSettings();
    HangUpAfterPatrol(&frame->DialUp(), frame->Instance(), frame->Window(), settings.Dialup,
                      settings.DisconnectWaitTime);
}
