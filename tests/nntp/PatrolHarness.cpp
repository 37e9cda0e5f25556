#include "nntp/PatrolHarness.h"
#include <commctrl.h>
#include <gtest/gtest.h>
#include "nntp/Patrol.h"
#include "support/TestWindow.h"

std::string Simple(unsigned n)
{
    return "From: a@b\r\nSubject: s" + std::to_string(n) + "\r\n";
}

void AddSimple(ScriptedNntpServer& server, unsigned n)
{
    server.AddArticle(n, Simple(n), "b" + std::to_string(n) + "\r\n..dot\r\n");
}

std::string SimpleBlock(unsigned n)
{
    return ArticleBlock("From: a@b\nSubject: s" + std::to_string(n), n, "b" + std::to_string(n) + "\n.dot");
}

void PatrolHarness::AddGroup(const std::wstring& name, DWORD lastArticle, DWORD serverLast)
{
    ASSERT_TRUE(WriteBytes(folder_.File(name + L".idx"),
                           IndexHeaderBytes(lastArticle, serverLast, 0, 0, 0, "old", 0, 0, 0)));
    rows_.push_back(name);
}

DownloadResult PatrolHarness::RunDirect(unsigned short port, DWORD limit, const char* userId,
                                        const char* password)
{
    HWND owner = MakeTestWindow(L"PeloraPatrolTestOwner", DefWindowProcW);
    HWND list = CreateWindowW(WC_LISTVIEWW, L"Group", WS_CHILD | LVS_REPORT, 0, 0, 200, 100,
                              owner, (HMENU)101, GetModuleHandleW(NULL), NULL);
    for (size_t i = 0; i < rows_.size(); ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = (int)i;
        item.pszText = (wchar_t*)rows_[i].c_str();
        SendMessageW(list, LVM_INSERTITEMW, 0, (LPARAM)&item);
    }
    GroupCursor cursor;
    cursor.Init(list);
    DownloadResult result = {};
    DownloadJob job = {};
    job.server = L"127.0.0.1";
    job.port = port;
    job.dataPath = DataPath().c_str();
    job.cursor = &cursor;
    job.result = &result;
    job.frameWindow = owner;
    job.limit = limit;
    job.pipelining = pipelining_;
    job.userId = userId;
    job.password = password;
    job.convertMime = convertMime_;
    job.compress = compress_;
    job.security = security_;
    job.tlsFingerprint = fingerprint_.c_str();
    job.poster = poster_;
    InitProgressState(&job.progress);
    RunPatrol(&job);
    posted_ = job.posted;
    refused_ = job.refused;
    DestroyWindow(owner);
    return result;
}
