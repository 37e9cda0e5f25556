// Stand-in for the device's image-list loader, over the desktop's W export.
#include <commctrl.h>

HIMAGELIST WINAPI ImageList_LoadImage(HINSTANCE hi, LPCWSTR lpbmp, int cx, int cGrow, COLORREF crMask,
                                      UINT uType, UINT uFlags)
{
    return ImageList_LoadImageW(hi, lpbmp, cx, cGrow, crMask, uType, uFlags);
}
