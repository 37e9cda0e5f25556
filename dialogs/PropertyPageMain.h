// Page "メイン" (IDD_PAGE_MAIN): server, port, data folder, limit,
// pipelining, compression and the conversion of other charsets.
#pragma once
#include "dialogs/PropertyPage.h"

class PropertyPageMain : public PropertyPage {
public:
    PropertyPageMain(Settings* settings, HINSTANCE instance);
    void Init(HWND page) override;
    BOOL Command(HWND page, WPARAM wParam, LPARAM lParam) override;
    BOOL Apply(HWND page) override;

private:
    void OnBrowse(HWND page);
};
