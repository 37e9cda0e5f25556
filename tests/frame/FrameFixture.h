// A real frame in the test process over a fresh data folder and cleared settings (HKCU is the test program's
// private key), with a message pump that translates the frame's accelerators as the program's loop does; and
// the same against a scripted news server for whole roads.
#pragma once
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "frame/GroupView.h"
#include "frame/MainFrame.h"
#include "settings/Settings.h"
#include "support/MessageBoxRecorder.h"
#include "support/RegistrySandbox.h"
#include "support/ScriptedNntpServer.h"
#include "support/StoreFiles.h"
#include "views/ArticleView.h"
#include "views/SubjectView.h"

struct TestArticle {
    std::string from;      // Shift_JIS bytes are made from these UTF-8 texts
    std::string subject;
    std::string body;      // lines joined by "\n"
};

typedef std::vector<std::wstring> Texts;

const std::vector<TestArticle> kThreeArticles = {
    {"山田 太郎 <taro@example.jp>", "最初の記事", "本文その一\n> 引用です"},
    {"佐藤 花子 <hanako@example.jp>", "二番目の記事", "本文その二"},
    {"鈴木 一郎 <ichiro@example.jp>", "三番目の記事", "本文その三"},
};

inline std::wstring SettingsKey(const wchar_t* subKey) { return std::wstring(kSettingsKey) + L"\\" + subKey; }

class FrameFixture : public testing::Test {
protected:
    FrameFixture();
    ~FrameFixture() override { Close(); }

    // Creates the frame and lets it settle; Close destroys it.
    MainFrame* Open()
    {
        frame = new MainFrame();
        EXPECT_TRUE(frame->Create(L"Pelora", GetModuleHandleW(NULL), SW_SHOW));
        Pump();
        return frame;
    }
    void Close();
    HWND List() { return frame->Groups()->List(); }
    void Command(UINT id) { SendMessageW(frame->Window(), WM_COMMAND, MAKEWPARAM(id, 0), 0); Pump(); }
    // Enter on the selected group (its subjects laid out), and on the selected subject.
    void OpenGroup() { Key(List(), VK_RETURN); frame->Subjects()->EnsureLayout(); }
    void OpenArticle() { Key(frame->Subjects()->Window(), VK_RETURN); }
    // The view is current, and it and its bar are the only ones shown.
    testing::AssertionResult ShowsOnly(UINT view);
    // The article view's text, empty when none is open.
    std::wstring ArticleText() { return frame->Text().Text() ? frame->Text().Text() : L""; }

    // The connection settings, so the first-start sheet is not shown.
    void WriteCompleteSettings(DWORD port = 119);

    // group.dat with these names; a log for each group that has articles
    // (the data initialisation rebuilds the index from it).
    void WriteGroups(const std::vector<std::string>& names);
    void WriteLog(const std::string& group, const std::vector<TestArticle>& articles);
    std::string ReadFileBytes(const std::string& name) { return ReadBytes(folder.File(Widen(name)), ""); }
    const std::wstring& DataPath() const { return folder.Path(); }

    // Runs the frame's message loop until no message is left.
    static void Pump();
    // Key down and up on `window` with the given modifiers held.
    static void Key(HWND window, UINT key, BOOL control = FALSE, BOOL alt = FALSE);
    // Every column of one row of the group list.
    Texts GroupRow(int row);
    static int ListRows(HWND list) { return (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0); }
    static bool Checked(HMENU menu, UINT id) { return GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED; }
    // The window's rectangle in the frame's client coordinates.
    RECT Placed(HWND window)
    {
        RECT rect;
        GetWindowRect(window, &rect);
        MapWindowPoints(NULL, frame->Window(), (POINT*)&rect, 2);
        return rect;
    }

    MessageBoxRecorder boxes;
    TempDataFolder folder;
    MainFrame* frame = NULL;
};

// A server started before the test and stopped after it.
class RoadFixture : public FrameFixture {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start(30000));
        server.On("QUIT", "205 bye\r\n");
    }
    void TearDown() override
    {
        Close();
        server.Stop();
    }
    ScriptedNntpServer server;
};
