#include "dialogs/PropertySheet.h"
#include "dialogs/PropertyPage.h"
#include "dialogs/PropertyPageMain.h"
#include "dialogs/PropertyPageAuth.h"
#include "dialogs/PropertyPageKey.h"
#include "dialogs/PropertyPageConnection.h"
#include "dialogs/PropertyPageFont.h"
#include "dialogs/PropertyPageColor.h"
#include "dialogs/PropertyPageUser.h"
#include "dialogs/PropertyPagePost.h"
#include "text/MessageCatalog.h"
#include "resource.h"
#include <commctrl.h>
#include <prsht.h>
#include <string.h>
#include <new>

enum { kPageCount = 8 };

static Settings* g_sheetSettings;

Settings* PropertySheetSettings()
{
    return g_sheetSettings;
}

int RunPropertySheet(Settings* settings, HINSTANCE instance, HWND owner)
{
    g_sheetSettings = settings;

    PropertyPage* pages[kPageCount] = {
        new (std::nothrow) PropertyPageMain(settings, instance),
        new (std::nothrow) PropertyPageAuth(settings, instance),
        new (std::nothrow) PropertyPageKey(settings, instance),
        new (std::nothrow) PropertyPageConnection(settings, instance),
        new (std::nothrow) PropertyPageFont(settings, instance),
        new (std::nothrow) PropertyPageColor(settings, instance),
        new (std::nothrow) PropertyPageUser(settings, instance),
        new (std::nothrow) PropertyPagePost(settings, instance),
    };

    for (int i = 0; i < kPageCount; i++) {
        if (!pages[i]) {
            for (int j = 0; j < kPageCount; j++)
                delete pages[j];
            g_sheetSettings = NULL;
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return IDCANCEL;
        }
    }

    BOOL complete = FALSE;
    settings->Load(&complete);

    PROPSHEETPAGEW described[kPageCount];
    memset(described, 0, sizeof described);
    for (int i = 0; i < kPageCount; i++) {
        described[i].dwSize = sizeof(PROPSHEETPAGEW);
        described[i].dwFlags = PSP_USETITLE;
        described[i].hInstance = instance;
        described[i].pszTemplate = MAKEINTRESOURCEW(pages[i]->Template());
        described[i].pszTitle = pages[i]->Title();
        described[i].pfnDlgProc = pages[i]->Procedure();
        described[i].lParam = (LPARAM)pages[i];
    }

    wchar_t caption[kMessageTextCapacity];
    const wchar_t* text = MessageCatalog::Load(IDS_PROPERTIES);
    wcsncpy(caption, text ? text : L"", kMessageTextCapacity - 1);
    caption[kMessageTextCapacity - 1] = L'\0';

    PROPSHEETHEADERW sheet;
    memset(&sheet, 0, sizeof sheet);
    sheet.dwSize = sizeof(PROPSHEETHEADERW);
    sheet.dwFlags = PSH_USEICONID | PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
    sheet.hwndParent = owner;
    sheet.hInstance = instance;
    sheet.pszIcon = MAKEINTRESOURCEW(IDI_PELORA);
    sheet.pszCaption = caption;
    sheet.nPages = kPageCount;
    sheet.nStartPage = 0;
    sheet.ppsp = described;

    int result = IDCANCEL;
    if (PropertySheetW(&sheet) == 1) {
        settings->Save();
        result = IDOK;
    }

    for (int i = 0; i < kPageCount; i++)
        delete pages[i];
    g_sheetSettings = NULL;
    return result;
}
