// Whole patrols that end well: what the client asks the server, and the
// exact bytes it leaves in each group's log and index.
#include <gtest/gtest.h>
#include "nntp/PatrolHarness.h"

namespace {

typedef std::vector<std::string> Lines;

// What the log holds for an article fetched with Simple() and body "b\r\n".
std::string SimpleBlock(unsigned n)
{
    return Simple(n) + "X-Local-Seq: " + std::to_string(n) + "\r\n\r\nb\r\n================\r\n";
}

Lines Concat(std::initializer_list<Lines> parts)
{
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(Patrol, StoresKeptFieldsDecodedAndBodiesUnstuffedWithTheirIndexRecord)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(10000));
    server.On("GROUP fj.test", "211 2 3001 3002 fj.test\r\n");
    server.AddArticle(3001,
        "Path: x!y\r\n"
        "From: Taro <taro@example.jp>\r\n"
        "Subject: =?ISO-2022-JP?B?GyRCJEYkOSRIGyhC?= and\r\n"
        " =?iso-2022-jp?B?GyRCJEYkOSRIGyhC?=\r\n"
        "X-Newsreader: reader 1.0\r\n"
        " (folded on)\r\n"
        "\tand again\r\n"
        "Newsgroups: fj.test\r\n"
        "Date: Sat, 5 Dec 2026 15:08:39 +0900\r\n"
        "Message-ID: <1@example.jp>\r\n"
        "References: <0@example.jp>\r\n"
        "Lines: 3\r\n",
        "\x1b$B$3$s$K$A$O\x1b(B\r\n"
        "..dotted\r\n");
    // 3002: an encoded-word with a mixed-case charset stays as it came.
    server.AddArticle(3002, "Subject: =?Iso-2022-Jp?B?GyRCJEYkOSRIGyhC?=\r\nFrom: b@c\r\n",
                      "..\r\n...x\r\n");

    PatrolHarness harness;
    harness.AddGroup(L"fj.test");
    DownloadResult result = harness.RunDirect(server.Port());

    ASSERT_EQ((DWORD)StatusOk, result.status);
    EXPECT_EQ(Concat({{"GROUP fj.test"}, ArticleCommands(3001, 3002), {"QUIT"}}), server.Commands());

    const std::string tesuto = "\x82\xc4\x82\xb7\x82\xc6";
    std::string first =
        "From: Taro <taro@example.jp>\r\n"
        "Subject: " + tesuto + " and" + tesuto + "\r\n"
        "Newsgroups: fj.test\r\n"
        "Date: Sat, 5 Dec 2026 15:08:39 +0900\r\n"
        "Message-ID: <1@example.jp>\r\n"
        "References: <0@example.jp>\r\n"
        "X-Local-Seq: 3001\r\n"
        "\r\n"
        "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\r\n"
        ".dotted\r\n"
        "================\r\n";
    std::string second =
        "Subject: =?Iso-2022-Jp?B?GyRCJEYkOSRIGyhC?=\r\n"
        "From: b@c\r\n"
        "X-Local-Seq: 3002\r\n"
        "\r\n"
        ".\r\n"
        "..x\r\n"
        "================\r\n";
    EXPECT_EQ(first + second, harness.Group(L"fj.test", L".log"));

    GroupHeader header = harness.Header(L"fj.test");
    EXPECT_EQ(3002u, header.lastArticle);
    EXPECT_EQ(3002u, header.serverLast);
    EXPECT_EQ(2u, header.recordCount);
    EXPECT_EQ(2u, header.unreadCount);
    EXPECT_EQ(Ansi(L"2件の記事を取得しました。"), header.stateText);

    std::string index = harness.Group(L"fj.test", L".idx");
    ASSERT_EQ(100u + 2 * 92u, index.size());
    std::string record = index.substr(100, 92);
    std::string expected(92, '\0');
    auto put = [&](size_t at, DWORD v) { memcpy(&expected[at], &v, 4); };
    put(0, 0);
    put(4, 3001);
    put(8, 0);
    put(12, (DWORD)first.size());
    std::string subject = tesuto + " and" + tesuto;
    memcpy(&expected[16], subject.data(), subject.size());
    memcpy(&expected[64], "1205", 4);
    memcpy(&expected[68], "Taro", 4);
    put(84, (DWORD)first.find(subject));
    put(88, (DWORD)subject.size());
    EXPECT_EQ(expected, record);
}

