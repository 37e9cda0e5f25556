// Dial-up around a real frame: the dial before a download and the hang-up
// countdown after it. A line the program dialled never stays up once the road
// ends without a download or the frame goes, as the remote access stand-in counts.
#include "frame/FrameFixture.h"
#include "frame/FrameDownload.h"
#include "host/RasService.h"
#include "resource.h"
#include "support/DialogDriver.h"
#include "support/TestWindow.h"

namespace {

const wchar_t kDialTitle[] = L"TestNetに接続中...";
const wchar_t kCountdown[] = L"切断中...";
const wchar_t kProgress[] = L"記事の取得";

// The service's counts as one value: dials, hang-ups, connected, live.
typedef std::vector<DWORD> Counts;
Counts RasCounts()
{
    RasServiceCounts counts = RasServiceGetCounts();
    return {counts.dials, counts.hangUps, counts.connected, counts.live};
}

class DialUpTest : public RoadFixture {
protected:
    void SetUp() override
    {
        RoadFixture::SetUp();
        RasServiceReset();
        RasServiceSetStepTime(20);
        AddPhoneBookEntry(L"TestNet");
        WriteCompleteSettings(server.Port());
        WriteGroups({});
        WriteDword(kSettingsKey, L"Dialup", 1);
        WriteDword(kSettingsKey, L"DisconnectWaitTime", 30);
        WriteString(kSettingsKey, L"EntryName", L"TestNet");
        driver.Ignore(kDialTitle);
        driver.Ignore(kProgress);
    }
    void TearDown() override
    {
        RoadFixture::TearDown();
        RasServiceReset();
    }
    void OpenAndDownload()
    {
        window = Open()->Window();
        Download();
    }
    void Download() { SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_DOWNLOAD, 0), 0); }
    // The frame enabled again and the dial-up dialog gone, within ten seconds.
    bool Settled()
    {
        return DialogDriver::PumpUntil([&] { return IsWindowEnabled(window) && !DialogDriver::Find(kDialTitle); }, 10000);
    }
    // At least `count` boxes shown, within ten seconds.
    bool Reported(size_t count) { return DialogDriver::PumpUntil([&] { return boxes.Boxes().size() >= count; }, 10000); }
    HWND window = NULL;
    // Dial-up and progress dialogs end by themselves; a test that acts on
    // the dial-up dialog makes a driver of its own.
    DialogDriver driver;
};

TEST_F(DialUpTest, WithNoLineItDialsStartsOnceConnectedAndAWaitOfNoneHangsUpAtOnceAfterAPassThatWorkedOrFailed)
{
    WriteDword(kSettingsKey, L"DisconnectWaitTime", 0);
    bool countdownShown = false;
    driver.Then(kCountdown, [&](HWND) { countdownShown = true; });
    OpenAndDownload();
    EXPECT_FALSE(IsWindowEnabled(window));
    // Connected, and shown so a moment before the download starts.
    HWND dial = DialogDriver::Find(kDialTitle);
    ASSERT_TRUE(dial != NULL);
    EXPECT_TRUE(DialogDriver::PumpUntil([&] { return DialogDriver::Text(dial, IDC_DIAL_STATE) == L"接続しました"; },
                                        10000));
    EXPECT_EQ(0, server.Connections());
    ASSERT_TRUE(Reported(1));
    EXPECT_TRUE(Settled());
    EXPECT_TRUE(countdownShown);
    EXPECT_EQ(1, server.Connections());
    EXPECT_EQ(Counts({1, 1, 1, 0}), RasCounts());
    EXPECT_EQ(L"ダウンロードが終了しました。", boxes.Boxes()[0].text);

    // A pass that fails outright has its own box, and hangs up too.
    server.Stop();   // nobody listens: the pass fails at once
    driver.Ignore(kCountdown);
    WriteGroups({"g.a", "g.b"});   // a reload would show them
    Download();
    ASSERT_TRUE(Reported(2));
    EXPECT_TRUE(Settled());
    EXPECT_TRUE(boxes.Showed(2, 1, L"サーバに接続できませんでした", L"127.0.0.1", MB_ICONHAND));
    EXPECT_EQ(Counts({2, 2, 2, 0}), RasCounts());
    EXPECT_EQ(0, ListRows(List()));
}

