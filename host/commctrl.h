// The device's commctrl.h also declares the command bar; the desktop one does
// not. This header stands in front of the desktop one and adds the command bar
// functions with the device's names and signatures (stand-ins in
// CommandBar.cpp). A device build drops this folder.
#pragma once
#include <windows.h>
#include_next <commctrl.h>

#ifndef CMDBAR_HELP
#define CMDBAR_HELP 0x0001
#define CMDBAR_OK   0x0002
#endif

HWND  CommandBar_Create(HINSTANCE hInst, HWND hwndParent, int idCmdBar);
BOOL  CommandBar_InsertMenubar(HWND hwndCB, HINSTANCE hInst, WORD idMenu, WORD iButton);
int   CommandBar_AddBitmap(HWND hwndCB, HINSTANCE hInst, int idBitmap, int iNumImages,
                           int iImageWidth, int iImageHeight);
BOOL  CommandBar_AddButtons(HWND hwndCB, UINT uNumButtons, LPTBBUTTON lpButtons);
BOOL  CommandBar_AddAdornments(HWND hwndCB, DWORD dwFlags, DWORD dwReserved);
int   CommandBar_Height(HWND hwndCB);
HMENU CommandBar_GetMenu(HWND hwndCB, WORD iButton);
BOOL  CommandBar_Show(HWND hwndCB, BOOL fShow);

// The device exports the image-list loader under its plain name alone; the
// desktop header turns that name into its W export. The stand-in
// (ImageList.cpp) gives the product the device's name on the host too.
#undef ImageList_LoadImage
HIMAGELIST WINAPI ImageList_LoadImage(HINSTANCE hi, LPCWSTR lpbmp, int cx, int cGrow, COLORREF crMask,
                                      UINT uType, UINT uFlags);
