// Drives modal dialogs as a user would: each dialog that opens on this
// thread is handed to the next queued action, from a timer that runs inside
// the dialog's own message loop. A dialog with no action left is cancelled,
// so a test never blocks.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

class DialogDriver {
public:
    typedef std::function<void(HWND dialog)> Action;

    DialogDriver();
    ~DialogDriver();
    void Then(Action action) { actions_.push_back(action); }
    // Dialogs with this caption end by themselves (progress and the like):
    // they take no action, however soon they close.
    void Ignore(const wchar_t* caption) { ignored_.push_back(caption); }
    // Dialogs that opened with no action left (their captions).
    const std::vector<std::wstring>& Unexpected() const { return unexpected_; }
    size_t Handled() const { return next_; }

    // Small helpers for actions.
    static void SetText(HWND dialog, int id, const wchar_t* text);
    static std::wstring Text(HWND dialog, int id);
    static void Click(HWND dialog, int id);

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    static BOOL CALLBACK FindNewDialog(HWND window, LPARAM context);
    void Poll();

    std::vector<Action> actions_;
    std::vector<std::wstring> ignored_;
    std::vector<std::wstring> unexpected_;
    size_t next_;
    UINT_PTR timer_;
    static DialogDriver* current_;
};
