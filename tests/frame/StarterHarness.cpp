#include "frame/StarterHarness.h"
#include "frame/DownloadStarter.h"

namespace {

PatrolOutcome* g_outcome;

void CountHangUp(void* context) { ++((PatrolOutcome*)context)->hangUps; }
BOOL CountReload(void* context) { ++((PatrolOutcome*)context)->reloads; return TRUE; }

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kPatrolDoneMessage && g_outcome) {
        DownloadJob* job = (DownloadJob*)lParam;
        g_outcome->result = *job->result;
        PatrolEndSteps steps = {CountHangUp, CountReload, g_outcome};
        OnPatrolDone(window, job, &steps);
        g_outcome->ended = true;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

const wchar_t kOwnerClass[] = L"PeloraStarterTestOwner";

}  // namespace

PatrolOutcome StarterHarness::Run(ScriptedNntpServer& server, DWORD limit, const char* userId,
                                  const char* password)
{
    return RunOnPort(server.Port(), limit, userId, password);
}

PatrolOutcome StarterHarness::RunOnPort(unsigned short port, DWORD limit, const char* userId,
                                        const char* password)
{
    PatrolOutcome outcome;
    MessageBoxRecorder recorder;
    HWND owner = MakeOwner(kOwnerClass, OwnerProc);
    HWND list = MakeList(owner);

    g_outcome = &outcome;
    StartPatrolWith(GetModuleHandleW(NULL), owner, list, L"127.0.0.1", port, dataPath_.c_str(),
                    limit, pipelining_, userId, password, convertMime_);
    // The end of the pass may still be on its way when the dialog is gone.
    DWORD deadline = GetTickCount() + (waitForEnd_ ? 15000 : 200);
    while (!outcome.ended && (LONG)(GetTickCount() - deadline) < 0) {
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (!outcome.ended)
            MsgWaitForMultipleObjects(0, NULL, FALSE, 20, QS_ALLINPUT);
    }
    g_outcome = NULL;
    DestroyWindow(owner);
    outcome.boxes = recorder.Boxes();
    return outcome;
}
