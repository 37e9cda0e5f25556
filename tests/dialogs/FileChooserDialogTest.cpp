#include <gtest/gtest.h>
#include "support/DialogDriver.h"
#include "support/StoreFiles.h"
#include "dialogs/FileChooserDialog.h"
#include "resource.h"

namespace {

const wchar_t kCaption[] = L"Choose folder";
typedef std::vector<std::wstring> Names;

std::wstring ItemLabel(HWND tree, HTREEITEM item, int* image = NULL)
{
    wchar_t text[300] = L"";
    TVITEMW tv = {};
    tv.mask = TVIF_TEXT | TVIF_IMAGE;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = 300;
    SendMessageW(tree, TVM_GETITEMW, 0, (LPARAM)&tv);
    if (image)
        *image = tv.iImage;
    return text;
}

Names Children(HWND tree, HTREEITEM parent)
{
    Names names;
    for (HTREEITEM c = TreeView_GetChild(tree, parent); c; c = TreeView_GetNextSibling(tree, c))
        names.push_back(ItemLabel(tree, c));
    return names;
}

HTREEITEM Child(HWND tree, HTREEITEM parent, const std::wstring& name)
{
    for (HTREEITEM c = TreeView_GetChild(tree, parent); c; c = TreeView_GetNextSibling(tree, c))
        if (!_wcsicmp(ItemLabel(tree, c).c_str(), name.c_str()))
            return c;
    return NULL;
}

// As the user does: select the item, then the expand or the collapse key.
void Press(HWND tree, HTREEITEM item, WPARAM key)
{
    TreeView_SelectItem(tree, item);
    SendMessageW(tree, WM_KEYDOWN, key, 0);
}

// Opens the tree from the root down to `folder` (a path from the root of the
// current drive, ending in a backslash) and returns its item.
HTREEITEM OpenTo(HWND tree, const std::wstring& folder)
{
    HTREEITEM item = TreeView_GetRoot(tree);
    Press(tree, item, VK_ADD);
    for (size_t start = 1, end; item && start < folder.size(); start = end + 1) {
        end = folder.find(L'\\', start);
        item = Child(tree, item, folder.substr(start, end - start));
        if (item)
            Press(tree, item, VK_ADD);
    }
    return item;
}

bool OkEnabled(HWND dialog) { return IsWindowEnabled(GetDlgItem(dialog, IDC_CHOOSER_OK)) != 0; }

class FileChooserTest : public testing::Test {
protected:
    void SetUp() override
    {
        wchar_t path[MAX_PATH];
        GetLongPathNameW(folder_.Path().c_str(), path, MAX_PATH);
        base_ = path;
        for (const wchar_t* d : { L"beta", L"Alpha", L"gamma" })
            CreateDirectoryW((base_ + d).c_str(), NULL);
        for (const wchar_t* f : { L"b.exe", L"a.exe", L"c.txt", L"Beta.exe" })
            WriteBytes(base_ + f, "");
        GetCurrentDirectoryW(MAX_PATH, oldDirectory_);
        // The tree's root is the root of the current drive.
        SetCurrentDirectoryW(base_.c_str());
        relative_ = base_.substr(2);
    }
    void TearDown() override { SetCurrentDirectoryW(oldDirectory_); }
    TempDataFolder folder_;
    std::wstring base_;      // the folder (C:\...), ending in a backslash
    std::wstring relative_;  // the same without the drive
    wchar_t oldDirectory_[MAX_PATH];
    FileChooserDialog chooser_;
};

TEST_F(FileChooserTest, EachModeListsAndEnablesOnlyWhatItChoosesAndPathsThatWouldNotFitAreRefused)
{
    // In gamma, a folder whose path stays inside the limit, holding one that does not.
    std::wstring longName(240 - relative_.size() - 6, L'L');
    std::wstring inside = base_ + L"gamma\\" + longName + L"\\";
    std::wstring tooLong = inside + std::wstring(30, L'M') + L"\\";
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + inside).c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + tooLong).c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + tooLong + L"x").c_str(), NULL));
    DialogDriver driver;
    driver.Then(L"Choose program", [&](HWND dialog) {
        HWND tree = GetDlgItem(dialog, IDC_CHOOSER_TREE);
        HTREEITEM folder = OpenTo(tree, relative_);
        ASSERT_TRUE(folder != NULL);
        EXPECT_EQ((Names{ L"Alpha", L"beta", L"gamma", L"a.exe", L"b.exe", L"Beta.exe" }),
                  Children(tree, folder));
        int image = -1;
        ItemLabel(tree, Child(tree, folder, L"a.exe"), &image);
        EXPECT_EQ(2, image);

        TreeView_SelectItem(tree, Child(tree, folder, L"gamma"));
        EXPECT_FALSE(OkEnabled(dialog));
        TreeView_SelectItem(tree, Child(tree, folder, L"b.exe"));
        EXPECT_TRUE(OkEnabled(dialog));
        DialogDriver::Click(dialog, IDC_CHOOSER_OK);
    });
    ASSERT_EQ(IDOK, chooser_.Choose(GetModuleHandleW(NULL), NULL, L"Choose program", L"*.exe"));
    EXPECT_EQ(relative_ + L"b.exe", chooser_.Result());

    // The same object, now asked for a folder, lists folders only; a path
    // that would not fit cannot be chosen.
    driver.Then(kCaption, [&](HWND dialog) {
        HWND tree = GetDlgItem(dialog, IDC_CHOOSER_TREE);
        // OK follows the selection (the tree may select its root on focus).
        EXPECT_EQ(TreeView_GetSelection(tree) != NULL, OkEnabled(dialog));
        EXPECT_EQ(L"\\", ItemLabel(tree, TreeView_GetRoot(tree)));

        HTREEITEM folder = OpenTo(tree, relative_);
        ASSERT_TRUE(folder != NULL);
        // A folder made while the branch is open shows after close and reopen.
        CreateDirectoryW((base_ + L"delta").c_str(), NULL);
        Press(tree, folder, VK_SUBTRACT);
        Press(tree, folder, VK_ADD);
        EXPECT_EQ((Names{ L"Alpha", L"beta", L"delta", L"gamma" }), Children(tree, folder));

        HTREEITEM fits = OpenTo(tree, relative_ + L"gamma\\" + longName + L"\\");
        ASSERT_TRUE(fits != NULL);
        HTREEITEM over = Child(tree, fits, std::wstring(30, L'M'));
        ASSERT_TRUE(over != NULL);
        TreeView_SelectItem(tree, fits);
        EXPECT_TRUE(OkEnabled(dialog));
        Press(tree, over, VK_ADD);
        EXPECT_TRUE(Children(tree, over).empty());
        TreeView_SelectItem(tree, over);
        EXPECT_FALSE(OkEnabled(dialog));
        TreeView_SelectItem(tree, fits);
        DialogDriver::Click(dialog, IDC_CHOOSER_OK);
    });
    ASSERT_EQ(IDOK, chooser_.Choose(GetModuleHandleW(NULL), NULL, kCaption, NULL));
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(relative_ + L"gamma\\" + longName + L"\\", chooser_.Result());
}

} // namespace