// Whatever the server sends, every stored line ends in exactly one CR LF and
// no header line can break into several: the index rebuild relies on it.
TEST(Patrol, StoredLinesKeepTheirStructure)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(10000));
    server.On("GROUP g.a", "211 1 7 7\r\n");
    server.AddArticle(7,
        "Subject: \x1b(I12\r\n"                                   // katakana up to the line end
        "From: =?ISO-2022-JP?B?YQ0KWC1Mb2NhbC1TZXE6IDkNCg0K?=\r\n"  // decodes to CR LF and a fake line
        "Date: =?ISO-2022-JP?B?YWJj?x\r\n"                          // the decoder drops the rest
        "..Stuffed: dropped\r\n"
        "Message-ID: <after@stuffed>\r\n",
        "\x1b(I1\r\n"
        "a\rb\n\r\n");
    PatrolHarness harness;
    harness.AddGroup(L"g.a");
    DownloadResult result = harness.RunDirect(server.Port());
    EXPECT_EQ((DWORD)StatusOk, result.status);
    EXPECT_EQ("Subject: \xb1\xb2\r\n"
              "From: a  X-Local-Seq: 9    \r\n"
              "Date: abc\r\n"
              "Message-ID: <after@stuffed>\r\n"
              "X-Local-Seq: 7\r\n"
              "\r\n"
              "\xb1\r\n"
              "a\rb\r\n"
              "\r\n"
              "================\r\n",
              harness.Group(L"g.a", L".log"));
    std::string index = harness.Group(L"g.a", L".idx");
    ASSERT_EQ(192u, index.size());
    DWORD number;
    memcpy(&number, &index[104], 4);
    EXPECT_EQ(7u, number);
}

