// Not a test: shows the subscription, catch-up and keyword filter dialogs in
// turn so that docs/settings/shots.sh can photograph them (run it with
// PELORA_SHOT_CASE=Dialogs PELORA_SHOT_OUT=docs/dialogs).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include "resource.h"
#include "settings/Settings.h"
#include "dialogs/CatchUpDialog.h"
#include "dialogs/SubscribeDialog.h"
#include "dialogs/KeywordFilterDialog.h"
#include "support/DialogDriver.h"
#include "support/ShotScript.h"
#include "support/StoreFiles.h"

TEST(DISABLED_Screens, Dialogs)
{
    TempDataFolder folder;
    WriteBytes(folder.File(L"active.dat"), "fj.rec.travel\r\nfj.comp.handheld\r\njapan.misc\r\n");
    WriteBytes(folder.File(L"category.dat"), "fj\r\njapan\r\n");
    WriteBytes(folder.File(L"group.dat"), "fj.comp.handheld\r\n");
    WriteBytes(folder.File(L"fj.comp.handheld.flt"), "+ \x83\x8A\x83\x8A\x81\x5B\x83\x58\r\n- spam\r\n");
    HINSTANCE instance = GetModuleHandleW(NULL);
    Settings settings;
    DialogDriver driver;
    driver.Then([](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_SUBSCRIBE_LIST);
        LVITEMW state = {};
        state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, 0, (LPARAM)&state);
        NMHDR notify = {list, IDC_SUBSCRIBE_LIST, (UINT)NM_DBLCLK};
        SendMessageW(dialog, WM_NOTIFY, IDC_SUBSCRIBE_LIST, (LPARAM)&notify);
        Shoot(L"subscribe");
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    RunSubscribeDialog(instance, NULL, folder.Path().c_str(), &settings);
    driver.Then([](HWND dialog) {
        DialogDriver::Click(dialog, IDC_CATCHUP_LOCAL);
        Shoot(L"catchup");
        DialogDriver::Click(dialog, IDCANCEL);
    });
    CatchUpDialog catchUp;
    RunCatchUpDialog(&catchUp, instance, NULL);
    driver.Then([](HWND dialog) {
        Shoot(L"filter");
        DialogDriver::Click(dialog, IDCANCEL);
    });
    RunKeywordFilterDialog(instance, NULL, folder.File(L"fj.comp.handheld.flt").c_str(), L"Re: 新しい端末のリリース");
}
