#include <gtest/gtest.h>
#include "resource.h"
#include "store/DataFolder.h"
#include "store/FilterChange.h"
#include "store/GroupRecord.h"
#include "dialogs/KeywordFilterDialog.h"
#include "support/DialogDriver.h"
#include "support/KillPoints.h"
#include "support/MessageBoxRecorder.h"
#include "support/StoreFiles.h"

namespace {

HWND Combo(HWND dialog) { return GetDlgItem(dialog, IDC_FILTER_KEYWORDS); }

void Pick(HWND dialog, const wchar_t* keyword)
{
    LRESULT item = SendMessageW(Combo(dialog), CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)keyword);
    ASSERT_NE(CB_ERR, item);
    SendMessageW(Combo(dialog), CB_SETCURSEL, item, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_FILTER_KEYWORDS, CBN_SELCHANGE), (LPARAM)Combo(dialog));
}

struct FilterFixture : testing::Test {
    TempDataFolder folder;
    std::wstring path = folder.File(L"fj.test.flt");
    MessageBoxRecorder boxes;
    INT_PTR Run(const wchar_t* initial, DialogDriver::Action act)
    {
        DialogDriver driver;
        driver.Then(act);
        INT_PTR result = RunKeywordFilterDialog(GetModuleHandleW(NULL), NULL, path.c_str(), initial);
        EXPECT_TRUE(driver.Done());
        return result;
    }
};

}  // namespace

TEST_F(FilterFixture, WithoutAFileTheSubjectIsListedWithOneLevelsAreReadChangedAndRewrittenInListOrderOrKeptWhenASaveFails)
{
    EXPECT_EQ(IDCANCEL, Run(L"Re: 新しい端末", [&](HWND dialog) {
        EXPECT_EQ(std::vector<std::wstring>{L"Re: 新しい端末"}, DialogDriver::ComboItems(Combo(dialog)));
        EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_FILTER_NORMAL));
        DialogDriver::Click(dialog, IDCANCEL);
    }));
    EXPECT_FALSE(FileExists(path));

    // With a file: levels are read and the file rewritten in list order.
    // "x" and any other first byte read as low; empty lines are skipped.
    ASSERT_TRUE(WriteBytes(path, "+ \xC3\xBD\xC4\r\n- spam\r\n\r\nx other\r\n"));
    EXPECT_EQ(IDOK, Run(L"新着", [&](HWND dialog) {
        EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_FILTER_NORMAL));
        Pick(dialog, L"spam");
        EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_FILTER_LOW));
        Pick(dialog, L"新着");
        DialogDriver::Click(dialog, IDOK);
    }));
    // The subject itself stays normal and is not written.
    EXPECT_EQ("- other\r\n- spam\r\n+ \xC3\xBD\xC4\r\n", ReadBytes(path));
    EXPECT_FALSE(FileExists(path + L"~"));

    // Normal removes a keyword; typed ones are added, case and all.
    ASSERT_TRUE(WriteBytes(path, "- spam\r\n+ ABC\r\n"));
    EXPECT_EQ(IDOK, Run(L"ABc", [&](HWND dialog) {
        EXPECT_EQ(L"ABc", DialogDriver::Text(dialog, IDC_FILTER_KEYWORDS));
        Pick(dialog, L"spam");
        DialogDriver::Click(dialog, IDC_FILTER_NORMAL);
        // Typed, not picked: "abc" is a keyword of its own beside "ABC".
        SendMessageW(Combo(dialog), CB_SETCURSEL, (WPARAM)-1, 0);
        SetWindowTextW(Combo(dialog), L"abc");
        DialogDriver::Click(dialog, IDC_FILTER_LOW);
        DialogDriver::Click(dialog, IDOK);
    }));
    std::string file = ReadBytes(path);
    EXPECT_EQ(14u, file.size()) << file;
    for (const char* line : { "+ ABC\r\n", "- abc\r\n" })
        EXPECT_NE(std::string::npos, file.find(line)) << file;
    EXPECT_TRUE(boxes.Boxes().empty());

    // A failed save keeps the old file and says why: a folder where the
    // temporary file must go cannot be created as a file.
    ASSERT_TRUE(CreateDirectoryW((path + L"~").c_str(), NULL));
    EXPECT_EQ(IDCANCEL, Run(L"subject", [&](HWND dialog) { DialogDriver::Click(dialog, IDOK); }));
    EXPECT_EQ(file, ReadBytes(path));
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(path, boxes.Boxes()[0].caption);
    EXPECT_EQ(0u, boxes.Boxes()[0].text.find(L"ファイルが開けませんでした("));
    EXPECT_EQ((UINT)MB_ICONHAND, boxes.Boxes()[0].flags);
}

// The save and the reprioritising after it, as the subject view runs them: after the next start the group's
// article has the priority of the filter that is in force.
TEST_F(FilterFixture, AKillWhileSavingOrReprioritisingLeavesTheOldFilterOrTheNewInForce)
{
    GroupRecord group;
    group.Reset();
    ASSERT_TRUE(group.SetNames(folder.Path().c_str(), L"fj.test"));
    int points = ForEachKillPoint(
        [&] {
            DeleteFileW(folder.File(L"fj.test.idx").c_str());
            ASSERT_TRUE(WriteBytes(folder.File(L"group.dat"), "fj.test\r\n"));
            ASSERT_TRUE(WriteBytes(path, "+ keep\r\n"));
            ASSERT_TRUE(WriteBytes(folder.File(L"fj.test.log"), ArticleBlock("Subject: subject", 1, "b")));
            ASSERT_TRUE(InitializeDataFolder(folder.Path().c_str())) << GetLastError();
        },
        [&] {
            Run(L"subject", [&](HWND dialog) {
                DialogDriver::Click(dialog, IDC_FILTER_LOW);
                DialogDriver::Click(dialog, IDOK);
            });
            ApplyFilterChange(&group);
        },
        [&](int k) {
            SCOPED_TRACE(k);
            ASSERT_TRUE(InitializeDataFolder(folder.Path().c_str())) << GetLastError();
            std::string saved = ReadBytes(path);
            bool fresh = saved == "+ keep\r\n- subject\r\n";
            EXPECT_TRUE(fresh || saved == "+ keep\r\n") << saved;
            std::string index = ReadBytes(folder.File(L"fj.test.idx"));
            EXPECT_EQ(fresh ? (DWORD)kPriorityLow << kRecordPriorityShift : 0u, WordAt(index, kIndexHeaderSize));
            EXPECT_EQ(fresh ? 1u : 0u, WordAt(index, 96));   // lowCount
            for (const std::wstring& name : FilesIn(folder.Path()))
                EXPECT_NE(L'~', name.back()) << name;
        });
    group.Release();
    EXPECT_GT(points, 6);
    // A marked group whose log is gone: the start goes on, and the mark goes.
    DeleteFileW(folder.File(L"fj.test.log").c_str());
    ASSERT_TRUE(WriteBytes(folder.File(L"fj.test.rp~"), ""));
    EXPECT_TRUE(InitializeDataFolder(folder.Path().c_str())) << GetLastError();
    EXPECT_FALSE(FileExists(folder.File(L"fj.test.rp~")));
}
