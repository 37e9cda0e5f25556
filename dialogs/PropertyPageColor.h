// Page "色" (IDD_PAGE_COLOR): the header and quoted-line colours, edited with
// three scroll bars.
#pragma once
#include "dialogs/PropertyPage.h"

class PropertyPageColor : public PropertyPage {
public:
    PropertyPageColor(Settings* settings, HINSTANCE instance);
    void Init(HWND page) override;
    BOOL Command(HWND page, WPARAM wParam, LPARAM lParam) override;
    BOOL Apply(HWND page) override;

private:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnScroll(HWND page, HWND bar, int code, int trackPosition);
    COLORREF* ColorOf(LRESULT item);
    void StoreBars(HWND page, LRESULT item);
    void ShowColor(HWND page, COLORREF color);

    LRESULT selected_;  // the item whose colour the bars show
};
