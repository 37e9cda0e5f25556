// Dial-up around a real frame: a line the program dialled never stays up
// once the road ends without a download or the frame goes, as the simulated
// remote access service counts it.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>
#include "RoadFixture.h"
#include "host/RasService.h"
#include "resource.h"
#include "support/DialogDriver.h"

namespace {

const wchar_t kDialTitle[] = L"TestNetに接続中...";

class DialUpRoadTest : public RoadFixture {
protected:
    void SetUp() override
    {
        RoadFixture::SetUp();
        if (HasFatalFailure())
            return;
        RasServiceReset();
        RasServiceSetStepTime(20);
        HKEY key;
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Comm\\RasBook\\TestNet", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
        RegCloseKey(key);
        env.WriteCompleteSettings(L"127.0.0.1", server.Port(), 50);
        env.WriteGroups({});
        env.SetDword(NULL, L"Dialup", 1);
        env.SetDword(NULL, L"DisconnectWaitTime", 30);
        env.SetString(NULL, L"EntryName", L"TestNet");
    }
    void TearDown() override
    {
        RoadFixture::TearDown();
        RasServiceReset();
    }
    void OpenAndDownload()
    {
        frame = new MainFrame();
        ASSERT_TRUE(frame->Create(L"Pelora", GetModuleHandleW(NULL), SW_SHOW));
        FrameFixture::Pump();
        window = frame->Window();
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_DOWNLOAD, 0), 0);
    }
    HWND window = NULL;
};

TEST_F(DialUpRoadTest, ClosingWhileDiallingHangsUp)
{
    DialogDriver driver;
    driver.Ignore(kDialTitle);
    OpenAndDownload();
    ASSERT_EQ(1u, RasServiceGetCounts().dials);
    EXPECT_FALSE(IsWindowEnabled(window));
    PostMessageW(window, WM_CLOSE, 0, 0);
    DialogDriver::PumpFor(300);   // the dial would have connected by now
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(1u, RasServiceGetCounts().hangUps);
    EXPECT_EQ(0u, RasServiceGetCounts().connected);
    EXPECT_EQ(0u, RasServiceGetCounts().live);
}

TEST_F(DialUpRoadTest, ClosingDuringTheCountdownHangsUpAndReportsNothing)
{
    DialogDriver driver;
    driver.Ignore(kDialTitle);
    driver.Ignore(L"記事の取得");
    DWORD hangUpsWhileCounting = 99;
    driver.Then(L"切断中...", [&](HWND) {
        hangUpsWhileCounting = RasServiceGetCounts().hangUps;
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    OpenAndDownload();
    EXPECT_TRUE(DialogDriver::PumpUntil([&] { return !IsWindow(window); }, 10000));
    DialogDriver::PumpFor(100);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(0u, hangUpsWhileCounting);
    EXPECT_EQ(1, server.Connections());
    EXPECT_EQ(1u, RasServiceGetCounts().hangUps);
    EXPECT_EQ(0u, RasServiceGetCounts().live);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(DialUpRoadTest, ACancelledPasswordPromptHangsUpTheLineDialledForIt)
{
    env.SetString(NULL, L"UserID", L"taro");
    DialogDriver driver;
    driver.Ignore(kDialTitle);
    driver.Then(L"ﾊﾟｽﾜｰﾄﾞの入力", [](HWND prompt) { DialogDriver::Click(prompt, IDCANCEL); });
    OpenAndDownload();
    EXPECT_TRUE(DialogDriver::PumpUntil([&] { return driver.Done(); }, 5000));
    DialogDriver::PumpFor(100);
    EXPECT_EQ(0, server.Connections());
    EXPECT_EQ(1u, RasServiceGetCounts().hangUps);
    EXPECT_EQ(0u, RasServiceGetCounts().live);
    EXPECT_TRUE(IsWindowEnabled(window));
}

}  // namespace
