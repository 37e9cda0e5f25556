// Page "文字" (IDD_PAGE_FONT): the font family and the two font sizes.
#pragma once
#include "dialogs/PropertyPage.h"

class PropertyPageFont : public PropertyPage {
public:
    PropertyPageFont(Settings* settings, HINSTANCE instance);
    void Init(HWND page) override;
    BOOL Command(HWND page, WPARAM wParam, LPARAM lParam) override;
    BOOL Apply(HWND page) override;
};
