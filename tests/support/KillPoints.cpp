#include "support/KillPoints.h"
#include "store/FileOps.h"

namespace {
int g_allowed;
int g_calls;
bool g_fired;

BOOL CountCall(FileOpKind, void*)
{
    if (g_calls++ < g_allowed)
        return TRUE;
    g_fired = true;
    return FALSE;
}
}  // namespace

void KillSwitch::Arm(int k)
{
    g_allowed = k;
    g_calls = 0;
    g_fired = false;
    SetFileOpHook(CountCall, NULL);
}

void KillSwitch::Disarm() { SetFileOpHook(NULL, NULL); }

bool KillSwitch::Fired() { return g_fired; }

int ForEachKillPoint(const std::function<void()>& prepare, const std::function<void()>& operation,
                     const std::function<void(int)>& check, int limit)
{
    for (int k = 0; k < limit; ++k) {
        prepare();
        KillSwitch::Arm(k);
        operation();
        KillSwitch::Disarm();
        bool died = KillSwitch::Fired();
        check(k);
        if (!died)
            return k;
    }
    return limit;
}
