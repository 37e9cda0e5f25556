// The group list fetch run on this thread, and its fixture: a scripted
// server, and active.dat and category.dat in a folder of their own holding
// old contents.
#pragma once
#include <winsock2.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "nntp/GroupListJob.h"
#include "support/ScriptedNntpServer.h"
#include "support/StoreFiles.h"

typedef std::vector<std::string> Lines;

const char kList[] =
    "fj.comp.lang.c 0000012345 0000010001 y\r\n"
    "japan.misc 10 1 y\r\n"
    "fj.rec\t5 1 m\r\n"
    "control\r\n"
    "\x93\xfa\x96\x7b.\x8c\xea 1 1 y\r\n";   // Shift_JIS bytes pass through
const char kActive[] = "fj.comp.lang.c\r\njapan.misc\r\nfj.rec\r\ncontrol\r\n\x93\xfa\x96\x7b.\x8c\xea\r\n";
const char kCategory[] = "fj\r\njapan\r\ncontrol\r\n\x93\xfa\x96\x7b\r\n";

// Runs one fetch from 127.0.0.1 into these files on this thread; the error
// text it ended with.
inline std::wstring FetchGroupList(const std::wstring& active, const std::wstring& category, DWORD port,
                                   const char* user = NULL, const char* password = NULL, DWORD security = 0,
                                   const wchar_t* fingerprint = NULL, DWORD compress = 0)
{
    GroupListJob* job = CreateGroupListJob(active.c_str(), category.c_str(), L"127.0.0.1", port, user, password,
                                           NULL, 103, NULL, security, fingerprint);
    if (!job)
        return L"<no job>";
    job->compress = compress;
    BOOL ok = RunGroupListJob(job);
    std::wstring text = job->errorText;
    DestroyGroupListJob(job);
    EXPECT_EQ(ok != FALSE, text.empty()) << "success and error text disagree";
    return text;
}

class GroupListTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start());
        WriteOldFiles();
    }
    void WriteOldFiles()
    {
        WriteBytes(active, "old.group\r\n");
        WriteBytes(category, "old\r\n");
    }
    std::wstring Fetch(const char* user = NULL, const char* password = NULL, DWORD port = 0, DWORD compress = 0)
    {
        return FetchGroupList(active, category, port ? port : server.Port(), user, password, 0, NULL, compress);
    }
    // Both files, and no temporary one beside them.
    void ExpectFiles(const std::string& activeBytes, const std::string& categoryBytes)
    {
        EXPECT_EQ(activeBytes, ReadBytes(active));
        EXPECT_EQ(categoryBytes, ReadBytes(category));
        EXPECT_FALSE(FileExists(active + L"~") || FileExists(category + L"~"));
    }
    void ExpectOldFilesKept() { ExpectFiles("old.group\r\n", "old\r\n"); }

    ScriptedNntpServer server;
    TempDataFolder folder;
    std::wstring active = folder.File(L"active.dat"), category = folder.File(L"category.dat");
};
