#include <gtest/gtest.h>
#include "dialogs/AboutDialog.h"
#include "dialogs/PropertyPage.h"
#include <prsht.h>
#include "resource.h"
#include "support/DialogDriver.h"
#include "support/MessageBoxRecorder.h"

TEST(ModalDialog, TheAboutDialogShowsItsTextsOkAndCancelEndItAndACommandWithoutObjectShowsNotInitialized)
{
    MessageBoxRecorder boxes;
    for (int answer : { IDOK, IDCANCEL }) {
        DialogDriver driver;
        driver.Then([&](HWND about) {
            wchar_t caption[64] = L"";
            GetWindowTextW(about, caption, 64);
            EXPECT_STREQ(L"About Pelora", caption);
            EXPECT_TRUE(FindWindowExW(about, NULL, L"Static", L"Pelora Version 1.1") != NULL);
            RECT frame;
            GetWindowRect(about, &frame);
            EXPECT_LE(frame.right - frame.left, 240);
            SendMessageW(about, WM_COMMAND, answer, 0);
        });
        EXPECT_EQ(answer, RunAboutDialog(GetModuleHandleW(NULL), NULL));
        EXPECT_TRUE(driver.Done());
    }
    EXPECT_TRUE(boxes.Boxes().empty());

    AboutDialog about;
    HWND dialog = CreateDialogParamW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDD_ABOUT), NULL,
                                     ModalDialog::Procedure, (LPARAM)&about);
    ASSERT_TRUE(dialog != NULL);
    DestroyWindow(dialog);
    // The window is gone: the object no longer names it.
    EXPECT_TRUE(about.Window() == NULL);

    // Without its object a dialog's commands, and a property page's (which finds
    // its object in its sheet entry), get a box and are ignored.
    dialog = CreateDialogParamW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDD_ABOUT), NULL,
                                     ModalDialog::Procedure, 0);
    ASSERT_TRUE(dialog != NULL);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(boxes.Showed(1, 0, L"Not Initialized!", L"ERROR", MB_ICONHAND));
    EXPECT_TRUE(boxes.Boxes()[0].owner == NULL);
    EXPECT_TRUE(IsWindow(dialog));
    DestroyWindow(dialog);

    HWND sheet = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 240, 240, NULL, NULL, NULL, NULL);
    PROPSHEETPAGEW entry = {};
    entry.dwSize = sizeof entry;
    HWND page = CreateDialogParamW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDD_PAGE_KEY), sheet,
                                   PropertyPage::SharedProc, (LPARAM)&entry);
    ASSERT_TRUE(page != NULL);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_EQ(2u, boxes.Boxes().size());
    EXPECT_EQ(L"Not Initialized!", boxes.Boxes()[1].text);
    EXPECT_TRUE(IsWindow(page));
    DestroyWindow(sheet);
}
