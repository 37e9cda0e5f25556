// Page "投稿" (IDD_PAGE_POST): the program that opens drafts instead of the
// built-in editor; empty for the built-in one.
#pragma once
#include "dialogs/PropertyPage.h"

class PropertyPagePost : public PropertyPage {
public:
    PropertyPagePost(Settings* settings, HINSTANCE instance);
    void Init(HWND page) override;
    BOOL Apply(HWND page) override;
};
