#include "nntp/PatrolHarness.h"
#include <commctrl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include "nntp/Patrol.h"
#include "store/GroupRecord.h"
#include "text/CodePage.h"

namespace {

const wchar_t kOwnerClass[] = L"PeloraPatrolTestOwner";

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + name + L"\\");
            else
                DeleteFileW((folder + name).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

DWORD Word(const std::string& bytes, size_t offset)
{
    if (bytes.size() < offset + 4)
        return 0xDEADBEEF;
    return (DWORD)(unsigned char)bytes[offset] | (DWORD)(unsigned char)bytes[offset + 1] << 8 |
           (DWORD)(unsigned char)bytes[offset + 2] << 16 | (DWORD)(unsigned char)bytes[offset + 3] << 24;
}

}  // namespace

std::string Ansi(const std::wstring& text)
{
    char* bytes = ToMultiByte(text.c_str());
    std::string result = bytes ? bytes : "";
    free(bytes);
    return result;
}

std::vector<std::string> ArticleCommands(unsigned first, unsigned last)
{
    std::vector<std::string> commands;
    for (unsigned n = first; n <= last; ++n) {
        commands.push_back("HEAD " + std::to_string(n));
        commands.push_back("BODY " + std::to_string(n));
    }
    return commands;
}

PatrolHarness::PatrolHarness()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int serial;
    dataPath_ = std::wstring(temp) + L"pelora-patrol-" + std::to_wstring(GetCurrentProcessId()) +
                L"-" + std::to_wstring(++serial) + L"\\";
    RemoveTree(dataPath_);
    CreateDirectoryW(dataPath_.c_str(), NULL);
}

PatrolHarness::~PatrolHarness()
{
    RemoveTree(dataPath_);
}

void PatrolHarness::AddGroup(const std::wstring& name, DWORD lastArticle, DWORD serverLast)
{
    GroupRecord group;
    group.Reset();
    ASSERT_TRUE(group.SetNames(dataPath_.c_str(), name.c_str()));
    group.Clear();
    group.SetLastArticle(lastArticle);
    group.SetServerLast(serverLast);
    ASSERT_TRUE(group.SetStateText(L"old"));
    ASSERT_TRUE(group.WriteHeader());
    group.Release();
    rows_.push_back(name);
}

HWND PatrolHarness::MakeList(HWND owner)
{
    HWND list = CreateWindowW(WC_LISTVIEWW, L"Group", WS_CHILD | LVS_REPORT, 0, 0, 200, 100,
                              owner, (HMENU)101, GetModuleHandleW(NULL), NULL);
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 100;
    column.pszText = (wchar_t*)L"name";
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, (LPARAM)&column);
    for (size_t i = 0; i < rows_.size(); ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = (int)i;
        item.pszText = (wchar_t*)rows_[i].c_str();
        SendMessageW(list, LVM_INSERTITEMW, 0, (LPARAM)&item);
    }
    return list;
}

HWND PatrolHarness::MakeOwner(const wchar_t* windowClass, WNDPROC procedure)
{
    WNDCLASSW known;
    if (!GetClassInfoW(GetModuleHandleW(NULL), windowClass, &known)) {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        WNDCLASSW owner = {};
        owner.lpfnWndProc = procedure;
        owner.hInstance = GetModuleHandleW(NULL);
        owner.lpszClassName = windowClass;
        RegisterClassW(&owner);
    }
    return CreateWindowW(windowClass, L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, NULL, NULL,
                         GetModuleHandleW(NULL), NULL);
}

DownloadResult PatrolHarness::RunDirect(unsigned short port, DWORD limit, const char* userId,
                                        const char* password, const wchar_t* server)
{
    HWND owner = MakeOwner(kOwnerClass, DefWindowProcW);
    HWND list = MakeList(owner);
    GroupCursor cursor;
    cursor.Init(list);
    DownloadResult result = {};
    DownloadJob job = {};
    job.server = server;
    job.port = port;
    job.dataPath = dataPath_.c_str();
    job.cursor = &cursor;
    job.result = &result;
    job.frameWindow = owner;
    job.limit = limit;
    job.pipelining = pipelining_;
    job.userId = userId;
    job.password = password;
    job.convertMime = convertMime_;
    InitProgressState(&job.progress);
    RunPatrol(&job);
    DestroyWindow(owner);
    return result;
}

std::string PatrolHarness::ReadFile(const std::wstring& name) const
{
    HANDLE file = CreateFileW((dataPath_ + name).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return "";
    std::string bytes;
    char chunk[4096];
    DWORD count;
    while (::ReadFile(file, chunk, sizeof chunk, &count, NULL) && count)
        bytes.append(chunk, count);
    CloseHandle(file);
    return bytes;
}

GroupHeader PatrolHarness::Header(const std::wstring& group) const
{
    std::string bytes = ReadFile(group + L".idx");
    GroupHeader header;
    EXPECT_GE(bytes.size(), 100u);
    EXPECT_EQ(5u, Word(bytes, 0));
    header.lastArticle = Word(bytes, 4);
    header.serverLast = Word(bytes, 8);
    header.recordCount = Word(bytes, 16);
    header.unreadCount = Word(bytes, 88);
    if (bytes.size() >= 88)
        header.stateText = std::string(bytes.c_str() + 24, strnlen(bytes.c_str() + 24, 64));
    return header;
}

std::string Simple(unsigned n)
{
    return "From: a@b\r\nSubject: s" + std::to_string(n) + "\r\n";
}
