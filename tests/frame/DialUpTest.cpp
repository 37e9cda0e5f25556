#include <gtest/gtest.h>
#include "support/DialogDriver.h"
#include "support/RegistrySandbox.h"
#include "support/MessageBoxRecorder.h"
#include "frame/FrameDownload.h"
#include "host/RasService.h"
#include "resource.h"
#include "support/TestWindow.h"
#include <string>

namespace {

// Stands in for the frame: hands the two dial-up messages to the road.
struct FakeFrame {
    HWND window;
    DialUpLink link;
    int starts = 0;
    std::wstring stateAtStart;
    BOOL enabledAtStart = FALSE;
    BOOL passRuns = TRUE;   // what the starter answers
};

FakeFrame* g_frame;

const wchar_t kDialTitle[] = L"TestNetに接続中...";

BOOL StartDownloadStub(void* arg)
{
    FakeFrame* frame = (FakeFrame*)arg;
    frame->starts++;
    frame->enabledAtStart = IsWindowEnabled(frame->window);
    HWND dialog = DialogDriver::Find(kDialTitle);
    frame->stateAtStart = dialog ? DialogDriver::Text(dialog, IDC_DIAL_STATE) : L"(no dialog)";
    return frame->passRuns;
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
    EXPECT_EQ(1u, RasServiceGetCounts().dials);
    EXPECT_TRUE(DialogDriver::PumpUntil([&] { return DialogGone(); }, 2000));
    EXPECT_TRUE(boxes_.Boxes().empty());

    // A wait of 0 hangs up as soon as the countdown opens; it closes itself.
    DWORD before = GetTickCount();
    HangUpAfterPatrol(&frame_.link, GetModuleHandleW(NULL), frame_.window, TRUE, 0);
    EXPECT_GE(GetTickCount() - before, 400u);
    EXPECT_EQ(1u, RasServiceGetCounts().hangUps);
    EXPECT_EQ(0u, RasServiceGetCounts().live);
    EXPECT_FALSE(frame_.link.dialConnected);
    EXPECT_TRUE(IsWindowEnabled(frame_.window));
}

TEST_F(DialUpTest, WithDialUpOffOrALineUpItStartsAtOnceAndNeverHangsUp)
{
    StartDownload(&frame_.link, GetModuleHandleW(NULL), frame_.window, FALSE, L"TestNet",
                  StartDownloadStub, &frame_);
    EXPECT_EQ(1, frame_.starts);
    EXPECT_EQ(0u, RasServiceGetCounts().dials);
    HangUpAfterPatrol(&frame_.link, GetModuleHandleW(NULL), frame_.window, FALSE, 0);
    EXPECT_EQ(0u, RasServiceGetCounts().hangUps);

    // A line someone else raised is used as it is.
    HRASCONN other = NULL;
    RASDIALPARAMS params = {};
    params.dwSize = sizeof params;
    wcscpy(params.szEntryName, L"TestNet");
    ASSERT_EQ(0u, RasDial(NULL, NULL, &params, 0xFFFFFFFF, NULL, &other));
    ASSERT_TRUE(DialogDriver::PumpUntil([] { return RasServiceGetCounts().live == 1; }, 3000));

    Start();
    EXPECT_EQ(2, frame_.starts);
    EXPECT_EQ(1u, RasServiceGetCounts().dials);
    EXPECT_FALSE(frame_.link.dialConnected);
    HangUpAfterPatrol(&frame_.link, GetModuleHandleW(NULL), frame_.window, TRUE, 0);
    EXPECT_EQ(0u, RasServiceGetCounts().hangUps);
    EXPECT_EQ(1u, RasServiceGetCounts().live);
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
    EXPECT_EQ(1u, RasServiceGetCounts().hangUps);
    EXPECT_EQ(0u, RasServiceGetCounts().connected);
    EXPECT_FALSE(frame_.link.dialConnected);
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(DialUpTest, AFailedDialIsReportedAndHungUp)
{
    AddPhoneBookEntry(L"TestNet", 1);
    Start();
    ASSERT_TRUE(DialogDriver::PumpUntil([&] { return !boxes_.Boxes().empty() && DialogGone(); }, 3000));
    DialogDriver::PumpFor(50);
    ASSERT_EQ(1u, boxes_.Boxes().size());
    EXPECT_EQ(L"接続できませんでした", boxes_.Boxes()[0].text);
    EXPECT_EQ(L"ﾀﾞｲｱﾙｱｯﾌﾟ接続ｴﾗｰ", boxes_.Boxes()[0].caption);
    EXPECT_EQ((UINT)MB_ICONEXCLAMATION, boxes_.Boxes()[0].flags);
    EXPECT_TRUE(boxes_.Boxes()[0].owner != NULL);
    EXPECT_TRUE(IsWindowEnabled(frame_.window));
    EXPECT_EQ(0, frame_.starts);
    EXPECT_EQ(1u, RasServiceGetCounts().hangUps);
}

TEST_F(DialUpTest, ADialRefusedAtOnceOrAMissingDialogLeavesTheFrameEnabled)
{
    // No such phone-book entry: the service refuses the dial outright.
    Start(L"Nowhere");
    ASSERT_TRUE(DialogDriver::PumpUntil([&] { return !boxes_.Boxes().empty(); }, 3000));
    EXPECT_TRUE(DialogDriver::PumpUntil([&] { return IsWindowEnabled(frame_.window) != 0; }, 2000));
    EXPECT_EQ(L"接続できませんでした", boxes_.Boxes()[0].text);
    EXPECT_EQ(0, frame_.starts);

    // A module without the dialog template: nothing is dialled.
    boxes_.Clear();
    Start(L"TestNet", GetModuleHandleW(L"kernel32.dll"));
    EXPECT_TRUE(IsWindowEnabled(frame_.window));
    EXPECT_EQ(1u, boxes_.Boxes().size());
    EXPECT_EQ(0u, RasServiceGetCounts().dials);
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
    EXPECT_EQ(1u, RasServiceGetCounts().hangUps);
    EXPECT_EQ(0u, RasServiceGetCounts().live);
    EXPECT_FALSE(frame_.link.dialConnected);
}

TEST_F(DialUpTest, CancelDuringTheCountdownKeepsTheLineForTheNextDownload)
{
    DialAndConnect();
    DialogDriver countdown;
    countdown.Ignore(kDialTitle);
    countdown.Then(L"切断中...", [&](HWND dialog) { DialogDriver::Click(dialog, IDCANCEL); });
    HangUpAfterPatrol(&frame_.link, GetModuleHandleW(NULL), frame_.window, TRUE, 30);
    EXPECT_TRUE(countdown.Done());
    EXPECT_EQ(0u, RasServiceGetCounts().hangUps);
    EXPECT_EQ(1u, RasServiceGetCounts().live);
    EXPECT_FALSE(frame_.link.dialConnected);

    // The next download finds the line up: no dial, and no hang-up after it.
    Start();
    EXPECT_EQ(2, frame_.starts);
    EXPECT_EQ(1u, RasServiceGetCounts().dials);
    HangUpAfterPatrol(&frame_.link, GetModuleHandleW(NULL), frame_.window, TRUE, 0);
    EXPECT_EQ(0u, RasServiceGetCounts().hangUps);
}

TEST_F(DialUpTest, AStartThatRunsNoPassHangsUpTheLineItDialled)
{
    // The password prompt cancelled, or no job or thread: no pass, no end of
    // one, so nothing later would hang up.
    frame_.passRuns = FALSE;
    DialAndConnect();
    EXPECT_EQ(1u, RasServiceGetCounts().hangUps);
    EXPECT_EQ(0u, RasServiceGetCounts().live);
    EXPECT_FALSE(frame_.link.dialConnected);
    EXPECT_TRUE(IsWindowEnabled(frame_.window));
}

TEST_F(DialUpTest, ClosingHangsUpWhileDiallingButNotALineTheUserKept)
{
    Start();
    HangUpOnClose(&frame_.link);
    DialogDriver::PumpFor(300);   // the dial would have connected by now
    EXPECT_EQ(1u, RasServiceGetCounts().hangUps);
    EXPECT_EQ(0u, RasServiceGetCounts().connected);
    EXPECT_EQ(0u, RasServiceGetCounts().live);
    DestroyWindow(DialogDriver::Find(kDialTitle));

    RasServiceReset();
    DialAndConnect();
    DialogDriver countdown;
    countdown.Ignore(kDialTitle);
    countdown.Then(L"切断中...", [&](HWND dialog) { DialogDriver::Click(dialog, IDCANCEL); });
    HangUpAfterPatrol(&frame_.link, GetModuleHandleW(NULL), frame_.window, TRUE, 30);
    HangUpOnClose(&frame_.link);
    EXPECT_EQ(0u, RasServiceGetCounts().hangUps);
    EXPECT_EQ(1u, RasServiceGetCounts().live);
}

TEST(RasServiceTest, EntriesComeFromThePhoneBookKey)
{
    RegistrySandbox::Clear();
    RASENTRYNAME entries[100] = {};
    entries[0].dwSize = sizeof(RASENTRYNAME);
    DWORD size = sizeof entries, count = 0;
    EXPECT_EQ((DWORD)ERROR_CANNOT_OPEN_PHONEBOOK, RasEnumEntries(NULL, NULL, entries, &size, &count));
    AddPhoneBookEntry(L"Office");
    AddPhoneBookEntry(L"`Direct");
    size = sizeof entries;
    ASSERT_EQ(0u, RasEnumEntries(NULL, NULL, entries, &size, &count));
    EXPECT_EQ(2u, count);
    EXPECT_EQ(48u, sizeof(RASENTRYNAME));
    EXPECT_EQ(1464u, sizeof(RASDIALPARAMS));
}

} // namespace
