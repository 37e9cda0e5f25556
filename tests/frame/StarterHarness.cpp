#include "frame/StarterHarness.h"
#include "frame/DownloadStarter.h"
#include "support/DialogDriver.h"
#include "support/TestWindow.h"

namespace {

PatrolOutcome* g_outcome;

void CountHangUp(void* context) { ++((PatrolOutcome*)context)->hangUps; }
BOOL CountReload(void* context) { ++((PatrolOutcome*)context)->reloads; return TRUE; }

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PATROL_DONE && g_outcome) {
        PatrolEndSteps steps = {CountHangUp, CountReload, g_outcome};
        OnPatrolDone(window, (DownloadJob*)lParam, &steps);
        g_outcome->ended = true;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

PatrolOutcome StarterHarness::Run(unsigned short port)
{
    PatrolOutcome outcome;
    MessageBoxRecorder recorder;
    HWND owner = MakeTestWindow(L"PeloraStarterTestOwner", OwnerProc);
    g_outcome = &outcome;
    StartPatrolWith(GetModuleHandleW(NULL), owner, MakeList(owner), L"127.0.0.1", port, DataPath().c_str(),
                    100, pipelining_, NULL, NULL, convertMime_);
    // The end of the pass may still be on its way when the dialog is gone.
    DialogDriver::PumpUntil([&] { return outcome.ended; }, 15000);
    g_outcome = NULL;
    DestroyWindow(owner);
    outcome.boxes = recorder.Boxes();
    return outcome;
}
