// Subscribing and unsubscribing groups, category by category. Nothing
// reaches group.dat before OK.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "dialogs/ModalDialog.h"
#include "store/GroupNameTable.h"

class Settings;

struct SubscribeDialog : ModalDialog {
    enum Mode { kCategories, kGroups };

    wchar_t activePath[MAX_PATH];
    wchar_t categoryPath[MAX_PATH];
    wchar_t groupPath[MAX_PATH];
    Settings* settings;   // server, port, user id and password for the fetch
    HINSTANCE instance;
    HIMAGELIST images;
    GroupNameTable subscribed;
    Mode mode;

    BOOL OnInitDialog() override;
    BOOL OnCommand(WORD id, WORD code, LPARAM lParam) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// Runs dialog IDD_SUBSCRIBE modally; IDOK when the user pressed OK (group.dat was
// then rewritten, or a box told why not). Frees the image list and the
// table before it returns.
INT_PTR RunSubscribeDialog(HINSTANCE instance, HWND parent, const wchar_t* dataPath, Settings* settings);