TEST_F(DialUpTest, ACancelledFailedOrRefusedDialStartsNothingAndClosingWhileDiallingHangsUp)
{
    {
        DialogDriver canceller;
        canceller.Then(kDialTitle, [](HWND dialog) { DialogDriver::Click(dialog, IDCANCEL); });
        OpenAndDownload();
        EXPECT_TRUE(Settled());
        DialogDriver::PumpFor(300);  // the dial would have connected by now
        EXPECT_TRUE(canceller.Done());
    }
    EXPECT_EQ(0, server.Connections());
    EXPECT_EQ(Counts({1, 1, 0, 0}), RasCounts());
    EXPECT_TRUE(boxes.Boxes().empty());

    Download();
    ASSERT_EQ(2u, RasServiceGetCounts().dials);
    EXPECT_FALSE(IsWindowEnabled(window));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(DialogDriver::PumpUntil([&] { return !IsWindow(window); }, 10000));
    EXPECT_EQ(0, server.Connections());
    EXPECT_EQ(Counts({2, 2, 0, 0}), RasCounts());
    Close();

    // A dial that fails on its way, and one the service refuses outright (no such phone-book entry):
    // reported, hung up, nothing started, the frame enabled again.
    AddPhoneBookEntry(L"TestNet", 1);
    const struct { const wchar_t* entry; Counts counts; } dials[] = {
        {L"TestNet", {1, 1, 0, 0}}, {L"Nowhere", {0, 0, 0, 0}}};
    driver.Ignore(L"Nowhereに接続中...");
    for (const auto& dial : dials) {
        SCOPED_TRACE(dial.entry);
        RasServiceReset();
        boxes.Clear();
        WriteString(kSettingsKey, L"EntryName", dial.entry);
        OpenAndDownload();
        ASSERT_TRUE(Reported(1));
        EXPECT_TRUE(Settled());
        ASSERT_TRUE(boxes.Showed(1, 0, L"接続できませんでした", L"ﾀﾞｲｱﾙｱｯﾌﾟ接続ｴﾗｰ", MB_ICONEXCLAMATION));
        EXPECT_TRUE(boxes.Boxes()[0].owner != NULL);
        EXPECT_EQ(0, server.Connections());
        EXPECT_EQ(dial.counts, RasCounts());
        Close();
    }
}

