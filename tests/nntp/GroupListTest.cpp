// The group list fetch against the scripted server: the lines it sends, the
// exact bytes of active.dat and category.dat, and how each failure ends.
#include "nntp/GroupListFixture.h"
#include "store/DataFolder.h"
#include "support/KillPoints.h"

namespace {

// Each fetch replaces both files whole or leaves them as they were.
TEST_F(GroupListTest, RefusedListActiveFallsBackToListThenRefusedListKeepsTheFilesAndAnEmptyListEmptiesThem)
{
    server.On("LIST active", "500 what?\r\n");
    server.On("LIST", std::string("215 list follows\r\n") + kList + ".\r\n");
    server.On("LIST", "503 not now\r\n");
    server.On("LIST", "215 list follows\r\n.\r\n");
    EXPECT_EQ(L"", Fetch());
    EXPECT_EQ(Lines({"LIST active", "LIST"}), server.Commands());
    ExpectFiles(kActive, kCategory);
    EXPECT_EQ(L"サーバが予期せぬ応答をしました。:503 not now\r\n", Fetch());
    ExpectFiles(kActive, kCategory);
    EXPECT_EQ(L"", Fetch());
    ExpectFiles("", "");
}

TEST_F(GroupListTest, LogsInOnlyWithUserAndPasswordAndARefusedLoginKeepsTheFiles)
{
    server.On("authinfo user alice", "381 more\r\n");
    server.On("authinfo pass secret", "281 ok\r\n");
    server.On("authinfo pass wrong", "481 no way\r\n");
    server.On("authinfo user mallory", "482 who?\r\n");
    server.On("LIST active", "215 list follows\r\nfj.a 1 1 y\r\n.\r\n");
    EXPECT_EQ(L"", Fetch("alice", "secret"));
    EXPECT_EQ(L"", Fetch("alice", NULL));
    EXPECT_EQ(L"481 no way\r\n", Fetch("alice", "wrong"));
    EXPECT_EQ(L"482 who?\r\n", Fetch("mallory", "x"));
    EXPECT_EQ(Lines({"authinfo user alice", "authinfo pass secret", "LIST active", "LIST active",
                     "authinfo user alice", "authinfo pass wrong", "authinfo user mallory"}),
              server.Commands());
    EXPECT_EQ("fj.a\r\n", ReadBytes(active));
    EXPECT_EQ("fj\r\n", ReadBytes(category));
}

// Asked after the login (a server may refuse AUTHINFO once compressing):
// no CAPABILITIES, no offer among them, a refused COMPRESS, each read
// uncompressed; then deflated, one byte a send. Every fetch stores the list.
TEST_F(GroupListTest, CompressesAfterTheLoginOnlyWhenTheServerAgrees)
{
    const char offer[] = "101 list\r\nCOMPRESS DEFLATE\r\n.\r\n";
    for (const char* reply : {"500 what?\r\n", "480 log in first\r\n", "101 list\r\nXCOMPRESS DEFLATE\r\n.\r\n",
                              offer, offer})
        server.On("CAPABILITIES", reply);
    server.On("COMPRESS DEFLATE", "403 not now\r\n");
    server.On("COMPRESS DEFLATE", "502 no\r\n");
    server.OfferDeflate(1);
    server.On("authinfo user alice", "381 more\r\n");
    server.On("authinfo pass secret", "281 ok\r\n");
    server.On("LIST active", std::string("215 list follows\r\n") + kList + ".\r\n");
    Lines wire;
    for (int fetch = 0; fetch < 6; ++fetch) {
        EXPECT_EQ(L"", Fetch("alice", "secret", 0, 1)) << fetch;
        EXPECT_EQ(kActive, ReadBytes(active));
        wire.insert(wire.end(), {"authinfo user alice", "authinfo pass secret", "CAPABILITIES"});
        if (fetch >= 3)
            wire.push_back("COMPRESS DEFLATE");
        wire.push_back("LIST active");
    }
    EXPECT_EQ(wire, server.Commands());
}

// Connection failures, over-long lines, a list broken off and files that
// cannot be written: each keeps the old files; long names are kept whole.
TEST_F(GroupListTest, FailuresKeepTheOldFilesButLongNamesAreKeptWhole)
{
    server.SetGreeting("502 go away\r\n");
    EXPECT_EQ(L"Connection refused : 502 go away\r\n", Fetch());
    server.SetGreeting("", true);
    EXPECT_EQ(L"Recv fail: Can't connect to server", Fetch());
    server.SetGreeting("200 ready\r\n");
    EXPECT_EQ(L"Can't connect to server", Fetch(NULL, NULL, ScriptedNntpServer::UnusedPort()));
    ExpectOldFilesKept();

    std::string longName = "fj." + std::string(1010, 'x');       // 1013 bytes, line 1020 with CR LF
    std::string overlong = "japan." + std::string(1100, 'y');
    server.On("LIST active", "215 list follows\r\n" + longName + " 1 1 y\r\n" + "fj.b\r\n" + overlong +
                                 " 1 1 y\r\nfj.c 1 1 y\r\n.\r\n");
    server.On("LIST active", "215 list follows\r\nfj.a 1 1 y\r\njapan.b 1 1 y\r\n", true);
    server.On("LIST active", "215 list follows\r\n" + longName + " 1 1 y\r\nfj.b\r\n.\r\n");
    EXPECT_EQ(L"正常に受信できませんでした(234)", Fetch());
    EXPECT_EQ(L"正常に受信できませんでした(38)", Fetch());
    ExpectOldFilesKept();
    EXPECT_EQ(L"", Fetch());
    ExpectFiles(longName + "\r\nfj.b\r\n", "fj\r\n");
    // A folder where the new list must grow.
    ASSERT_TRUE(CreateDirectoryW((category + L"~").c_str(), NULL));
    EXPECT_EQ(L"Can't open category file(5)", Fetch());
    RemoveDirectoryW((category + L"~").c_str());
    ExpectFiles(longName + "\r\nfj.b\r\n", "fj\r\n");
    active = folder.File(L"no-such-folder\\active.dat");
    EXPECT_EQ(L"Can't open active file(3)", Fetch());
}

TEST_F(GroupListTest, AFetchDyingAtAnyFileCallLeavesTheOldListsOrTheNewAfterTheNextStart)
{
    server.On("LIST active", std::string("215 list follows\r\n") + kList + ".\r\n");
    int points = ForEachKillPoint(
        [&] { WriteOldFiles(); },
        [&] { Fetch(); },
        [&](int k) {
            SCOPED_TRACE(k);
            ASSERT_TRUE(InitializeDataFolder(folder.Path().c_str())) << GetLastError();
            std::string lists = ReadBytes(active) + "|" + ReadBytes(category);
            EXPECT_TRUE(lists == "old.group\r\n|old\r\n" || lists == std::string(kActive) + "|" + kCategory)
                << lists;
            EXPECT_FALSE(FileExists(active + L"~") || FileExists(category + L"~"));
        });
    EXPECT_GT(points, 6);
}

}  // namespace
