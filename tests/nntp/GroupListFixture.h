// The group list fetch's fixture: a scripted server, and active.dat and
// category.dat in a folder of their own holding old contents.
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

class GroupListTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start());
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"pelora-grouplist-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(folder.c_str(), NULL);
        active = folder + L"active.dat";
        category = folder + L"category.dat";
        WriteBytes(active, "old.group\r\n");
        WriteBytes(category, "old\r\n");
    }
    void TearDown() override
    {
        DeleteFileW(active.c_str());
        DeleteFileW(category.c_str());
        RemoveDirectoryW(folder.c_str());
    }
    // Runs one fetch on this thread; the error text it ended with.
    std::wstring Fetch(const char* user = NULL, const char* password = NULL, DWORD port = 0)
    {
        GroupListJob* job = CreateGroupListJob(active.c_str(), category.c_str(), L"127.0.0.1",
                                               port ? port : server.Port(), user, password, NULL, 103, NULL);
        if (!job)
            return L"<no job>";
        BOOL ok = RunGroupListJob(job);
        std::wstring text = job->errorText;
        DestroyGroupListJob(job);
        EXPECT_EQ(ok != FALSE, text.empty()) << "success and error text disagree";
        return text;
    }
    void ExpectOldFilesKept()
    {
        EXPECT_EQ("old.group\r\n", ReadBytes(active));
        EXPECT_EQ("old\r\n", ReadBytes(category));
    }

    ScriptedNntpServer server;
    std::wstring folder, active, category;
};
