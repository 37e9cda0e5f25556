// Test scaffolding for the views: a parent that records their notifications,
// the default font, and group files written by the store.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "store/IndexRecord.h"
#include "support/DialogDriver.h"
#include "support/StoreFiles.h"

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
inline void PumpMessages() { DialogDriver::PumpFor(0); }
HFONT MakeViewFont(int height);   // "Tahoma" by cell height, as the settings make it
void RegisterViewClasses();

// What the view tests share: the parent, a 14-pixel font, keys and scroll
// messages sent to the view, and the notification codes it sent as `id`.
class ViewTest : public testing::Test {
protected:
    explicit ViewTest(UINT id) : id_(id) {}
    void SetUp() override
    {
        RegisterViewClasses();
        font_ = MakeViewFont(14);
        parent_.notifications.clear();
    }
    void TearDown() override { DeleteObject(font_); }
    virtual HWND View() = 0;
    void Key(WPARAM key, bool paint = true)
    {
        SendMessageW(View(), WM_KEYDOWN, key, 0);
        if (paint)
            UpdateWindow(View());
    }
    void Scroll(WORD code, WORD position = 0)
    {
        SendMessageW(View(), WM_VSCROLL, MAKEWPARAM(code, position), 0);
        UpdateWindow(View());
    }
    std::vector<UINT> Codes()
    {
        std::vector<UINT> codes;
        for (const Notification& n : parent_.notifications) {
            EXPECT_TRUE(n.id == id_ && n.from == View());
            codes.push_back(n.code);
        }
        parent_.notifications.clear();
        return codes;
    }
    ViewTestWindow& parent_ = SharedTestWindow();
    HFONT font_ = NULL;
    UINT id_;
};

struct TestArticle {
    std::string from, subject;   // ANSI code page
};
// "subject N" from "sender N", N from 0.
std::vector<TestArticle> NumberedArticles(int count);

class TestDataFolder : public TempDataFolder {
public:
    // Log and index through the ArticleWriter, after the filter file.
    bool WriteGroup(const wchar_t* group, const std::vector<TestArticle>& articles,
                    const std::string& filter = std::string());
    // Records and unread count as the index file holds them.
    bool ReadIndex(const wchar_t* group, std::vector<IndexRecord>* records, DWORD* unread);
};
