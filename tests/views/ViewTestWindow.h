// Test scaffolding for the views: a parent that records their notifications,
// a message pump, the default font, and group files written by the store.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "store/IndexRecord.h"

struct Notification {
    UINT id, code;
    HWND from;
};

class ViewTestWindow {
public:
    ViewTestWindow();   // 640 x 240, shown
    HWND Handle() const { return window_; }
    std::vector<Notification> notifications;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_;
};

// One parent for the whole program: top-level windows are slow under Wine.
ViewTestWindow& SharedTestWindow();
void PumpMessages();
HFONT MakeViewFont(int height);   // "Tahoma" by cell height, as the settings make it
void RegisterViewClasses();
std::string Sjis(const wchar_t* text);

struct TestArticle {
    std::string from, subject;   // ANSI code page
};
// "subject N" from "sender N", N from 0.
std::vector<TestArticle> NumberedArticles(int count);

// A data folder of its own, removed at the end.
class TestDataFolder {
public:
    TestDataFolder();
    ~TestDataFolder();
    const std::wstring& Path() const { return path_; }
    // Log and index through the ArticleWriter, after the filter file.
    bool WriteGroup(const wchar_t* group, const std::vector<TestArticle>& articles,
                    const std::string& filter = std::string());
    void WriteFile(const std::wstring& name, const void* data, DWORD size, DWORD offset = 0);
    // Records and unread count as the index file holds them.
    bool ReadIndex(const wchar_t* group, std::vector<IndexRecord>* records, DWORD* unread);

private:
    std::wstring path_;
};
