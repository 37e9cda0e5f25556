// The road around the pass: the password prompt and the end of a pass that
// failed outright.
#include <gtest/gtest.h>
#include "frame/StarterHarness.h"
#include "resource.h"
#include "support/DialogDriver.h"

namespace {

typedef std::vector<std::string> Lines;

TEST(Starter, TheTypedPasswordIsUsed)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(15000));
    server.On("authinfo user taro", "381 more\r\n");
    server.On(std::string("authinfo pass ") + "p\x82\xa0ss", "281 ok\r\n");
    StarterHarness harness;
    DialogDriver driver;
    driver.Ignore(L"記事の取得");
    std::wstring shownUser;
    bool focusOnPassword = false;
    driver.Then(L"ﾊﾟｽﾜｰﾄﾞの入力", [&](HWND dialog) {
        shownUser = DialogDriver::Text(dialog, IDC_PASSWORD_USER);
        focusOnPassword = GetFocus() == GetDlgItem(dialog, IDC_PASSWORD_EDIT);
        DialogDriver::SetText(dialog, IDC_PASSWORD_EDIT, L"pあss");
        DialogDriver::Click(dialog, IDOK);
    });
    PatrolOutcome outcome = harness.Run(server.Port(), "taro");
    ASSERT_TRUE(driver.Done());
    EXPECT_EQ(L"taro", shownUser);
    EXPECT_TRUE(focusOnPassword);
    EXPECT_TRUE(outcome.ended);
    EXPECT_EQ(Lines({"authinfo user taro", std::string("authinfo pass p\x82\xa0ss"), "QUIT"}), server.Commands());
}

TEST(Starter, FatalPassIsReportedByItsOwnBoxWithoutReload)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(10000));
    server.Stop();   // nobody listens: the worker ends at once, likely before the dialog opened
    StarterHarness harness;
    harness.AddGroup(L"g.a");
    PatrolOutcome outcome = harness.Run(server.Port());
    ASSERT_TRUE(outcome.ended);
    ASSERT_EQ(1u, outcome.boxes.size());
    EXPECT_EQ(L"127.0.0.1", outcome.boxes[0].caption);
    EXPECT_EQ(L"サーバに接続できませんでした", outcome.boxes[0].text);
    EXPECT_EQ((UINT)MB_ICONHAND, outcome.boxes[0].flags);
    EXPECT_NE((HWND)NULL, outcome.boxes[0].owner);
    EXPECT_EQ(1, outcome.hangUps);
    EXPECT_EQ(0, outcome.reloads);
}

}  // namespace
