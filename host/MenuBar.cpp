// Stand-in for the Pocket PC shell's menu bar: a bar at the bottom of the
// parent built from the SHMENUBAR resource.
#include <aygshell.h>
#include "host/BarWindow.h"

// Words of one button in the resource: image, command, state, style,
// caption string, reserved, pop-up index.
enum { kButtonWords = 7 };

static BOOL AddButtonsFromResource(BarState* state, HINSTANCE instance, const WORD* words, UINT count)
{
    for (UINT i = 0; i < count; i++) {
        const WORD* b = words + i * kButtonWords;
        int image = (b[0] == (WORD)I_IMAGENONE) ? I_IMAGENONE : b[0];
        UINT command = b[1];
        if (b[6] != NOMENU) {
            wchar_t caption[64];
            if (!b[4] || LoadStringW(instance, b[4], caption, 64) <= 0) {
                if (!GetMenuStringW(state->menu, b[6], caption, 64, MF_BYPOSITION))
                    caption[0] = L'\0';
            }
            if (!AddPopupButton(state, -1, command, caption, b[6]))
                return FALSE;
            continue;
        }
        TBBUTTON button = {};
        button.iBitmap = image;
        button.idCommand = (int)command;
        button.fsState = (BYTE)b[2];
        button.fsStyle = (BYTE)(b[3] | BTNS_AUTOSIZE);
        button.iString = -1;
        if (!SendMessageW(state->toolbar, TB_ADDBUTTONSW, 1, (LPARAM)&button))
            return FALSE;
    }
    return TRUE;
}

BOOL SHCreateMenuBar(SHMENUBARINFO* pmbi)
{
    if (!pmbi || pmbi->cbSize < sizeof(SHMENUBARINFO) || !pmbi->hwndParent) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    pmbi->hwndMB = NULL;
    HRSRC found = FindResourceW(pmbi->hInstRes, MAKEINTRESOURCEW(pmbi->nToolBarId), (LPCWSTR)RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(pmbi->hInstRes, found) : NULL;
    const WORD* words = loaded ? (const WORD*)LockResource(loaded) : NULL;
    DWORD size = found ? SizeofResource(pmbi->hInstRes, found) : 0;
    if (!words || size < 4 || size < (4 + (DWORD)words[1] * kButtonWords * 2)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return FALSE;
    }
    HWND bar = CreateBarWindow(pmbi->hInstRes, pmbi->hwndParent, pmbi->nToolBarId, TRUE);
    BarState* state = GetBarState(bar);
    if (!state)
        return FALSE;
    state->menu = LoadMenuW(pmbi->hInstRes, MAKEINTRESOURCEW(words[0]));
    if (!state->menu) {
        DestroyWindow(bar);
        return FALSE;
    }
    if (pmbi->nBmpId) {
        TBADDBITMAP bitmap = {pmbi->hInstRes, (UINT_PTR)pmbi->nBmpId};
        SendMessageW(state->toolbar, TB_ADDBITMAP, pmbi->cBmpImages, (LPARAM)&bitmap);
    }
    if (!AddButtonsFromResource(state, pmbi->hInstRes, words + 2, words[1])) {
        DestroyWindow(bar);
        return FALSE;
    }
    if (!(pmbi->dwFlags & SHCMBF_HIDDEN))
        ShowWindow(bar, SW_SHOW);
    pmbi->hwndMB = bar;
    return TRUE;
}
