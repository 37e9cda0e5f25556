// Drives whole patrols without the frame: a hidden owner window stands in for
// the frame, a hidden list view holds the group rows, and a data folder of
// its own holds the group files. The road through the starter is in
// tests/frame/StarterHarness.h.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <string>
#include <vector>
#include "nntp/DownloadJob.h"
#include "support/ScriptedNntpServer.h"

struct GroupHeader {
    DWORD lastArticle;
    DWORD serverLast;
    DWORD recordCount;
    DWORD unreadCount;
    std::string stateText;   // bytes as stored, zero padding removed
};

class PatrolHarness {
public:
    PatrolHarness();
    ~PatrolHarness();

    // A group with an index header; no log yet.
    void AddGroup(const std::wstring& name, DWORD lastArticle = 0, DWORD serverLast = 0);
    // A row in the group view without any files behind it.
    void AddRow(const std::wstring& name) { rows_.push_back(name); }

    // The Pipelining setting of the passes that follow (0 unless set).
    void SetPipelining(DWORD pipelining) { pipelining_ = pipelining; }
    // The setting ConvertMime of the passes that follow.
    void SetConvertMime(bool on) { convertMime_ = on; }

    // The pass alone, on this thread, without dialog or frame: its result.
    DownloadResult RunDirect(unsigned short port, DWORD limit = 100, const char* userId = NULL,
                             const char* password = NULL, const wchar_t* server = L"127.0.0.1");

    const std::wstring& DataPath() const { return dataPath_; }
    std::string ReadFile(const std::wstring& name) const;   // whole file, "" when missing
    GroupHeader Header(const std::wstring& group) const;
    std::string Group(const std::wstring& group, const wchar_t* extension) const
    {
        return ReadFile(group + extension);
    }

protected:
    // A hidden owner window of `windowClass` (registered with `procedure`
    // on first use), and the list view of the rows in it.
    HWND MakeOwner(const wchar_t* windowClass, WNDPROC procedure);
    HWND MakeList(HWND owner);
    std::wstring dataPath_;
    std::vector<std::wstring> rows_;
    DWORD pipelining_ = 0;
    bool convertMime_ = false;
};

// Wide text as the ANSI code page bytes the store keeps.
std::string Ansi(const std::wstring& text);
// The header of a plain test article: "From: a@b" and "Subject: s<n>".
std::string Simple(unsigned n);
// "HEAD n"/"BODY n" ... as the client must send them for numbers first..last.
std::vector<std::string> ArticleCommands(unsigned first, unsigned last);
