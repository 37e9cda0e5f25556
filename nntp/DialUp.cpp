#include "nntp/DialUp.h"

void InitDialUpLink(DialUpLink* link)
{
    link->rasConnection = NULL;
    link->dialConnected = 0;
}

void OnDialConnected(DialUpLink* link, HWND frame, DownloadStartProc start, void* arg)
{
    link->dialConnected = 1;
    EnableWindow(frame, TRUE);
    if (start && start(arg))
        return;
    link->dialConnected = 0;
    OnDialHangUp(link, frame);
}

void OnDialHangUp(DialUpLink* link, HWND frame)
{
    EnableWindow(frame, TRUE);
    if (link->rasConnection) {
        RasHangUp(link->rasConnection);
        link->rasConnection = NULL;
    }
}

void HangUpOnClose(DialUpLink* link)
{
    if (link->rasConnection)
        RasHangUp(link->rasConnection);
    link->rasConnection = NULL;
    link->dialConnected = 0;
}
