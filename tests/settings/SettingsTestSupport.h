// Helpers of the settings tests: a private registry for the process, a timer
// that acts on a modal dialog once it is open, a message pump with a limit.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

// Points HKEY_CURRENT_USER of this process at an emptied private key, so that
// test programs running side by side do not share settings or phone book.
void UsePrivateRegistry();
// Empties the private HKEY_CURRENT_USER.
void ClearPrivateRegistry();

// The visible top-level window of this thread with the given caption and
// dialog class, or none.
HWND FindThreadDialog(const wchar_t* caption);

// Calls `act(dialog)` once, from a thread timer, as soon as a dialog with the
// caption is open; used around a call that runs a modal dialog.
class WhenDialogOpens {
public:
    WhenDialogOpens(const wchar_t* caption, std::function<void(HWND)> act);
    ~WhenDialogOpens();
    bool Ran() const { return ran_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    std::wstring caption_;
    std::function<void(HWND)> act_;
    UINT_PTR timer_;
    bool ran_;
    bool running_;
    static WhenDialogOpens* current_;
};

// Dispatches this thread's messages until `done()` or `milliseconds` passed.
bool PumpUntil(std::function<bool()> done, DWORD milliseconds);
// Dispatches messages for `milliseconds`.
void PumpFor(DWORD milliseconds);

std::wstring WindowText(HWND window);
std::wstring ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const wchar_t* text);
void Click(HWND dialog, int id);
