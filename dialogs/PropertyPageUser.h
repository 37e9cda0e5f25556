// Page "ユーザ" (IDD_PAGE_USER): the poster's name, mail address and
// organisation, which every post carries.
#pragma once
#include "dialogs/PropertyPage.h"

class PropertyPageUser : public PropertyPage {
public:
    PropertyPageUser(Settings* settings, HINSTANCE instance);
    void Init(HWND page) override;
    BOOL Apply(HWND page) override;
};
