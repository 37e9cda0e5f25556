// The dial-up road: first with a stand-in frame, then around a real one. A
// line the program dialled never stays up once the road ends without a
// download or the frame goes, as the simulated remote access service counts it.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "frame/FrameFixture.h"
#include "frame/FrameDownload.h"
#include "host/RasService.h"
#include "resource.h"
#include "support/DialogDriver.h"
#include "support/TestWindow.h"

namespace {

// The service's counts as one value: dials, hang-ups, connected, live.
typedef std::vector<DWORD> Counts;
Counts RasCounts()
{
    RasServiceCounts counts = RasServiceGetCounts();
    return {counts.dials, counts.hangUps, counts.connected, counts.live};
}

// Stands in for the frame: hands the two dial-up messages to the road.
struct FakeFrame {
    HWND window;
    DialUpLink link;
    int starts = 0;
    std::wstring stateAtStart;
    BOOL enabledAtStart = FALSE;
};

FakeFrame* g_frame;

const wchar_t kDialTitle[] = L"TestNetに接続中...";
const wchar_t kPrompt[] = L"ﾊﾟｽﾜｰﾄﾞの入力";

BOOL StartDownloadStub(void* arg)
{
    FakeFrame* frame = (FakeFrame*)arg;
    frame->starts++;
    frame->enabledAtStart = IsWindowEnabled(frame->window);
    HWND dialog = DialogDriver::Find(kDialTitle);
    frame->stateAtStart = dialog ? DialogDriver::Text(dialog, IDC_DIAL_STATE) : L"(no dialog)";
    return TRUE;
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_frame && message == WM_DIAL_CONNECTED) {
        OnDialConnected(&g_frame->link, window, StartDownloadStub, g_frame);
        return 0;
    }
    if (g_frame && message == WM_DIAL_HANGUP) {
        OnDialHangUp(&g_frame->link, window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class DialUpTest : public testing::Test {
protected:
    void SetUp() override
    {
        RegistrySandbox::Clear();
        RasServiceReset();
        RasServiceSetStepTime(10);
        AddPhoneBookEntry(L"TestNet");
        frame_.window = MakeTestWindow(L"PeloraDialTestFrame", FrameProc);
        InitDialUpLink(&frame_.link);
        g_frame = &frame_;
    }
    void TearDown() override
    {
        DialogDriver::PumpFor(50);
        g_frame = NULL;
        DestroyWindow(frame_.window);
        RasServiceReset();
    }
    void Start(const wchar_t* entry = L"TestNet", HINSTANCE instance = GetModuleHandleW(NULL))
    {
        StartDownload(&frame_.link, instance, frame_.window, TRUE, entry, StartDownloadStub, &frame_);
    }
    bool DialogGone() { return DialogDriver::Find(kDialTitle) == NULL; }
    // A connection raised by this program's own dial.
    void DialAndConnect()
    {
        Start();
        ASSERT_TRUE(DialogDriver::PumpUntil([&] { return frame_.starts == 1; }, 5000));
    }
    FakeFrame frame_;
    MessageBoxRecorder boxes_;
};

TEST_F(DialUpTest, WithNoConnectionItDialsAndStartsOnceConnectedThenHangsUp)
{
    Start();
    EXPECT_FALSE(IsWindowEnabled(frame_.window));
    EXPECT_TRUE(DialogDriver::Find(kDialTitle) != NULL);
    EXPECT_EQ(0, frame_.starts);
    ASSERT_TRUE(DialogDriver::PumpUntil([&] { return frame_.starts == 1; }, 5000));
    EXPECT_EQ(L"接続しました", frame_.stateAtStart);
    EXPECT_TRUE(frame_.enabledAtStart);
    EXPECT_TRUE(frame_.link.dialConnected);
    EXPECT_EQ(Counts({1, 0, 1, 1}), RasCounts());
    EXPECT_TRUE(DialogDriver::PumpUntil([&] { return DialogGone(); }, 2000));
    EXPECT_TRUE(boxes_.Boxes().empty());

    // A wait of 0 hangs up as soon as the countdown opens; it closes itself.
    DWORD before = GetTickCount();
    HangUpAfterPatrol(&frame_.link, GetModuleHandleW(NULL), frame_.window, TRUE, 0);
    EXPECT_GE(GetTickCount() - before, 400u);
    EXPECT_EQ(Counts({1, 1, 1, 0}), RasCounts());
    EXPECT_FALSE(frame_.link.dialConnected);
    EXPECT_TRUE(IsWindowEnabled(frame_.window));
}

TEST_F(DialUpTest, CancelWhileDiallingStartsNothingAndEnablesTheFrame)
{
    Start();
    HWND dialog = DialogDriver::Find(kDialTitle);
    ASSERT_TRUE(dialog != NULL);
    DialogDriver::Click(dialog, IDCANCEL);
    EXPECT_TRUE(DialogDriver::PumpUntil([&] { return DialogGone() && IsWindowEnabled(frame_.window); }, 2000));
    DialogDriver::PumpFor(300);  // the dial would have connected by now
    EXPECT_EQ(0, frame_.starts);
    EXPECT_EQ(Counts({1, 1, 0, 0}), RasCounts());
    EXPECT_FALSE(frame_.link.dialConnected);
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(DialUpTest, AFailedOrRefusedDialOrAMissingDialogIsReportedAndLeavesTheFrameEnabled)
{
    // A dial that fails on its way, and one the service refuses outright (no
    // such phone-book entry): reported, hung up, nothing started.
    AddPhoneBookEntry(L"TestNet", 1);
    const struct { const wchar_t* entry; Counts counts; } dials[] = {
        {L"TestNet", {1, 1, 0, 0}}, {L"Nowhere", {0, 0, 0, 0}}};
    for (const auto& dial : dials) {
        SCOPED_TRACE(dial.entry);
        RasServiceReset();
        boxes_.Clear();
        Start(dial.entry);
        ASSERT_TRUE(DialogDriver::PumpUntil([&] { return !boxes_.Boxes().empty() && DialogGone(); }, 3000));
        EXPECT_TRUE(DialogDriver::PumpUntil([&] { return IsWindowEnabled(frame_.window) != 0; }, 2000));
        DialogDriver::PumpFor(50);
        ASSERT_EQ(1u, boxes_.Boxes().size());
        EXPECT_EQ(L"接続できませんでした", boxes_.Boxes()[0].text);
        EXPECT_EQ(L"ﾀﾞｲｱﾙｱｯﾌﾟ接続ｴﾗｰ", boxes_.Boxes()[0].caption);
        EXPECT_EQ((UINT)MB_ICONEXCLAMATION, boxes_.Boxes()[0].flags);
        EXPECT_TRUE(boxes_.Boxes()[0].owner != NULL);
        EXPECT_EQ(0, frame_.starts);
        EXPECT_EQ(dial.counts, RasCounts());
    }

    // A module without the dialog template: nothing is dialled.
    boxes_.Clear();
    Start(L"TestNet", GetModuleHandleW(L"kernel32.dll"));
    EXPECT_TRUE(IsWindowEnabled(frame_.window));
    EXPECT_EQ(1u, boxes_.Boxes().size());
    EXPECT_EQ(Counts({0, 0, 0, 0}), RasCounts());
    EXPECT_EQ(0, frame_.starts);
}

TEST_F(DialUpTest, TheCountdownHangsUpWhenItEnds)
{
    DialAndConnect();
    bool stateOk = false;
    DWORD hangUpsWhileCounting = 99;
    DialogDriver countdown;
    countdown.Ignore(kDialTitle);
    countdown.Then(L"切断中...", [&](HWND dialog) {
        stateOk = DialogDriver::Text(dialog, IDC_DIAL_STATE) == L"切断します" &&
                  IsWindowEnabled(GetDlgItem(dialog, IDCANCEL));
        hangUpsWhileCounting = RasServiceGetCounts().hangUps;
    });
    DWORD before = GetTickCount();
    HangUpAfterPatrol(&frame_.link, GetModuleHandleW(NULL), frame_.window, TRUE, 1);
    EXPECT_TRUE(countdown.Done());
    EXPECT_TRUE(stateOk);
    EXPECT_EQ(0u, hangUpsWhileCounting);
    EXPECT_GE(GetTickCount() - before, 1400u);
    EXPECT_EQ(Counts({1, 1, 1, 0}), RasCounts());
    EXPECT_FALSE(frame_.link.dialConnected);
}

TEST_F(DialUpTest, CancelDuringTheCountdownKeepsTheLineForTheNextDownloadAndTheClose)
{
    DialAndConnect();
    DialogDriver countdown;
    countdown.Ignore(kDialTitle);
    countdown.Then(L"切断中...", [&](HWND dialog) { DialogDriver::Click(dialog, IDCANCEL); });
    HangUpAfterPatrol(&frame_.link, GetModuleHandleW(NULL), frame_.window, TRUE, 30);
    EXPECT_TRUE(countdown.Done());
    EXPECT_EQ(Counts({1, 0, 1, 1}), RasCounts());
    EXPECT_FALSE(frame_.link.dialConnected);

    // The next download finds the line up: no dial, and no hang-up after it
    // nor when the frame closes.
    Start();
    EXPECT_EQ(2, frame_.starts);
    HangUpAfterPatrol(&frame_.link, GetModuleHandleW(NULL), frame_.window, TRUE, 0);
    HangUpOnClose(&frame_.link);
    EXPECT_EQ(Counts({1, 0, 1, 1}), RasCounts());
}

class DialUpRoadTest : public RoadFixture {
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
    }
    void TearDown() override
    {
        RoadFixture::TearDown();
        RasServiceReset();
    }
    void OpenAndDownload()
    {
        window = Open()->Window();
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
    EXPECT_EQ(Counts({1, 1, 0, 0}), RasCounts());
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
    EXPECT_EQ(Counts({1, 1, 1, 0}), RasCounts());
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(DialUpRoadTest, ACancelledPasswordPromptHangsUpTheLineDialledForItAndATypedOneIsUsed)
{
    WriteString(kSettingsKey, L"UserID", L"taro");
    server.On("authinfo user taro", "381 more\r\n");
    server.On("authinfo pass p\x82\xa0ss", "281 ok\r\n");
    DialogDriver driver;
    driver.Ignore(kDialTitle);
    driver.Ignore(L"記事の取得");
    driver.Then(kPrompt, [](HWND prompt) { DialogDriver::Click(prompt, IDCANCEL); });
    OpenAndDownload();
    EXPECT_TRUE(DialogDriver::PumpUntil([&] { return driver.Done(); }, 5000));
    DialogDriver::PumpFor(100);
    EXPECT_EQ(0, server.Connections());
    EXPECT_EQ(Counts({1, 1, 1, 0}), RasCounts());
    EXPECT_TRUE(IsWindowEnabled(window));
    EXPECT_TRUE(boxes.Boxes().empty());

    // Dialled again, the typed password goes to the server in Shift_JIS.
    std::wstring shownUser;
    bool focusOnPassword = false;
    driver.Then(kPrompt, [&](HWND dialog) {
        shownUser = DialogDriver::Text(dialog, IDC_PASSWORD_USER);
        focusOnPassword = GetFocus() == GetDlgItem(dialog, IDC_PASSWORD_EDIT);
        DialogDriver::SetText(dialog, IDC_PASSWORD_EDIT, L"pあss");
        DialogDriver::Click(dialog, IDOK);
    });
    driver.Then(L"切断中...", [](HWND countdown) { DialogDriver::Click(countdown, IDCANCEL); });
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_DOWNLOAD, 0), 0);
    EXPECT_TRUE(DialogDriver::PumpUntil([&] { return !boxes.Boxes().empty(); }, 10000));
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(L"taro", shownUser);
    EXPECT_TRUE(focusOnPassword);
    EXPECT_EQ(std::vector<std::string>({"authinfo user taro", "authinfo pass p\x82\xa0ss", "QUIT"}), server.Commands());
}

}  // namespace
