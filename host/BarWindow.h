// The window behind both bar stand-ins: a strip across the parent (top for
// the command bar, bottom for the menu bar) holding a toolbar. Buttons tied
// to a pop-up open it under or over themselves; every other button's command
// goes to the parent, as the device's bars do. Toolbar messages sent to the
// bar reach its toolbar, so callers can treat the bar as the toolbar.
#pragma once
#include <windows.h>
#include <commctrl.h>

enum { kBarHeight = 26, kBarMaxPopups = 8 };

struct BarState {
    HWND bar;
    HWND toolbar;
    HWND closeBox;
    HWND target;       // the parent: receives the commands
    HMENU menu;        // owned; its pop-ups are opened by the pop-up buttons
    BOOL atBottom;
    UINT popupCount;
    UINT popupCommand[kBarMaxPopups];
    UINT popupIndex[kBarMaxPopups];
};

// A hidden bar across `parent` with an empty toolbar; none on failure.
HWND CreateBarWindow(HINSTANCE instance, HWND parent, int id, BOOL atBottom);
BarState* GetBarState(HWND bar);
// A text button at `position` (or at the end with -1) that opens pop-up
// `popupIndex` of the bar's menu.
BOOL AddPopupButton(BarState* state, int position, UINT command, const wchar_t* text, UINT popupIndex);
HMENU BarSubMenu(BarState* state, UINT command);
BOOL AddCloseBox(BarState* state);
