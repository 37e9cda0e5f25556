// Page "接続" (IDD_PAGE_CONNECTION): dial-up, the phone-book entry, the wait before
// hanging up, the connection's security and the certificate fingerprint the
// user trusts.
#pragma once
#include "dialogs/PropertyPage.h"

class PropertyPageConnection : public PropertyPage {
public:
    PropertyPageConnection(Settings* settings, HINSTANCE instance);
    void Init(HWND page) override;
    BOOL Command(HWND page, WPARAM wParam, LPARAM lParam) override;
    BOOL Apply(HWND page) override;
};
