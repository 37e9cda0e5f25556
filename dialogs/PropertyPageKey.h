// Page "キー" (IDD_PAGE_KEY): line scrolling and the jump to the next article.
#pragma once
#include "dialogs/PropertyPage.h"

class PropertyPageKey : public PropertyPage {
public:
    PropertyPageKey(Settings* settings, HINSTANCE instance);
    void Init(HWND page) override;
    BOOL Apply(HWND page) override;
};
