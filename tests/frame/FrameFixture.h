// A real frame in the test process over a fresh data folder and cleared
// settings (HKCU is the test program's private key), with a message pump
// that translates the frame's accelerators as the program's loop does.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "frame/GroupView.h"
#include "frame/MainFrame.h"
#include "support/MessageBoxRecorder.h"
#include "support/StoreFiles.h"
#include "views/ArticleView.h"
#include "views/SubjectView.h"

struct TestArticle {
    std::string from;      // Shift_JIS bytes are made from these UTF-8 texts
    std::string subject;
    std::string body;      // lines joined by "\n"
};

class FrameFixture : public testing::Test {
protected:
    FrameFixture();
    ~FrameFixture() override { Close(); }

    // Creates the frame and lets it settle; Close destroys it.
    MainFrame* Open();
    void Close();
    HWND List() { return frame->Groups()->List(); }
    void Command(UINT id);

    // The connection settings, so the first-start sheet is not shown.
    void WriteCompleteSettings(DWORD port = 119);
    // Values in the settings' key or a sub-key of it (`missing` when absent).
    void SetDword(const wchar_t* subKey, const wchar_t* name, DWORD value);
    void SetString(const wchar_t* subKey, const wchar_t* name, const std::wstring& value);
    DWORD GetDword(const wchar_t* subKey, const wchar_t* name);

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
    static std::wstring ListText(HWND list, int row, int column);
    static int ListRows(HWND list) { return (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0); }
    static int ListSelection(HWND list) { return (int)SendMessageW(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED); }
    static std::wstring ClipboardText();

    MessageBoxRecorder boxes;
    TempDataFolder folder;
    MainFrame* frame = NULL;
};
