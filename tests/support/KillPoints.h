// The program "dying" at its k-th file call: that call and every later one
// of the store's file layer do nothing. ForEachKillPoint runs an operation
// once for every k until it gets through without dying.
#pragma once
#include <functional>

class KillSwitch {
public:
    // Calls 0 .. k-1 go through, call k and all after it do nothing.
    static void Arm(int k);
    static void Disarm();
    static bool Fired();
};

// For k = 0, 1, ...: `prepare` (unarmed), `operation` (dying at call k),
// then `check(k)` (unarmed). Ends after the first run that did not die;
// returns how many kill points there were. Gives up past `limit`.
int ForEachKillPoint(const std::function<void()>& prepare, const std::function<void()>& operation,
                     const std::function<void(int)>& check, int limit = 2000);
