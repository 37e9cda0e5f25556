// The Pocket PC shell's menu bar, with the device's names and layout; the
// stand-in (MenuBar.cpp) builds a bar at the bottom of the parent from the
// SHMENUBAR resource. A device build drops this folder.
#pragma once
#include <windows.h>
#include <commctrl.h>

#ifndef RC_INVOKED
typedef struct tagSHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId;
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB;
} SHMENUBARINFO, *PSHMENUBARINFO;

BOOL SHCreateMenuBar(SHMENUBARINFO* pmbi);
#endif

#define SHMENUBAR           RCDATA
#define NOMENU              0xFFFF
#define SHCMBF_EMPTYBAR     0x0001
#define SHCMBF_HIDDEN       0x0002
#define SHCMBM_SETSUBMENU   (WM_USER + 400)
#define SHCMBM_GETSUBMENU   (WM_USER + 401)
#define SHCMBM_GETMENU      (WM_USER + 402)
