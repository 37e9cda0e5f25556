// Stand-ins for the device's command bar functions, over BarWindow.
#include <commctrl.h>
#include "host/BarWindow.h"

enum { kFirstMenuCommand = 0xE000 };

HWND CommandBar_Create(HINSTANCE hInst, HWND hwndParent, int idCmdBar)
{
    return CreateBarWindow(hInst, hwndParent, idCmdBar, FALSE);
}

BOOL CommandBar_InsertMenubar(HWND hwndCB, HINSTANCE hInst, WORD idMenu, WORD iButton)
{
    BarState* state = GetBarState(hwndCB);
    if (!state) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    HMENU menu = LoadMenuW(hInst, MAKEINTRESOURCEW(idMenu));
    if (!menu)
        return FALSE;
    if (state->menu)
        DestroyMenu(state->menu);
    state->menu = menu;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; i++) {
        wchar_t text[64];
        if (!GetMenuStringW(menu, i, text, 64, MF_BYPOSITION))
            text[0] = L'\0';
        if (!AddPopupButton(state, iButton + i, kFirstMenuCommand + state->popupCount, text, i))
            return FALSE;
    }
    return TRUE;
}

int CommandBar_AddBitmap(HWND hwndCB, HINSTANCE hInst, int idBitmap, int iNumImages, int iImageWidth,
                         int iImageHeight)
{
    BarState* state = GetBarState(hwndCB);
    if (!state)
        return -1;
    SendMessageW(state->toolbar, TB_SETBITMAPSIZE, 0, MAKELONG(iImageWidth, iImageHeight));
    TBADDBITMAP bitmap = {hInst, (UINT_PTR)idBitmap};
    return (int)SendMessageW(state->toolbar, TB_ADDBITMAP, iNumImages, (LPARAM)&bitmap);
}

BOOL CommandBar_AddButtons(HWND hwndCB, UINT uNumButtons, LPTBBUTTON lpButtons)
{
    BarState* state = GetBarState(hwndCB);
    if (!state)
        return FALSE;
    for (UINT i = 0; i < uNumButtons; i++) {
        // The device's bar shows no text on tool buttons; string 0 here would
        // be the first pop-up's caption.
        TBBUTTON button = lpButtons[i];
        if (button.iString == 0)
            button.iString = -1;
        if (!SendMessageW(state->toolbar, TB_ADDBUTTONSW, 1, (LPARAM)&button))
            return FALSE;
    }
    return TRUE;
}

BOOL CommandBar_AddAdornments(HWND hwndCB, DWORD dwFlags, DWORD dwReserved)
{
    BarState* state = GetBarState(hwndCB);
    if (!state)
        return FALSE;
    return AddCloseBox(state);
}

int CommandBar_Height(HWND hwndCB)
{
    RECT rect;
    if (!GetWindowRect(hwndCB, &rect))
        return 0;
    return rect.bottom - rect.top;
}

HMENU CommandBar_GetMenu(HWND hwndCB, WORD iButton)
{
    BarState* state = GetBarState(hwndCB);
    return state ? state->menu : NULL;
}

BOOL CommandBar_Show(HWND hwndCB, BOOL fShow)
{
    return ShowWindow(hwndCB, fShow ? SW_SHOW : SW_HIDE);
}
