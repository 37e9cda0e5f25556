// Shows windows one after another so that docs/settings/shots.sh can take
// their pictures: "PagesAndChooser" (the property pages and the file chooser)
// or "Dialogs" (the subscription, catch-up and keyword filter dialogs), or
// "Posting" (the post editor and the outbox).
// PELORA_SHOT_MODULE names another program whose templates to show (the
// Pocket PC one).
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "resource.h"
#include "settings/Settings.h"
#include "dialogs/PropertySheet.h"
#include "dialogs/FileChooserDialog.h"
#include "dialogs/CatchUpDialog.h"
#include "dialogs/SubscribeDialog.h"
#include "dialogs/KeywordFilterDialog.h"
#include "dialogs/OutboxDialog.h"
#include "dialogs/PostEditorDialog.h"
#include "store/Outbox.h"
#include "text/MessageCatalog.h"
#include "support/DialogDriver.h"
#include "support/RegistrySandbox.h"
#include "support/StoreFiles.h"
#include "shots/ShotScript.h"

namespace {

HINSTANCE ShotModule()
{
    const wchar_t* module = _wgetenv(L"PELORA_SHOT_MODULE");
    if (!module || !*module)
        return GetModuleHandleW(NULL);
    HINSTANCE loaded = LoadLibraryExW(module, NULL, LOAD_LIBRARY_AS_DATAFILE);
    return loaded ? loaded : GetModuleHandleW(NULL);
}

void PagesAndChooser()
{
    RegistrySandbox::Clear();
    AddPhoneBookEntry(L"Office");
    wchar_t path[MAX_PATH];
    GetTempPathW(MAX_PATH, path);
    WriteString(kSettingsKey, L"Server", L"news.example.jp");
    WriteString(kSettingsKey, L"DataPath", path);
    WriteString(kSettingsKey, L"EntryName", L"Office");
    WriteDword(kSettingsKey, L"Dialup", 1);
    WriteDword(kSettingsKey, L"Security", 1);
    WriteString(kSettingsKey, L"TlsFingerprint",
                L"6E:20:3F:0F:A6:F7:17:C2:5D:95:83:0F:CA:92:59:16:8E:8C:1A:A8:A7:B5:D2:72:60:CD:B0:F5:AF:87:C3:17");
    COLORREF blue = RGB(0, 0, 192);
    WriteValue(kSettingsKey, L"HeaderColor", REG_BINARY, &blue, 4);

    WriteString(kSettingsKey, L"UserName", L"山田 太郎");
    WriteString(kSettingsKey, L"MailAddress", L"taro@example.jp");
    const wchar_t* names[] = { L"page-main", L"page-auth", L"page-key", L"page-connection",
                               L"page-font", L"page-color", L"page-user", L"page-post" };
    Settings settings;
    DialogDriver driver;
    driver.Then(L"プロパティ", [&](HWND sheet) {
        for (int i = 0; i < 8; i++) {
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

void Dialogs()
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
        DialogDriver::DoubleTap(dialog, IDC_SUBSCRIBE_LIST, L"fj");
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

// A follow-up being written, then the outbox with a draft, a queued post and
// one the server refused.
void Posting()
{
    TempDataFolder folder;
    CreateDirectoryW(folder.File(L"draft").c_str(), NULL);
    const char* posts[] = {
        "Newsgroups: japan.comp.handheld\r\nSubject: Re: \x90\x56\x82\xb5\x82\xa2\x92\x5b\x96\x96\r\n"
        "References: <h1@example.jp>\r\n\r\nIn article <h1@example.jp>,\r\nhanako@example.jp wrote:\r\n"
        "> \x93\xfc\x97\xcd\x83\x70\x83\x6c\x83\x8b\x82\xcd\x8e\x67\x82\xa2\x82\xe2\x82\xb7\x82\xa2\x82\xc5\x82\xb7\x82\xa9?\r\n\r\n"
        "\x82\xcd\x82\xa2\x81\x41\x8e\x67\x82\xa2\x82\xe2\x82\xb7\x82\xa2\x82\xc5\x82\xb7\x81\x42\r\n",
        "Newsgroups: fj.rec.travel\r\nSubject: \x8f\x74\x82\xcc\x97\xb7\x8d\x73\r\nMessage-ID: <1@example.jp>\r\n"
        "X-Pelora-State: queued\r\n\r\nb\r\n",
        "Newsgroups: fj.test\r\nSubject: test\r\nMessage-ID: <2@example.jp>\r\nX-Pelora-State: refused\r\n"
        "X-Pelora-Reply: 441 437 Newsgroup not carried\r\n\r\nb\r\n",
    };
    wchar_t path[kStorePathCapacity];
    for (int i = 0; i < 3; ++i) {
        Outbox::PathOf(folder.Path().c_str(), i + 1, path);
        Outbox::Save(path, posts[i], strlen(posts[i]));
    }
    Settings settings;
    wcsncpy(settings.DataPath, folder.Path().c_str(), kSettingsPathCapacity - 1);
    HINSTANCE module = ShotModule();
    DialogDriver driver;
    driver.Then([](HWND dialog) {
        Shoot(L"post-editor");
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    Outbox::PathOf(folder.Path().c_str(), 1, path);
    PostEditorDialog editor(path, &settings);
    editor.Run(module, NULL);
    driver.Then([](HWND dialog) {
        Shoot(L"outbox");
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    OutboxDialog outbox(&settings);
    outbox.Run(module, NULL);
    settings.Destroy();
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const wchar_t* which = argc > 1 ? argv[1] : L"PagesAndChooser";
    if (wcscmp(which, L"PagesAndChooser") != 0 && wcscmp(which, L"Dialogs") != 0 && wcscmp(which, L"Posting") != 0) {
        fprintf(stderr, "usage: shots PagesAndChooser|Dialogs|Posting\n");
        return 2;
    }
    // The settings written for the pictures go to a private key, not the prefix's.
    if (!RegistrySandbox::Take()) {
        fprintf(stderr, "no private HKEY_CURRENT_USER\n");
        return 2;
    }
    MessageCatalog::SetInstance(GetModuleHandleW(NULL));
    if (wcscmp(which, L"Dialogs") == 0)
        Dialogs();
    else if (wcscmp(which, L"Posting") == 0)
        Posting();
    else
        PagesAndChooser();
    RegistrySandbox::Release();
    return 0;
}
