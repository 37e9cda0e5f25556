// A real frame in the test process: its own registry branch (HKCU is
// the test program's private key), a fresh data folder,
// and a message pump that translates the frame's accelerators as the
// program's loop does.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct TestArticle {
    std::string from;      // Shift_JIS bytes are made from these UTF-8 texts
    std::string subject;
    std::string body;      // lines joined by "\r\n"
};

class FrameFixture {
public:
    FrameFixture();
    ~FrameFixture();

    // Writes the connection settings, so the first-start sheet is not shown.
    void WriteCompleteSettings(const std::wstring& server = L"127.0.0.1", DWORD port = 119, DWORD limit = 50);
    void SetDword(const wchar_t* subKey, const wchar_t* name, DWORD value);
    void SetString(const wchar_t* subKey, const wchar_t* name, const std::wstring& value);
    // The value, or `missing` when it cannot be read.
    DWORD GetDword(const wchar_t* subKey, const wchar_t* name, DWORD missing = 0xDEADBEEF);

    // group.dat with these names; a log for each group that has articles
    // (the data initialisation rebuilds the index from it).
    void WriteGroups(const std::vector<std::string>& names);
    void WriteLog(const std::string& group, const std::vector<TestArticle>& articles);
    std::string ReadFileBytes(const std::string& name);
    const std::wstring& DataPath() const { return dataPath_; }

    // Runs the frame's message loop until no message is left.
    static void Pump();
    // Key down and up on `window` with the given modifiers held.
    static void Key(HWND window, UINT key, BOOL control = FALSE, BOOL alt = FALSE);
    static std::wstring ListText(HWND list, int row, int column);
    static int ListRows(HWND list);
    static int ListSelection(HWND list);
    static std::wstring ClipboardText();

private:
    std::wstring dataPath_;
};

std::string ToSjis(const std::string& utf8);
std::wstring Widen(const std::string& utf8);
