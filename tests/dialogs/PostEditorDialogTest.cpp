#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include "resource.h"
#include "dialogs/OutboxDialog.h"
#include "dialogs/PostEditorDialog.h"
#include "store/Outbox.h"
#include "support/DialogDriver.h"
#include "support/MessageBoxRecorder.h"
#include "support/StoreFiles.h"

namespace {

// Replaces the control's text as typing does (WM_SETTEXT tells a multi-line
// edit's owner nothing).
void Type(HWND dialog, int id, const wchar_t* text)
{
    SendDlgItemMessageW(dialog, id, EM_SETSEL, 0, -1);
    SendDlgItemMessageW(dialog, id, EM_REPLACESEL, TRUE, (LPARAM)text);
}

struct EditorFixture : testing::Test {
    TempDataFolder folder;
    std::wstring path;
    Settings settings;
    MessageBoxRecorder boxes;
    void SetUp() override
    {
        CreateDirectoryW(folder.File(L"draft").c_str(), NULL);
        wchar_t buffer[kStorePathCapacity];
        Outbox::PathOf(folder.Path().c_str(), 1, buffer);
        path = buffer;
        wcscpy(settings.DataPath, folder.Path().c_str());
        settings.MailAddress = _strdup("taro@example.jp");
        WriteBytes(path, "Newsgroups: fj.test\r\nSubject: \r\nReferences: <r@x>\r\n\r\n");
    }
    void TearDown() override { settings.Destroy(); }
    INT_PTR Edit(DialogDriver::Action act)
    {
        DialogDriver driver;
        driver.Then(act);
        PostEditorDialog editor(path.c_str(), &settings);
        INT_PTR result = editor.Run(GetModuleHandleW(NULL), NULL);
        EXPECT_TRUE(driver.Done());
        return result;
    }
};

}  // namespace

TEST_F(EditorFixture, EveryChangeIsSavedAtOnceAndQueueingRefusesWhatCannotGoOut)
{
    const std::string saved = "Newsgroups: fj.test\r\nSubject: " + Sjis(L"件名") + "\r\nReferences: <r@x>\r\n\r\n" +
                              Sjis(L"一行目\r\n二行目①です");
    EXPECT_EQ(IDOK, Edit([&](HWND dialog) {
        Type(dialog, IDC_EDITOR_SUBJECT, L"件名");
        Type(dialog, IDC_EDITOR_BODY, L"一行目\r\n二行目①です");
        // On the medium before the dialog closes: a kill now loses nothing.
        EXPECT_EQ(saved, ReadBytes(path));
        DialogDriver::Click(dialog, IDC_EDITOR_QUEUE);
        EXPECT_TRUE(boxes.Showed(1, 0, L"2行目の「①」は送れない文字です.", L"PELORA", MB_ICONEXCLAMATION));
        DialogDriver::Click(dialog, IDOK);
    }));
    EXPECT_EQ(saved, ReadBytes(path));

    EXPECT_EQ(IDC_EDITOR_QUEUE, Edit([&](HWND dialog) {
        EXPECT_EQ(L"件名", DialogDriver::Text(dialog, IDC_EDITOR_SUBJECT));
        Type(dialog, IDC_EDITOR_BODY, L"一行目");
        DialogDriver::Click(dialog, IDC_EDITOR_QUEUE);
    }));
    std::string queued = ReadBytes(path);
    EXPECT_EQ(0u, queued.find("Newsgroups: fj.test\r\nSubject: " + Sjis(L"件名") + "\r\nReferences: <r@x>\r\nMessage-ID: <"));
    EXPECT_NE(std::string::npos, queued.find("@example.jp>\r\nX-Pelora-State: queued\r\n\r\n" + Sjis(L"一行目")));

    // Edited again, the post is a draft that keeps its Message-ID; the outbox
    // lists it and deletes it when asked.
    size_t at = queued.find("Message-ID: ");
    std::string id = queued.substr(at, queued.find("\r\n", at) - at);
    Edit([&](HWND dialog) {
        Type(dialog, IDC_EDITOR_BODY, L"二行目");
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);   // closed: saved all the same
    });
    EXPECT_EQ("Newsgroups: fj.test\r\nSubject: " + Sjis(L"件名") + "\r\nReferences: <r@x>\r\n" + id + "\r\n\r\n" +
                  Sjis(L"二行目"),
              ReadBytes(path));
    boxes.SetAnswer(IDYES);
    DialogDriver driver;
    driver.Then([&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_OUTBOX_LIST);
        ASSERT_EQ(1, ListView_GetItemCount(list));
        wchar_t cell[64];
        ListView_GetItemText(list, 0, 2, cell, 64);
        EXPECT_EQ(std::wstring(L"草稿"), cell);
        DialogDriver::Click(dialog, IDC_OUTBOX_DELETE);
        EXPECT_EQ(0, ListView_GetItemCount(list));
        DialogDriver::Click(dialog, IDCANCEL);
    });
    OutboxDialog outbox(&settings);
    outbox.Run(GetModuleHandleW(NULL), NULL);
    EXPECT_FALSE(FileExists(path));
}
