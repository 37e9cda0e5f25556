// Not a test: shows each page and the file chooser in turn so that a script
// can take screenshots (tools: docs/settings/shots.sh). Run with
// --gtest_also_run_disabled_tests --gtest_filter=*Screens.PagesAndChooser and PELORA_SHOT_DIR.
#include <gtest/gtest.h>
#include "support/DialogDriver.h"
#include "support/RegistrySandbox.h"
#include "support/ShotScript.h"
#include "dialogs/PropertySheet.h"
#include "dialogs/FileChooserDialog.h"
#include "resource.h"
#include <commctrl.h>
#include <prsht.h>
#include <stdlib.h>
#include <string>

namespace {

// The resources shown: this program's, or another's named in PELORA_SHOT_MODULE
// (the Pocket PC program, for its own templates).
HINSTANCE ShotModule()
{
    const wchar_t* module = _wgetenv(L"PELORA_SHOT_MODULE");
    if (!module || !*module)
        return GetModuleHandleW(NULL);
    HINSTANCE loaded = LoadLibraryExW(module, NULL, LOAD_LIBRARY_AS_DATAFILE);
    return loaded ? loaded : GetModuleHandleW(NULL);
}

TEST(DISABLED_Screens, PagesAndChooser)
{
    RegistrySandbox::Clear();
    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Comm\\RasBook\\Office", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
    RegCloseKey(key);
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\tidewell\\Pelora", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
    const wchar_t server[] = L"news.example.jp";
    RegSetValueExW(key, L"Server", 0, REG_SZ, (const BYTE*)server, sizeof server);
    wchar_t path[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, path);
    RegSetValueExW(key, L"DataPath", 0, REG_SZ, (const BYTE*)path, (n + 1) * sizeof(wchar_t));
    const wchar_t entry[] = L"Office";
    RegSetValueExW(key, L"EntryName", 0, REG_SZ, (const BYTE*)entry, sizeof entry);
    DWORD on = 1;
    RegSetValueExW(key, L"Dialup", 0, REG_DWORD, (const BYTE*)&on, 4);
    COLORREF blue = RGB(0, 0, 192);
    RegSetValueExW(key, L"HeaderColor", 0, REG_BINARY, (const BYTE*)&blue, 4);
    RegCloseKey(key);

    const wchar_t* names[] = { L"page-main", L"page-auth", L"page-key", L"page-connection",
                               L"page-font", L"page-color" };
    Settings settings;
    DialogDriver driver;
    driver.Then(L"プロパティ", [&](HWND sheet) {
        for (int i = 0; i < 6; i++) {
            SendMessageW(sheet, PSM_SETCURSEL, i, 0);
            Shoot(names[i]);
        }
        DialogDriver::Click(sheet, IDCANCEL);
    });
    HINSTANCE module = ShotModule();
    RunPropertySheet(&settings, module, NULL);

    FileChooserDialog chooser;
    driver.Then(L"Choose folder", [&](HWND dialog) {
        HWND tree = GetDlgItem(dialog, IDC_CHOOSER_TREE);
        HTREEITEM root = TreeView_GetRoot(tree);
        TreeView_SelectItem(tree, root);
        SendMessageW(tree, WM_KEYDOWN, VK_ADD, 0);
        HTREEITEM first = TreeView_GetChild(tree, root);
        if (first) {
            TreeView_SelectItem(tree, first);
            SendMessageW(tree, WM_KEYDOWN, VK_ADD, 0);
        }
        Shoot(L"file-chooser");
        DialogDriver::Click(dialog, IDCANCEL);
    });
    chooser.Choose(module, NULL, L"Choose folder", NULL);
    settings.Destroy();
}

} // namespace