TEST_F(DialUpTest, TheCountdownHangsUpWhenItEndsOrWhenTheFrameClosesDuringIt)
{
    WriteDword(kSettingsKey, L"DisconnectWaitTime", 1);
    bool stateOk = false;
    DWORD hangUpsWhileCounting = 99, shownAt = 0;
    driver.Then(kCountdown, [&](HWND dialog) {
        stateOk = DialogDriver::Text(dialog, IDC_DIAL_STATE) == L"切断します" &&
                  IsWindowEnabled(GetDlgItem(dialog, IDCANCEL));
        hangUpsWhileCounting = RasServiceGetCounts().hangUps;
        shownAt = GetTickCount();
    });
    OpenAndDownload();
    ASSERT_TRUE(Reported(1));
    EXPECT_TRUE(driver.Done());
    EXPECT_TRUE(stateOk);
    EXPECT_EQ(0u, hangUpsWhileCounting);
    EXPECT_GE(GetTickCount() - shownAt, 1400u);
    EXPECT_EQ(Counts({1, 1, 1, 0}), RasCounts());

    // Closed while counting: hung up then, and nothing reported.
    driver.Then(kCountdown, [&](HWND) {
        hangUpsWhileCounting = RasServiceGetCounts().hangUps;
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    Download();
    EXPECT_TRUE(DialogDriver::PumpUntil([&] { return !IsWindow(window); }, 10000));
    DialogDriver::PumpFor(100);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(1u, hangUpsWhileCounting);
    EXPECT_EQ(2, server.Connections());
    EXPECT_EQ(Counts({2, 2, 2, 0}), RasCounts());
    EXPECT_EQ(1u, boxes.Boxes().size());
}

TEST_F(DialUpTest, ACancelledPasswordPromptHangsUpTheLineDialledForItATypedOneIsUsedAndACancelledCountdownKeepsTheLine)
{
    WriteString(kSettingsKey, L"UserID", L"taro");
    server.On("authinfo user taro", "381 more\r\n");
    server.On("authinfo pass p\x82\xa0ss", "281 ok\r\n");
    driver.Then(L"ﾊﾟｽﾜｰﾄﾞの入力", [](HWND prompt) { DialogDriver::Click(prompt, IDCANCEL); });
    OpenAndDownload();
    EXPECT_TRUE(DialogDriver::PumpUntil([&] { return driver.Done(); }, 10000));
    DialogDriver::PumpFor(100);
    EXPECT_EQ(0, server.Connections());
    EXPECT_EQ(Counts({1, 1, 1, 0}), RasCounts());
    EXPECT_TRUE(IsWindowEnabled(window));
    EXPECT_TRUE(boxes.Boxes().empty());

    // Dialled again, the typed password goes to the server in Shift_JIS.
    std::wstring shownUser;
    bool focusOnPassword = false;
    auto typePassword = [&](HWND dialog) {
        shownUser = DialogDriver::Text(dialog, IDC_PASSWORD_USER);
        focusOnPassword = GetFocus() == GetDlgItem(dialog, IDC_PASSWORD_EDIT);
        DialogDriver::SetText(dialog, IDC_PASSWORD_EDIT, L"pあss");
        DialogDriver::Click(dialog, IDOK);
    };
    driver.Then(L"ﾊﾟｽﾜｰﾄﾞの入力", typePassword);
    driver.Then(kCountdown, [](HWND countdown) { DialogDriver::Click(countdown, IDCANCEL); });
    Download();
    EXPECT_TRUE(Reported(1));
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(L"taro", shownUser);
    EXPECT_TRUE(focusOnPassword);
    EXPECT_EQ(std::vector<std::string>({"authinfo user taro", "authinfo pass p\x82\xa0ss", "QUIT"}),
              server.Commands());
    // The cancelled countdown kept the line; the next download finds it up: no dial, and no hang-up
    // after it (no countdown) nor when the frame closes.
    EXPECT_EQ(Counts({2, 1, 2, 1}), RasCounts());
    driver.Then(L"ﾊﾟｽﾜｰﾄﾞの入力", typePassword);
    Download();
    ASSERT_TRUE(Reported(2));
    Close();
    EXPECT_TRUE(driver.Unexpected().empty());
    EXPECT_EQ(2, server.Connections());
    EXPECT_EQ(Counts({2, 1, 2, 1}), RasCounts());
}

TEST(DialUpLink, AMissingDialogDialsNothingAndAConnectionEnablesTheFrameBeforeTheStart)
{
    RasServiceReset();
    MessageBoxRecorder boxes;
    HWND window = MakeTestWindow(L"PeloraDialTestFrame", DefWindowProcW);
    DialUpLink link;
    InitDialUpLink(&link);
    int starts = 0;
    StartDownload(&link, GetModuleHandleW(L"kernel32.dll"), window, TRUE, L"TestNet",
                  [](void* count) -> BOOL { return ++*(int*)count; }, &starts);
    EXPECT_TRUE(IsWindowEnabled(window));
    EXPECT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(Counts({0, 0, 0, 0}), RasCounts());
    EXPECT_EQ(0, starts);

    static BOOL enabledAtStart = FALSE;
    EnableWindow(window, FALSE);
    OnDialConnected(&link, window, [](void* w) { return enabledAtStart = IsWindowEnabled((HWND)w); }, window);
    EXPECT_TRUE(enabledAtStart);
    DestroyWindow(window);
}

}  // namespace
