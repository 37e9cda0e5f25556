// Whole patrols without the frame: a hidden owner window and list view of
// the group rows, and a data folder of its own for the group files.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <string>
#include <vector>
#include "nntp/DownloadJob.h"
#include "support/ScriptedNntpServer.h"
#include "support/StoreFiles.h"

class PatrolHarness {
public:
    // A group with an index header; no log yet.
    void AddGroup(const std::wstring& name, DWORD lastArticle = 0, DWORD serverLast = 0);
    // A row in the group view without any files behind it.
    void AddRow(const std::wstring& name) { rows_.push_back(name); }
    // The settings Pipelining, ConvertMime and Compress of the passes that follow.
    void SetPipelining(DWORD pipelining) { pipelining_ = pipelining; }
    void SetConvertMime(bool on) { convertMime_ = on; }
    void SetCompress(DWORD on) { compress_ = on; }
    // The settings Security and TlsFingerprint.
    void SetSecurity(DWORD security, const std::wstring& fingerprint = L"")
    {
        security_ = security;
        fingerprint_ = fingerprint;
    }

    // The poster settings of the passes that follow (borrowed).
    void SetPoster(const Poster& poster) { poster_ = poster; }
    // What the last pass posted and saw refused.
    DWORD Posted() const { return posted_; }
    DWORD Refused() const { return refused_; }

    // The pass alone, on this thread, without dialog or frame: its result.
    DownloadResult RunDirect(unsigned short port, DWORD limit = 100, const char* userId = NULL,
                             const char* password = NULL);

    const std::wstring& DataPath() const { return folder_.Path(); }
    // A whole file of the data folder, "" when missing.
    std::string File(const std::wstring& name) const { return ReadBytes(folder_.File(name), ""); }
    std::string Group(const std::wstring& group, const wchar_t* extension) const { return File(group + extension); }

private:
    TempDataFolder folder_;
    std::vector<std::wstring> rows_;
    DWORD pipelining_ = 0;
    bool convertMime_ = false;
    DWORD compress_ = 0;
    DWORD security_ = 0;
    std::wstring fingerprint_;
    Poster poster_ = {};
    DWORD posted_ = 0, refused_ = 0;
};

// The header of a plain test article: "From: a@b" and "Subject: s<n>".
std::string Simple(unsigned n);
// Article n with Simple(n) and the body "b<n>", "..dot"; the block the
// patrol stores for it.
void AddSimple(ScriptedNntpServer& server, unsigned n);
std::string SimpleBlock(unsigned n);
