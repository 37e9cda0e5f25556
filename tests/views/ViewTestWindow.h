// Test scaffolding for the views: a parent window that records the views'
// notifications, a message pump, a Japanese-capable font, and group files
// written through the store's own writer.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct Notification {
    UINT id;
    UINT code;
    HWND from;
};

class ViewTestWindow {
public:
    // A top-level window of `width` x `height` client pixels, shown.
    ViewTestWindow(int width = 640, int height = 240);
    ~ViewTestWindow();
    HWND Handle() const { return window_; }
    const std::vector<Notification>& Notifications() const { return notifications_; }
    void ClearNotifications() { notifications_.clear(); }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_;
    std::vector<Notification> notifications_;
};

// One parent for every test of the program: top-level windows are slow to
// make under Wine.
ViewTestWindow& SharedTestWindow();
// Handles every pending message, paints included.
void PumpMessages();
// The font the settings make by default: "Tahoma" by cell height.
HFONT MakeViewFont(int height);
// Registers both view classes once per process.
void RegisterViewClasses();

// One article for a test group, in the ANSI code page.
struct TestArticle {
    std::string from;
    std::string subject;
    std::string date;     // the Date header text
    std::string body;     // CR LF separated lines, CR LF at the end
};

// A data folder of its own, removed with everything in it at the end.
class TestDataFolder {
public:
    TestDataFolder();
    ~TestDataFolder();
    const std::wstring& Path() const { return path_; }   // ends with a backslash
    // Writes the group's log and index through the ArticleWriter; a filter
    // file is written first when `filter` is not empty ("+ key\r\n" lines).
    bool WriteGroup(const wchar_t* group, const std::vector<TestArticle>& articles,
                    const std::string& filter = std::string());
    // The records and header counters as stored in the group's index.
    bool ReadIndex(const wchar_t* group, std::vector<struct IndexRecord>* records,
                   DWORD* unreadCount);

private:
    std::wstring path_;
};

// Narrow (UTF-8 source) to the ANSI code page.
std::string Sjis(const wchar_t* text);
// Numbered articles "subject N" from "sender N".
std::vector<TestArticle> NumberedArticles(int count);
