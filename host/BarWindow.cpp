#include "host/BarWindow.h"

static const wchar_t kBarClass[] = L"PeloraHostBar";
static const UINT kCloseBoxId = 0xEF00;
static const int kCloseBoxSize = 22;

static void PlaceChildren(BarState* state)
{
    RECT client;
    GetClientRect(state->bar, &client);
    int toolbarWidth = client.right;
    if (state->closeBox) {
        toolbarWidth -= kCloseBoxSize + 4;
        MoveWindow(state->closeBox, client.right - kCloseBoxSize - 2, (client.bottom - kCloseBoxSize) / 2,
                   kCloseBoxSize, kCloseBoxSize, TRUE);
    }
    MoveWindow(state->toolbar, 0, 0, toolbarWidth, client.bottom, TRUE);
}

static BOOL OpenPopup(BarState* state, UINT command)
{
    HMENU popup = BarSubMenu(state, command);
    if (!popup)
        return FALSE;
    int index = (int)SendMessageW(state->toolbar, TB_COMMANDTOINDEX, command, 0);
    RECT button;
    SendMessageW(state->toolbar, TB_GETITEMRECT, index, (LPARAM)&button);
    MapWindowPoints(state->toolbar, NULL, (POINT*)&button, 2);
    SendMessageW(state->toolbar, TB_PRESSBUTTON, command, MAKELONG(TRUE, 0));
    UINT flags = TPM_LEFTALIGN | (state->atBottom ? TPM_BOTTOMALIGN : TPM_TOPALIGN);
    TrackPopupMenuEx(popup, flags, button.left, state->atBottom ? button.top : button.bottom, state->target, NULL);
    SendMessageW(state->toolbar, TB_PRESSBUTTON, command, MAKELONG(FALSE, 0));
    return TRUE;
}

static LRESULT CALLBACK BarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    BarState* state = GetBarState(window);
    if (!state)
        return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_COMMAND: {
        UINT command = LOWORD(wParam);
        if ((HWND)lParam == state->closeBox && state->closeBox) {
            // Posted: the close destroys this bar, which must not happen
            // inside the button's own click.
            PostMessageW(state->target, WM_CLOSE, 0, 0);
            return 0;
        }
        if (OpenPopup(state, command))
            return 0;
        return SendMessageW(state->target, WM_COMMAND, MAKEWPARAM(command, 0), (LPARAM)state->bar);
    }
    case WM_NOTIFY: {
        NMHDR* header = (NMHDR*)lParam;
        if (header->hwndFrom == state->toolbar && header->code == TBN_DROPDOWN) {
            OpenPopup(state, ((NMTOOLBARW*)lParam)->iItem);
            return TBDDRET_DEFAULT;
        }
        return 0;
    }
    case WM_USER + 401:   // SHCMBM_GETSUBMENU: lParam is the pop-up button's command
        return (LRESULT)BarSubMenu(state, (UINT)lParam);
    case WM_USER + 402:   // SHCMBM_GETMENU
        return (LRESULT)state->menu;
    case WM_SIZE:
        PlaceChildren(state);
        return 0;
    case WM_DESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (state->menu)
            DestroyMenu(state->menu);
        HeapFree(GetProcessHeap(), 0, state);
        return 0;
    }
    // Toolbar messages (TB_*) sent to the bar are the toolbar's.
    if (message >= WM_USER && message < WM_USER + 400)
        return SendMessageW(state->toolbar, message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

BarState* GetBarState(HWND bar)
{
    wchar_t name[32];
    if (!bar || !GetClassNameW(bar, name, 32) || lstrcmpW(name, kBarClass) != 0)
        return NULL;
    return (BarState*)GetWindowLongPtrW(bar, GWLP_USERDATA);
}

HWND CreateBarWindow(HINSTANCE instance, HWND parent, int id, BOOL atBottom)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = BarProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.hCursor = LoadCursorW(NULL, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kBarClass;
    RegisterClassW(&wc);

    RECT client;
    GetClientRect(parent, &client);
    int y = atBottom ? client.bottom - kBarHeight : 0;
    HWND bar = CreateWindowExW(0, kBarClass, L"", WS_CHILD | WS_CLIPCHILDREN, 0, y, client.right, kBarHeight,
                               parent, (HMENU)(INT_PTR)id, wc.hInstance, NULL);
    if (!bar)
        return NULL;
    BarState* state = (BarState*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(BarState));
    if (!state) {
        DestroyWindow(bar);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    state->bar = bar;
    state->target = parent;
    state->atBottom = atBottom;
    state->toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                                     WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | CCS_NORESIZE |
                                         CCS_NOPARENTALIGN | CCS_NODIVIDER,
                                     0, 0, client.right, kBarHeight, bar, (HMENU)1, wc.hInstance, NULL);
    if (!state->toolbar) {
        HeapFree(GetProcessHeap(), 0, state);
        DestroyWindow(bar);
        return NULL;
    }
    SendMessageW(state->toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(state->toolbar, TB_SETBITMAPSIZE, 0, MAKELONG(16, 16));
    SendMessageW(state->toolbar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_MIXEDBUTTONS);
    SetWindowLongPtrW(bar, GWLP_USERDATA, (LONG_PTR)state);
    return bar;
}

BOOL AddPopupButton(BarState* state, int position, UINT command, const wchar_t* text, UINT popupIndex)
{
    if (state->popupCount >= kBarMaxPopups) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    wchar_t strings[128];
    lstrcpynW(strings, text ? text : L"", 126);
    strings[lstrlenW(strings) + 1] = L'\0';
    INT_PTR stringIndex = SendMessageW(state->toolbar, TB_ADDSTRINGW, 0, (LPARAM)strings);
    TBBUTTON button = {};
    button.iBitmap = I_IMAGENONE;
    button.idCommand = (int)command;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
    button.iString = stringIndex;
    if (position < 0)
        position = (int)SendMessageW(state->toolbar, TB_BUTTONCOUNT, 0, 0);
    if (!SendMessageW(state->toolbar, TB_INSERTBUTTONW, position, (LPARAM)&button))
        return FALSE;
    state->popupCommand[state->popupCount] = command;
    state->popupIndex[state->popupCount] = popupIndex;
    state->popupCount++;
    return TRUE;
}

HMENU BarSubMenu(BarState* state, UINT command)
{
    for (UINT i = 0; i < state->popupCount; i++)
        if (state->popupCommand[i] == command)
            return GetSubMenu(state->menu, state->popupIndex[i]);
    return NULL;
}

// The close box of the command bar.
BOOL AddCloseBox(BarState* state)
{
    if (state->closeBox)
        return TRUE;
    state->closeBox = CreateWindowExW(0, L"BUTTON", L"×", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0,
                                      kCloseBoxSize, kCloseBoxSize, state->bar, (HMENU)(INT_PTR)kCloseBoxId,
                                      GetModuleHandleW(NULL), NULL);
    if (!state->closeBox)
        return FALSE;
    PlaceChildren(state);
    return TRUE;
}