TEST(Patrol, RangeRulesAcrossGroups)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(10000));
    // limit reached: 3001-3005 with limit 2
    server.On("GROUP g.limit", "211 5 3001 3005 g.limit\r\n");
    // renumbered: the device is past the server's end
    server.On("GROUP g.renumbered", "211 100 2901 3000 g.renumbered\r\n");
    // catch-up pending
    server.On("GROUP g.catchup", "211 3 10 12 g.catchup\r\n");
    // old last article below the server's first; 423 for one, refused BODY for another
    server.On("GROUP g.gaps", "211 4 20 23 g.gaps\r\n");
    // refused group, and the next one still follows
    server.On("GROUP g.missing", "411 no such group\r\n");
    server.On("GROUP g.nothing", "211 0 51 50 g.nothing\r\n");
    for (unsigned n = 3001; n <= 3005; ++n)
        server.AddArticle(n, Simple(n), "b\r\n");
    server.AddArticle(20, Simple(20), "b\r\n");
    server.On("HEAD 21", "423 no such article\r\n");
    server.On("HEAD 22", "221 22 <22@test>\r\n" + Simple(22) + ".\r\n");
    server.On("BODY 22", "423 gone meanwhile\r\n");
    server.AddArticle(23, Simple(23), "b\r\n");

    PatrolHarness harness;
    harness.AddGroup(L"g.limit");
    harness.AddGroup(L"g.renumbered", 5000, 5000);
    harness.AddGroup(L"g.catchup", 0xFFFFFFFF, 7);
    harness.AddGroup(L"g.gaps", 5, 5);
    harness.AddGroup(L"g.missing", 9, 9);
    harness.AddGroup(L"g.nothing", 50, 50);
    DownloadResult result = harness.RunDirect(server.Port(), 2);

    EXPECT_EQ(Concat({{"GROUP g.limit"}, ArticleCommands(3001, 3002),
                      {"GROUP g.renumbered", "GROUP g.catchup", "GROUP g.gaps",
                       "HEAD 20", "BODY 20", "HEAD 21", "HEAD 22", "BODY 22", "HEAD 23", "BODY 23",
                       "GROUP g.missing", "GROUP g.nothing", "QUIT"}}),
              server.Commands());

    GroupHeader limit = harness.Header(L"g.limit");
    EXPECT_EQ(3002u, limit.lastArticle);
    EXPECT_EQ(3005u, limit.serverLast);
    EXPECT_EQ(Ansi(L"制限数の2件の記事を取得しました。サーバには未取得の記事が残っています。").substr(0, 63),
              limit.stateText);
    EXPECT_EQ(SimpleBlock(3001) + SimpleBlock(3002), harness.Group(L"g.limit", L".log"));

    GroupHeader renumbered = harness.Header(L"g.renumbered");
    EXPECT_EQ(3000u, renumbered.lastArticle);
    EXPECT_EQ(3000u, renumbered.serverLast);
    EXPECT_EQ(Ansi(L"新規記事はありませんでした"), renumbered.stateText);

    GroupHeader catchup = harness.Header(L"g.catchup");
    EXPECT_EQ(12u, catchup.lastArticle);
    EXPECT_EQ(12u, catchup.serverLast);
    EXPECT_EQ(Ansi(L"新規記事はありませんでした"), catchup.stateText);

    // 21 and 22 do not count against the limit; 22's header block is gone.
    GroupHeader gaps = harness.Header(L"g.gaps");
    EXPECT_EQ(23u, gaps.lastArticle);
    EXPECT_EQ(2u, gaps.recordCount);
    EXPECT_EQ(Ansi(L"2件の記事を取得しました。"), gaps.stateText);
    EXPECT_EQ(SimpleBlock(20) + SimpleBlock(23), harness.Group(L"g.gaps", L".log"));

    GroupHeader missing = harness.Header(L"g.missing");
    EXPECT_EQ(9u, missing.lastArticle);
    EXPECT_EQ(9u, missing.serverLast);
    EXPECT_EQ(Ansi(L"グループへ移動できませんでした : 411 no such group"), missing.stateText);

    GroupHeader nothing = harness.Header(L"g.nothing");
    EXPECT_EQ(50u, nothing.lastArticle);
    EXPECT_EQ(Ansi(L"新規記事はありませんでした"), nothing.stateText);

    // The pass as a whole ended well.
    EXPECT_EQ((DWORD)StatusOk, result.status);
}

TEST(Patrol, NextPassContinuesAfterTheLimit)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(10000));
    server.On("GROUP g.a", "211 3 1 3 g.a\r\n");
    for (unsigned n = 1; n <= 3; ++n)
        server.AddArticle(n, Simple(n), "b\r\n");
    PatrolHarness harness;
    harness.AddGroup(L"g.a");
    harness.RunDirect(server.Port(), 2);
    DownloadResult second = harness.RunDirect(server.Port(), 2);
    EXPECT_EQ((DWORD)StatusOk, second.status);
    EXPECT_EQ(Concat({{"GROUP g.a"}, ArticleCommands(1, 2), {"QUIT", "GROUP g.a"},
                      ArticleCommands(3, 3), {"QUIT"}}),
              server.Commands());
    EXPECT_EQ(SimpleBlock(1) + SimpleBlock(2) + SimpleBlock(3), harness.Group(L"g.a", L".log"));
    EXPECT_EQ(3u, harness.Header(L"g.a").recordCount);
}

TEST(Patrol, NoGroupsStillGreetsAuthenticatesAndQuits)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(10000));
    server.On("authinfo user taro", "381 more\r\n");
    server.On("authinfo pass secret", "281 ok\r\n");
    PatrolHarness harness;
    DownloadResult result = harness.RunDirect(server.Port(), 10, "taro", "secret");
    EXPECT_EQ((DWORD)StatusOk, result.status);
    EXPECT_EQ(Lines({"authinfo user taro", "authinfo pass secret", "QUIT"}), server.Commands());
}

TEST(Patrol, NoAuthinfoWithoutAUserId)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(10000));
    PatrolHarness harness;
    harness.RunDirect(server.Port(), 10, NULL, "secret");
    EXPECT_EQ(Lines({"QUIT"}), server.Commands());
}

}  // namespace
