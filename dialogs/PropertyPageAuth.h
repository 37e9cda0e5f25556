// Page "認証" (IDD_PAGE_AUTH): the user id and password for the server.
#pragma once
#include "dialogs/PropertyPage.h"

class PropertyPageAuth : public PropertyPage {
public:
    PropertyPageAuth(Settings* settings, HINSTANCE instance);
    void Init(HWND page) override;
    BOOL Command(HWND page, WPARAM wParam, LPARAM lParam) override;
    BOOL Apply(HWND page) override;

private:
    void Fill(HWND page);
};
