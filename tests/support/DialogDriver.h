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
    void Then(Action action) { Then(L"", action); }
    // An action for the next dialog with this caption; dialogs with other
    // captions are left alone while it waits.
    void Then(const wchar_t* caption, Action action);
    // Dialogs with this caption end by themselves (progress and the like):
    // they take no action, however soon they close.
    void Ignore(const wchar_t* caption) { ignored_.push_back(caption); }
    // Dialogs that opened with no action left (their captions).
    const std::vector<std::wstring>& Unexpected() const { return unexpected_; }
    size_t Handled() const { return next_; }
    // Every queued action has had its dialog.
    bool Done() const { return next_ == actions_.size(); }

    // Small helpers for actions.
    static void SetText(HWND dialog, int id, const wchar_t* text);
    static std::wstring Text(HWND dialog, int id);
    static void Click(HWND dialog, int id);
    // The texts of a combo box's list.
    static std::vector<std::wstring> ComboItems(HWND combo);
    // Selects the row with `text` in the dialog's list view `listId` and
    // double-taps it, as the list view reports that; false when no row has it.
    static bool DoubleTap(HWND dialog, int listId, const wchar_t* text);
    // The visible dialog of this thread with the caption, or none.
    static HWND Find(const wchar_t* caption);
    // Dispatches this thread's messages until `done()` or `milliseconds` passed.
    static bool PumpUntil(std::function<bool()> done, DWORD milliseconds);
    static void PumpFor(DWORD milliseconds);

private:
    struct Queued {
        std::wstring caption;   // empty: any dialog
        Action action;
    };
    struct Search;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    static BOOL CALLBACK FindNewDialog(HWND window, LPARAM context);
    static BOOL CALLBACK FindCaption(HWND window, LPARAM context);
    bool Ignored(const wchar_t* caption) const;
    void Poll();

    std::vector<Queued> actions_;
    std::vector<std::wstring> ignored_;
    std::vector<std::wstring> unexpected_;
    size_t next_;
    UINT_PTR timer_;
    DialogDriver* previous_;   // a driver made inside an action hands back
    static DialogDriver* current_;
};
