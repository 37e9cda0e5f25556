// The demo news server (tools/demonews) as the reader meets it: its sample
// spool through our connection and group list fetch, its login, the dot
// stuffing of bodies, long command lines, and articles added while it runs.
// Skipped when demonews.exe has not been built next to this program.
#include <gtest/gtest.h>
#include <string.h>
#include <algorithm>
#include "nntp/GroupListFixture.h"
#include "ReaderSession.h"
#include "support/RealProgram.h"

namespace {

// The sample spool of the source tree, through the host's Z: drive.
std::wstring SampleSpool()
{
    std::string source = __FILE__;   // .../tests/nntp/DemoNewsTest.cpp
    std::string root = source.substr(0, source.rfind("/tests/"));
    std::wstring spool = L"Z:" + std::wstring(root.begin(), root.end()) + L"/tools/demonews/spool";
    std::replace(spool.begin(), spool.end(), L'/', L'\\');
    return spool;
}

class DemoNewsTest : public testing::Test {
protected:
    void SetUp() override
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        tool = ProgramPath();
        tool = tool.substr(0, tool.rfind(L'\\')) + L"\\tools\\demonews.exe";
        if (GetFileAttributesW(tool.c_str()) == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "demonews.exe not built";
    }
    void StartServer(const std::wstring& spool, const std::wstring& login = L"")
    {
        port = ScriptedNntpServer::UnusedPort();
        std::wstring arguments = L"-p " + std::to_wstring(port) + L" -s \"" + spool + L"\" " + login;
        ASSERT_TRUE(Start(tool, &server.info, arguments, CREATE_NO_WINDOW));
        ASSERT_EQ("200", news.Open(port, 200).substr(0, 3));
    }
    std::wstring tool;
    TempDataFolder scratch;
    StartedCopy server;
    unsigned short port = 0;
    ReaderSession news;
};

TEST_F(DemoNewsTest, SampleSpoolBehindItsLoginListsThreeGroupsAndStuffsDotsInBodies)
{
    StartServer(SampleSpool(), L"-u demo -w pelora");
    EXPECT_EQ("500 command not recognized", news.Ask("ARTICLE 1"));
    EXPECT_EQ("480 authentication required", news.Ask("LIST"));
    std::wstring active = scratch.File(L"active.dat"), category = scratch.File(L"category.dat");
    EXPECT_EQ(L"481 authentication failed\r\n", FetchGroupList(active, category, port, "demo", "nope"));
    ASSERT_EQ(L"", FetchGroupList(active, category, port, "demo", "pelora"));
    std::string list = ReadBytes(active);
    for (const char* group : {"japan.comp.handheld\r\n", "japan.comp.misc\r\n", "fj.rec.travel\r\n"})
        EXPECT_NE(std::string::npos, list.find(group)) << group;
    EXPECT_EQ(strlen("japan.comp.handheld\r\njapan.comp.misc\r\nfj.rec.travel\r\n"), list.size());

    EXPECT_EQ("381 password required", news.Ask("authinfo user demo"));
    EXPECT_EQ("281 authentication accepted", news.Ask("authinfo pass pelora"));
    // A wildmat list: the last pattern that matches decides.
    ASSERT_EQ("215", news.Ask("LIST ACTIVE japan.*,!japan.comp.misc,fj.rec.travel").substr(0, 3));
    std::vector<std::string> listed = news.ReadList();
    std::sort(listed.begin(), listed.end());
    ASSERT_EQ(2u, listed.size());
    EXPECT_EQ(0u, listed[0].find("fj.rec.travel "));
    EXPECT_EQ("japan.comp.handheld 0000003014 0000003001 y\r\n", listed[1]);
    EXPECT_EQ("211 13 3001 3014 japan.comp.handheld", news.Ask("group japan.comp.handheld"));
    EXPECT_EQ("423", news.Ask("HEAD 3006").substr(0, 3));   // a hole in the numbering
    ASSERT_EQ("222", news.Ask("body 3007").substr(0, 3));
    std::vector<std::string> body = news.ReadList();
    ASSERT_EQ(7u, body.size());
    EXPECT_EQ("..", body[5].substr(0, 2));                 // a line that began with "."
    EXPECT_EQ("...", body[6].substr(0, 3));                // and one that began with ".."
    EXPECT_EQ("205 closing connection", news.Ask("QUIT"));
}

TEST_F(DemoNewsTest, ArticlesCopiedInShowUpAtTheNextGroupAndLongLinesAreRefused)
{
    std::wstring folder = scratch.File(L"fj.test\\");
    CreateDirectoryW(folder.c_str(), NULL);
    WriteBytes(folder + L"5", "Subject: five\nMessage-ID: <5@x>\n\nbody\n");
    StartServer(scratch.Path().substr(0, scratch.Path().size() - 1));
    EXPECT_EQ("211 1 5 5 fj.test", news.Ask("GROUP fj.test"));
    WriteBytes(folder + L"6", "Subject: six\r\n\r\n.\r\n");
    EXPECT_EQ("211 2 5 6 fj.test", news.Ask("GROUP fj.test"));
    ASSERT_EQ("222 6 <0> body", news.Ask("BODY 6"));
    EXPECT_EQ(std::vector<std::string>({"..\r\n"}), news.ReadList());
    ASSERT_EQ("221 5 <5@x> head", news.Ask("HEAD 5"));             // LF-only file, CR LF on the wire
    EXPECT_EQ(std::vector<std::string>({"Subject: five\r\n", "Message-ID: <5@x>\r\n"}), news.ReadList());
    EXPECT_EQ("501 command line too long", news.Ask(std::string(3000, 'X')));
    EXPECT_EQ("411 no such group", news.Ask("GROUP ..\\fj.test"));
    EXPECT_EQ("211 2 5 6 fj.test", news.Ask("GROUP fj.test"));     // still serving

    // A post is filed as the next number, dot-unstuffed, with a Path and a
    // Date; sent again it is a duplicate; STAT finds it by its Message-ID.
    const std::vector<std::string> post = {"From: a@b", "Newsgroups: fj.test, fj.none", "Subject: p",
                                           "Message-ID: <p@x>", "", ".dot", "end"};
    EXPECT_EQ("240 article posted ok", news.Post(post));
    EXPECT_EQ("441 435 Duplicate", news.Post(post));
    EXPECT_EQ("441 no such newsgroup", news.Post({"Newsgroups: fj.none", "Message-ID: <q@x>", "", "b"}));
    EXPECT_EQ("223 0 <p@x>", news.Ask("STAT <p@x>"));
    EXPECT_EQ("430 no such article", news.Ask("STAT <q@x>"));
    EXPECT_EQ("211 3 5 7 fj.test", news.Ask("GROUP fj.test"));
    std::string filed = ReadBytes(folder + L"7");
    EXPECT_EQ(0u, filed.find("Path: demonews!not-for-mail\r\nDate: "));
    EXPECT_NE(std::string::npos, filed.find("\r\nFrom: a@b\r\nNewsgroups: fj.test, fj.none\r\nSubject: p\r\n"
                                            "Message-ID: <p@x>\r\n\r\n.dot\r\nend\r\n"));
}

}  // namespace
