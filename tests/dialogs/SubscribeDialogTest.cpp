#include <gtest/gtest.h>
#include "resource.h"
#include "settings/Settings.h"
#include "store/DataFolder.h"
#include "dialogs/SubscribeDialog.h"
#include "support/DialogDriver.h"
#include "support/KillPoints.h"
#include "support/MessageBoxRecorder.h"
#include "support/StoreFiles.h"

namespace {

typedef std::vector<std::wstring> Rows;

// The list's rows as "text:icon" (1: subscribed).
Rows Shown(HWND dialog)
{
    Rows rows;
    HWND list = GetDlgItem(dialog, IDC_SUBSCRIBE_LIST);
    for (int i = 0; i < ListView_GetItemCount(list); ++i) {
        wchar_t text[1024];
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = i;
        item.pszText = text;
        item.cchTextMax = 1024;
        SendMessageW(list, LVM_GETITEMW, 0, (LPARAM)&item);
        rows.push_back(text + (L":" + std::to_wstring(item.iImage)));
    }
    return rows;
}

void DoubleTap(HWND dialog, const wchar_t* text)
{
    ASSERT_TRUE(DialogDriver::DoubleTap(dialog, IDC_SUBSCRIBE_LIST, text)) << "no row";
}

// Opens the category "fj", ticks or unticks "fj.comp", and saves.
void ToggleFjComp(HWND dialog)
{
    DoubleTap(dialog, L"fj");
    DoubleTap(dialog, L"fj.comp");
    DialogDriver::Click(dialog, IDOK);
}

struct SubscribeFixture : testing::Test {
    TempDataFolder folder;
    Settings settings;
    MessageBoxRecorder boxes;
    void Files(const std::string& active, const std::string& category, const std::string& groups)
    {
        ASSERT_TRUE(WriteBytes(folder.File(L"active.dat"), active));
        ASSERT_TRUE(WriteBytes(folder.File(L"category.dat"), category));
        ASSERT_TRUE(WriteBytes(folder.File(L"group.dat"), groups));
    }
    INT_PTR Run(DialogDriver::Action act)
    {
        DialogDriver driver;
        driver.Then(act);
        INT_PTR result = RunSubscribeDialog(GetModuleHandleW(NULL), NULL, folder.Path().c_str(), &settings);
        EXPECT_TRUE(driver.Done());
        return result;
    }
};

}  // namespace

TEST_F(SubscribeFixture, SubscribingWritesTheTablesWalkOrderKeepsLinesNotShownAndCancelLeavesTheFile)
{
    Files("fj.rec.travel\r\nfj.comp\r\njapan.misc\r\nfjx.test\r\n", "fj\r\njapan\r\nfjx\r\n", "");
    EXPECT_EQ(IDOK, Run([&](HWND dialog) {
        EXPECT_EQ((Rows{L"fj:0", L"fjx:0", L"japan:0"}), Shown(dialog));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SUBSCRIBE_CATEGORY)));
        DoubleTap(dialog, L"fj");
        // A plain prefix: "fj" also lists "fjx.test"; the list sorts.
        EXPECT_EQ((Rows{L"fj.comp:0", L"fj.rec.travel:0", L"fjx.test:0"}), Shown(dialog));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_SUBSCRIBE_CATEGORY)));
        DoubleTap(dialog, L"fj.comp");
        DoubleTap(dialog, L"fj.rec.travel");
        DialogDriver::Click(dialog, IDC_SUBSCRIBE_CATEGORY);
        DoubleTap(dialog, L"fj");
        EXPECT_EQ((Rows{L"fj.comp:1", L"fj.rec.travel:1", L"fjx.test:0"}), Shown(dialog));
        DialogDriver::Click(dialog, IDOK);
    }));
    // The table's walk order, not the order of subscription: bucket 5
    // ("fj.rec.travel") before bucket 51 ("fj.comp").
    EXPECT_EQ("fj.rec.travel\r\nfj.comp\r\n", ReadBytes(folder.File(L"group.dat")));

    // A comment and a group the server no longer announces survive OK.
    Files("fj.comp\r\n", "fj\r\n", "# mine\r\nfj.comp\r\nold.gone\r\n");
    EXPECT_EQ(IDOK, Run(ToggleFjComp));
    EXPECT_EQ("# mine\r\nold.gone\r\n", ReadBytes(folder.File(L"group.dat")));

    // Cancel leaves group.dat alone; OK without its only group empties it.
    Files("fj.comp\r\n", "fj\r\n", "fj.comp\r\n");
    EXPECT_EQ(IDCANCEL, Run([&](HWND dialog) {
        DoubleTap(dialog, L"fj");
        DoubleTap(dialog, L"fj.comp");
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }));
    EXPECT_EQ("fj.comp\r\n", ReadBytes(folder.File(L"group.dat")));
    EXPECT_EQ(IDOK, Run(ToggleFjComp));
    EXPECT_EQ("", ReadBytes(folder.File(L"group.dat")));
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(SubscribeFixture, AKillWhileSavingLeavesTheOldListOrTheNew)
{
    std::wstring list = folder.File(L"group.dat");
    int points = ForEachKillPoint(
        [&] { Files("fj.comp\r\n", "fj\r\n", "old.one\r\n"); },
        [&] { Run(ToggleFjComp); },
        [&](int k) {
            SCOPED_TRACE(k);
            ASSERT_TRUE(InitializeDataFolder(folder.Path().c_str())) << GetLastError();
            std::string saved = ReadBytes(list);
            bool whole = saved.size() == 18 && saved.find("old.one\r\n") != std::string::npos
                      && saved.find("fj.comp\r\n") != std::string::npos;
            EXPECT_TRUE(saved == "old.one\r\n" || whole) << saved;
            EXPECT_FALSE(FileExists(list + L"~"));
        });
    EXPECT_GT(points, 4);
}
