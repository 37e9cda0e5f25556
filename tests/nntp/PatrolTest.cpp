// Whole patrols that end well: what the client asks the server, and the
// exact bytes it leaves in each group's log and index.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <algorithm>
#include "nntp/PatrolHarness.h"
#include "store/FileOps.h"

namespace {

typedef std::vector<std::string> Lines;

// 3003: whatever the server sends, every stored line ends in exactly one
// CR LF and no header line can break into several: the index rebuild relies
// on it.
TEST(Patrol, StoresKeptFieldsDecodedAndBodiesUnstuffedWithTheirIndexRecord)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(10000));
    server.On("GROUP fj.test", "211 3 3001 3003 fj.test\r\n");
    server.AddArticle(3001,
        "From: Taro <taro@example.jp>\r\n"
        "Subject: =?ISO-2022-JP?B?GyRCJEYkOSRIGyhC?= and\r\n"
        " =?iso-2022-jp?B?GyRCJEYkOSRIGyhC?=\r\n"
        "X-Newsreader: reader 1.0\r\n"
        " (folded on)\r\n"
        "\tand again\r\n"
        "Newsgroups: fj.test\r\n"
        "Date: Sat, 5 Dec 2026 15:08:39 +0900\r\n"
        "Message-ID: <1@example.jp>\r\n"
        "References: <0@example.jp>\r\n",
        "\x1b$B$3$s$K$A$O\x1b(B\r\n"
        "..dotted\r\n");
    // 3002: an encoded-word with a mixed-case charset stays as it came.
    server.AddArticle(3002, "Subject: =?Iso-2022-Jp?B?GyRCJEYkOSRIGyhC?=\r\nFrom: b@c\r\n",
                      "..\r\n...x\r\n");
    server.AddArticle(3003,
        "Subject: \x1b(I12\r\n"                                   // katakana up to the line end
        "From: =?ISO-2022-JP?B?YQ0KWC1Mb2NhbC1TZXE6IDkNCg0K?=\r\n"  // decodes to CR LF and a fake line
        "Date: =?ISO-2022-JP?B?YWJj?x\r\n"                          // the decoder drops the rest
        "..Stuffed: dropped\r\n"
        "Message-ID: <after@stuffed>\r\n",
        "\x1b(I1\r\n"
        "a\rb\n\r\n");

    PatrolHarness harness;
    harness.AddGroup(L"fj.test");
    // A thread file of another pass is brought up to the new articles.
    ASSERT_TRUE(WriteBytes(harness.DataPath() + L"fj.test.thr", "stale"));
    DownloadResult result = harness.RunDirect(server.Port());

    ASSERT_EQ((DWORD)StatusOk, result.status);
    EXPECT_EQ(Lines({"GROUP fj.test", "HEAD 3001", "BODY 3001", "HEAD 3002", "BODY 3002", "HEAD 3003",
                     "BODY 3003", "QUIT"}),
              server.Commands());

    const std::string subject = "\x82\xc4\x82\xb7\x82\xc6 and\x82\xc4\x82\xb7\x82\xc6";
    std::string first = ArticleBlock("From: Taro <taro@example.jp>\nSubject: " + subject + "\n"
                                     "Newsgroups: fj.test\nDate: Sat, 5 Dec 2026 15:08:39 +0900\n"
                                     "Message-ID: <1@example.jp>\nReferences: <0@example.jp>",
                                     3001, "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\n.dotted");
    std::string second = ArticleBlock("Subject: =?Iso-2022-Jp?B?GyRCJEYkOSRIGyhC?=\nFrom: b@c", 3002, ".\n..x");
    std::string third = ArticleBlock("Subject: \xb1\xb2\nFrom: a  X-Local-Seq: 9    \nDate: abc\n"
                                     "Message-ID: <after@stuffed>",
                                     3003, "\xb1\na\rb\n\n");
    EXPECT_EQ(first + second + third, harness.Group(L"fj.test", L".log"));

    std::string index = harness.Group(L"fj.test", L".idx");
    ASSERT_EQ(100u + 3 * 92u, index.size());
    EXPECT_EQ(IndexHeaderBytes(3003, 3003, 0, 3, 0, Sjis(L"3件の記事を取得しました。"), 3, 0, 0) +
                  IndexRecordBytes(0, 3001, 0, (DWORD)first.size(), subject, "1205", "Taro",
                                   (DWORD)first.find(subject), (DWORD)subject.size()),
              index.substr(0, 100 + 92));
    std::string threads = harness.Group(L"fj.test", L".thr");
    ASSERT_EQ(32u + 3 * 32, threads.size());
    EXPECT_EQ(3u, WordAt(threads, 8));
    EXPECT_EQ((first + second + third).size(), WordAt(threads, 12));
}

// One command at a time and pipelined (the Pipelining setting).
class RangeRulesTest : public testing::TestWithParam<DWORD> {};

// The range rules group by group: g.limit (3001-3005) stops at the limit;
// g.renumbered (2901-3000) where the device is past the server's end;
// g.catchup (10-12) with a catch-up pending; g.short to g.odd answer GROUP
// malformed, are skipped and keep their numbers; g.gaps (20-23) below the
// server's first, HEAD 21 and BODY 22 refused and not counted against the
// limit (22's header block is gone); g.missing refused, and the next group
// follows; g.nothing empty, its log unmarked by any pass and its index with
// a slot a power cut zeroed; g.gone (30) refuses its one article.
TEST_P(RangeRulesTest, AcrossGroups)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(10000));
    server.On("GROUP g.limit", "211 5 3001 3005 g.limit\r\n");
    server.On("GROUP g.renumbered", "211 100 2901 3000 g.renumbered\r\n");
    server.On("GROUP g.catchup", "211 3 10 12 g.catchup\r\n");
    server.On("GROUP g.short", "211 52 3001\r\n");
    server.On("GROUP g.huge", "211 1 3001 99999999999 g.huge\r\n");
    server.On("GROUP g.max", "211 1 3001 4294967295 g.max\r\n");
    server.On("GROUP g.odd", "2xx what\r\n");
    server.On("GROUP g.gaps", "211 4 20 23 g.gaps\r\n");
    server.On("GROUP g.missing", "411 no such group\r\n");
    server.On("GROUP g.nothing", "211 0 51 50 g.nothing\r\n");
    server.On("GROUP g.gone", "211 1 30 30 g.gone\r\n");
    server.On("HEAD 30", "423 no such article\r\n");
    for (unsigned n : {3001u, 3002u, 3003u, 3004u, 3005u, 20u, 23u})
        AddSimple(server, n);
    server.On("HEAD 21", "423 no such article\r\n");
    server.On("HEAD 22", "221 22 <22@test>\r\n" + Simple(22) + ".\r\n");
    server.On("BODY 22", "423 gone meanwhile\r\n");
    const wchar_t* noNews = L"新規記事はありませんでした";
    struct { const wchar_t* group; DWORD lastBefore, serverLastBefore, last, serverLast, records; const wchar_t* state; }
    groups[] = {
        {L"g.limit", 0, 0, 3002, 3005, 2, L"制限数の2件の記事を取得しました。サーバには未取得の記事が残っています。"},
        {L"g.renumbered", 5000, 5000, 3000, 3000, 0, noNews},
        {L"g.catchup", 0xFFFFFFFF, 7, 12, 12, 0, noNews},
        {L"g.short", 3000, 3000, 3000, 3000, 0, L"予期せぬ文字列が返りました : 211 52 3001"},
        {L"g.huge", 3000, 3000, 3000, 3000, 0, L"予期せぬ文字列が返りました : 211 1 3001 99999999999 g.huge"},
        {L"g.max", 3000, 3000, 3000, 3000, 0, L"予期せぬ文字列が返りました : 211 1 3001 4294967295 g.max"},
        {L"g.odd", 3000, 3000, 3000, 3000, 0, L"予期せぬ文字列が返りました : 2xx what"},
        {L"g.gaps", 5, 5, 23, 23, 2, L"2件の記事を取得しました。"},
        {L"g.missing", 9, 9, 9, 9, 0, L"グループへ移動できませんでした : 411 no such group"},
        {L"g.nothing", 50, 50, 50, 50, 0, noNews},
        {L"g.gone", 0, 0, 30, 30, 0, L"0件の記事を取得しました。"},
    };
    PatrolHarness harness;
    for (const auto& g : groups)
        harness.AddGroup(g.group, g.lastBefore, g.serverLastBefore);
    ASSERT_TRUE(WriteBytes(harness.DataPath() + L"g.nothing.log", "kept\r\n"));
    ASSERT_TRUE(WriteBytes(harness.DataPath() + L"g.nothing.idx",
                           IndexHeaderBytes(50, 50, 0, 0, 0, "", 0, 0, 0) + std::string(92, '\0')));
    harness.SetPipelining(GetParam());
    DownloadResult result = harness.RunDirect(server.Port(), 2);
    EXPECT_EQ((DWORD)StatusOk, result.status);

    // Pipelined, BODY 21 left before the refusal of HEAD 21 came back: the
    // commands really are in flight together.
    Lines wire = {"GROUP g.limit", "HEAD 3001", "BODY 3001", "HEAD 3002", "BODY 3002", "GROUP g.renumbered",
                  "GROUP g.catchup", "GROUP g.short", "GROUP g.huge", "GROUP g.max", "GROUP g.odd",
                  "GROUP g.gaps", "HEAD 20", "BODY 20", "HEAD 21"};
    if (GetParam())
        wire.push_back("BODY 21");
    wire.insert(wire.end(), {"HEAD 22", "BODY 22", "HEAD 23", "BODY 23", "GROUP g.missing", "GROUP g.nothing",
                             "GROUP g.gone", "HEAD 30"});
    if (GetParam())
        wire.push_back("BODY 30");
    wire.push_back("QUIT");
    // Pipelined, the groups' numbers are asked for first; the server refuses.
    if (GetParam())
        wire.insert(wire.begin(), "LIST ACTIVE g.limit,g.renumbered,g.catchup,g.short,g.huge,g.max,g.odd,g.gaps,"
                                  "g.missing,g.nothing,g.gone");
    EXPECT_EQ(wire, server.Commands());
    for (const auto& g : groups) {
        std::string state = Sjis(g.state).substr(0, 63);
        std::string index = harness.Group(g.group, L".idx");
        EXPECT_EQ(IndexHeaderBytes(g.last, g.serverLast, 0, g.records, 0, state, g.records, 0, 0),
                  index.substr(0, 100)) << g.group;
        EXPECT_EQ(100u + 92u * g.records, index.size()) << g.group;
    }
    EXPECT_EQ(SimpleBlock(3001) + SimpleBlock(3002), harness.Group(L"g.limit", L".log"));
    EXPECT_EQ(SimpleBlock(20) + SimpleBlock(23), harness.Group(L"g.gaps", L".log"));
    EXPECT_EQ("kept\r\n", harness.Group(L"g.nothing", L".log"));
}

INSTANTIATE_TEST_SUITE_P(Settings, RangeRulesTest, testing::Values(0u, 1u));

// Once a group's header says what a pass with nothing new would write, such
// a pass changes no byte and makes no write or flush: with two groups
// pipelined, the numbers come from the list.
TEST_P(RangeRulesTest, NothingNewTwiceWritesNothing)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(10000));
    server.On("LIST ACTIVE g.one,g.two", "215 list\r\ng.one 3 1 y\r\ng.two 0 1 y\r\n.\r\n");
    server.On("GROUP g.one", "211 3 1 3 g.one\r\n");
    server.On("GROUP g.two", "211 0 1 0 g.two\r\n");
    for (unsigned n = 1; n <= 3; ++n)
        AddSimple(server, n);
    PatrolHarness harness;
    harness.AddGroup(L"g.one");
    harness.AddGroup(L"g.two");
    harness.SetPipelining(GetParam());
    ASSERT_EQ((DWORD)StatusOk, harness.RunDirect(server.Port()).status);
    ASSERT_EQ((DWORD)StatusOk, harness.RunDirect(server.Port()).status);
    std::string files[] = {harness.Group(L"g.one", L".idx"), harness.Group(L"g.one", L".log"),
                           harness.Group(L"g.two", L".idx")};
    int changes = 0;
    SetFileOpHook([](const FileOpCall& call, void* count) {
        *(int*)count += call.kind != kFileOpCreate && call.kind != kFileOpOpened && call.kind != kFileOpProbe;
        return TRUE;
    }, &changes);
    DownloadResult result = harness.RunDirect(server.Port());
    SetFileOpHook(NULL, NULL);
    EXPECT_EQ((DWORD)StatusOk, result.status);
    EXPECT_EQ(0, changes);
    EXPECT_EQ(files[0], harness.Group(L"g.one", L".idx"));
    EXPECT_EQ(files[1], harness.Group(L"g.one", L".log"));
    EXPECT_EQ(files[2], harness.Group(L"g.two", L".idx"));
    EXPECT_EQ(3u, (files[0].size() - 100) / 92);
}

// Lines of any length: a 5,000-byte References keeps its first identifier
// and its last ones; a long Subject is cut, a long unkept field dropped; a
// 3,000-byte body line and a JIS one are stored in pieces split between
// characters; a NUL is stored as a blank. The group after it is fetched too.
TEST_P(RangeRulesTest, LongLinesAndNulBytes)
{
    auto id = [](unsigned n) { char text[20]; snprintf(text, sizeof text, "<%04u@example.jp>", n); return std::string(text); };
    std::string references = "References: " + id(0), kept = references;
    for (unsigned n = 1; n < 277; ++n)
        references += " " + id(n);
    for (unsigned n = 222; n < 277; ++n)
        kept += " " + id(n);
    std::string kanji;
    for (unsigned n = 0; n < 1000; ++n)
        kanji += "$3";
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(10000));
    server.On("GROUP g.long", "211 1 1 1 g.long\r\n");
    server.AddArticle(1, "From: a@b\r\nX-Long: " + std::string(3000, 'y') + "\r\n" + references + "\r\nSubject: " +
                      std::string(1500, 'z') + "\r\n",
                      std::string(3000, 'x') + "\r\n\x1b$B" + kanji + "\x1b(B\r\nnul" + std::string(1, '\0') + "byte\r\n");
    server.On("GROUP g.after", "211 1 1 1 g.after\r\n");
    AddSimple(server, 1);
    PatrolHarness harness;
    harness.AddGroup(L"g.long");
    harness.AddGroup(L"g.after");
    harness.SetPipelining(GetParam());
    DownloadResult result = harness.RunDirect(server.Port());
    EXPECT_EQ((DWORD)StatusOk, result.status) << Sjis(result.text);

    std::string sjis;
    for (unsigned n = 0; n < 509; ++n)
        sjis += "\x82\xb1";
    std::string x(1021, 'x');
    EXPECT_EQ(ArticleBlock("From: a@b\n" + kept + "\nSubject: " + std::string(1021 - 9, 'z'), 1,
                           x + "\n" + x + "\n" + std::string(958, 'x') + "\n" + sjis + "\n" + sjis.substr(36) +
                               "\nnul byte"),
              harness.Group(L"g.long", L".log"));
    EXPECT_EQ(SimpleBlock(1), harness.Group(L"g.after", L".log"));
}

// Today's articles (UTF-8, EUC-JP, big5; quoted-printable and base64)
// through whole patrols: converted with ConvertMime on, stored as they come
// with it off.
struct Article { std::string header, body; };

// Articles 3002 to 3004 as the server sends them.
const Article kArticles[] = {
    {"Subject: \xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88 =?UTF-8?B?5pel\r\n"
     " 5pys?=\r\n"
     "From: =?Utf-8?q?=E5=B1=B1=E7=94=B0?= <q@example.jp>\r\n"
     "Content-Type: text/plain; charset=utf-8\r\n"
     "Content-Transfer-Encoding: quoted-printable\r\n",
     "=E3=83=86=E3=82=\r\n"
     "=B9=E3=83=88 ok\r\n"
     "..=E6=97=A5\r\n"},
    {"Subject: \xc6\xfc\xcb\xdc\r\n"   // raw EUC-JP: its header waits for the text part's
     "Content-Type: multipart/mixed; boundary=b\r\n",
     "--b\r\nContent-Type: text/plain; charset=EUC-JP\r\nContent-Transfer-Encoding: base64\r\n\r\n"
     "xvzL3I+woQphYg==\r\n"
     "YW\r\n--b--\r\n"},
    {"Subject: =?big5?B?pKSk5A==?= =?UTF-8?Q?a=0D=0Ab?=\r\n"
     "Content-Type: text/plain; charset=big5\r\n"
     "Content-Transfer-Encoding: quoted-printable\r\n",
     "=A4=A4\r\n"},
};

const std::string kConverted =
    ArticleBlock("Subject: \x83\x65\x83\x58\x83\x67 \x93\xfa\x96\x7b\nFrom: \x8e\x52\x93\x63 <q@example.jp>", 3002,
                 "\x83\x65\x83\x58\x83\x67 ok\n.\x93\xfa") +
    ArticleBlock("Subject: \x93\xfa\x96\x7b", 3003,
                 "--b\nContent-Type: text/plain; charset=EUC-JP\nContent-Transfer-Encoding: base64\n\n"
                 "\x93\xfa\x96\x7b\x81\xac\naba\n--b--") +
    ArticleBlock("Subject: =?big5?B?pKSk5A==?= a  b", 3004, "=A4=A4");   // a decoded CR LF is no line end

// And 3002 with it off: the kept fields and the body as they come (an
// encoded-word in a charset other than ISO-2022-JP is left alone).
const std::string kAsTheyCome =
    ArticleBlock("Subject: \xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88 =?UTF-8?B?5pel5pys?=\n"
                 "From: =?Utf-8?q?=E5=B1=B1=E7=94=B0?= <q@example.jp>",
                 3002, "=E3=83=86=E3=82=\n=B9=E3=83=88 ok\n.=E6=97=A5");

// The log after `count` articles from 3002 on.
std::string Patrol(PatrolHarness& harness, bool convert, DWORD count)
{
    ScriptedNntpServer server;
    EXPECT_TRUE(server.Start(10000));
    server.On("GROUP fj.test", "211 3 3002 3004 fj.test\r\n");
    for (unsigned i = 0; i < 3; ++i)
        server.AddArticle(3002 + i, kArticles[i].header, kArticles[i].body);
    harness.AddGroup(L"fj.test", 3001, 3001);
    harness.SetConvertMime(convert);
    DownloadResult result = harness.RunDirect(server.Port(), count);
    EXPECT_EQ(StatusOk, (int)result.status) << std::wstring(result.text).c_str();
    return harness.Group(L"fj.test", L".log");
}

TEST(PatrolMime, OnConvertsEachKindIntoShiftJisOffStoresThemAsTheyCome)
{
    PatrolHarness harness;
    EXPECT_EQ(kConverted, Patrol(harness, true, 3));

    // The index record's subject field holds the converted subject.
    std::string index = harness.Group(L"fj.test", L".idx");
    ASSERT_GE(index.size(), 100u + 92u);
    EXPECT_EQ(Field("\x83\x65\x83\x58\x83\x67 \x93\xfa\x96\x7b", 48), index.substr(100 + 16, 48));

    PatrolHarness off;
    EXPECT_EQ(kAsTheyCome, Patrol(off, false, 1));
}

// A server that refuses articles here and there (the BODY of a refused HEAD
// holds a line too long), and gives up at article 1, 2 or 3 of g.next (400,
// then it closes), patrolled one command at a time and pipelined under
// several limits: the result, every group file byte for byte, and the
// commands on the wire must agree, save that pipelined, the BODY of each
// HEAD the server refuses has gone out along with it.
struct Pass { DownloadResult result; Lines wire; std::vector<std::string> files; size_t linesAtOnce; };

const wchar_t* const kGroups[] = {L"g.gappy", L"g.next", L"g.after"};

// `deflatedPiece` above 0 asks for compression, the server sending its
// deflated bytes in pieces of that size; `offer` says what the server does.
enum Offer { kOffered, kUnlisted, kRefused };

Pass RunPass(DWORD limit, unsigned givesUpAt, DWORD pipelining, size_t deflatedPiece = 0, Offer offer = kOffered)
{
    Pass pass;
    ScriptedNntpServer server;
    EXPECT_TRUE(server.Start(15000));
    if (offer == kUnlisted)   // compresses all the same
        server.On("CAPABILITIES", "101 list\r\nVERSION 2\r\n.\r\n");
    if (deflatedPiece && offer != kRefused)
        server.OfferDeflate(deflatedPiece);
    // HEAD 423 on every 7th article, BODY 423 on every 11th, and a HEAD reply
    // cut into pieces. The first answer scripted for a line is used first.
    server.On("GROUP g.gappy", "211 60 101 160 g.gappy\r\n");
    ScriptedReply split;
    split.pieces = {"221 1", "17 <x>\r\nFrom: a@b\r\nSub", "ject: split\r\n.\r\n"};
    server.On("HEAD 117", split);
    for (unsigned n = 101; n <= 160; ++n) {
        if (n % 7 == 0) {
            server.On("HEAD " + std::to_string(n), "423 no such article\r\n");
            // Its BODY, sent ahead when pipelining, still answers.
            server.On("BODY " + std::to_string(n), "222 " + std::to_string(n) + "\r\n" + std::string(1100, 's') + "\r\n.\r\n");
        } else if (n % 11 == 0) {
            server.On("HEAD " + std::to_string(n), "221 " + std::to_string(n) + "\r\n" + Simple(n) + ".\r\n");
            server.On("BODY " + std::to_string(n), "423 gone meanwhile\r\n");
        } else {
            AddSimple(server, n);
        }
    }
    server.On("GROUP g.next", "211 3 1 3 g.next\r\n");
    server.On("HEAD " + std::to_string(givesUpAt), "400 service discontinued\r\n", true);
    server.On("GROUP g.after", "211 0 1 0 g.after\r\n");
    for (unsigned n = 1; n <= 3; ++n)
        AddSimple(server, n);
    PatrolHarness harness;
    for (const wchar_t* group : kGroups)
        harness.AddGroup(group);
    harness.SetPipelining(pipelining);
    harness.SetCompress(deflatedPiece != 0);
    pass.result = harness.RunDirect(server.Port(), limit);
    // Before Stop: the list then waits for the client's closing QUIT.
    pass.wire = server.Commands();
    pass.linesAtOnce = server.MostLinesAtOnce();
    server.Stop();
    for (const wchar_t* group : kGroups) {
        pass.files.push_back(harness.Group(group, L".idx"));
        pass.files.push_back(harness.Group(group, L".log"));
    }
    return pass;
}

class PipeliningTest : public testing::TestWithParam<std::pair<DWORD, unsigned>> {};

// Compressed too: pipelined with whole deflated replies, one at a time with
// every deflated byte in a send of its own.
TEST_P(PipeliningTest, StoresWhatTheOneAtATimePassStores)
{
    Pass single = RunPass(GetParam().first, GetParam().second, 0);
    Pass pipelined = RunPass(GetParam().first, GetParam().second, 1);
    Pass compressed = RunPass(GetParam().first, GetParam().second, 1, 4096);
    Pass bytewise = RunPass(GetParam().first, GetParam().second, 0, 1);
    // Pipelined, COMPRESS goes out with CAPABILITIES whatever they offer.
    Pass unlisted = RunPass(GetParam().first, GetParam().second, 1, 4096, kUnlisted);
    Pass refused = RunPass(GetParam().first, GetParam().second, 1, 4096, kRefused);

    Lines wire = {"LIST ACTIVE g.gappy,g.next,g.after"}, deflated = {"CAPABILITIES", "COMPRESS DEFLATE"},
          deflatedSingle = deflated;
    for (const std::string& line : single.wire) {
        wire.push_back(line);
        if (line.compare(0, 5, "HEAD ") == 0 && atoi(line.c_str() + 5) % 7 == 0)
            wire.push_back("BODY " + line.substr(5));
    }
    deflated.insert(deflated.end(), wire.begin(), wire.end());
    deflatedSingle.insert(deflatedSingle.end(), single.wire.begin(), single.wire.end());
    EXPECT_EQ(wire, pipelined.wire);
    // With room for more than one article, more than one is in flight, and
    // never more than 24.
    EXPECT_EQ(1u, single.linesAtOnce);
    EXPECT_TRUE(GetParam().first < 2 || pipelined.linesAtOnce > 2) << pipelined.linesAtOnce;
    EXPECT_LE(pipelined.linesAtOnce, 48u);
    EXPECT_EQ(deflated, compressed.wire);
    EXPECT_EQ(deflatedSingle, bytewise.wire);
    EXPECT_EQ(deflated, unlisted.wire);
    EXPECT_EQ(deflated, refused.wire);
    for (const Pass* other : {&pipelined, &compressed, &bytewise, &unlisted, &refused}) {
        EXPECT_EQ(single.result.status, other->result.status);
        EXPECT_STREQ(single.result.caption, other->result.caption);
        EXPECT_STREQ(single.result.text, other->result.text);
        EXPECT_EQ(single.files, other->files);
    }
}

// Refusals topped up to the limit, none, the smallest limits.
INSTANTIATE_TEST_SUITE_P(Limits, PipeliningTest,
                         testing::Values(std::make_pair(30u, 3u), std::make_pair(1000u, 2u), std::make_pair(1u, 1u),
                                         std::make_pair(0u, 1u)));

// A patrol over many groups, pipelined: every group's numbers asked for at
// once (LIST ACTIVE), no GROUP for a group with nothing new, and the next
// group's commands out before the replies of the one being read. A mix of
// groups stores what the one-at-a-time pass stores, in every road: the list
// refused (500), numbers that disagree with GROUP, a server that closes in
// the middle of a later group's commands; compressed or not.
enum ListRoad { kListed, kListRefused, kDisagrees, kClosesInLaterGroup };

struct ManyGroupsPass { DownloadResult result; Lines wire; std::vector<std::string> files; size_t linesAtOnce; };

const wchar_t* const kMix[] = {L"g.none", L"g.few", L"g.over", L"g.refused", L"g.emptied", L"g.caught", L"g.tail"};

ManyGroupsPass RunMix(ListRoad road, DWORD pipelining, DWORD compress)
{
    ScriptedNntpServer server;
    EXPECT_TRUE(server.Start(15000));
    if (compress)
        server.OfferDeflate();
    std::string list = "215 list\r\ng.none 0000000005 0000000001 y\r\ng.few " +
                       std::string(road == kDisagrees ? "11" : "12") +
                       " 1 y\r\ng.over 25 20 y\r\ng.emptied 30 31 y\r\ng.caught 40 35 y\r\ng.tail 51 50 y\r\n.\r\n";
    if (road != kListRefused)
        server.On("LIST ACTIVE g.none,g.few,g.over,g.refused,g.emptied,g.caught,g.tail", list);
    server.On("GROUP g.none", "211 5 1 5 g.none\r\n");
    server.On("GROUP g.few", "211 12 1 12 g.few\r\n");
    server.On("GROUP g.over", "211 6 20 25 g.over\r\n");
    server.On("GROUP g.refused", "411 no such group\r\n");
    server.On("GROUP g.emptied", "211 0 31 30 g.emptied\r\n");
    server.On("GROUP g.caught", "211 6 35 40 g.caught\r\n");
    server.On("GROUP g.tail", "211 2 50 51 g.tail\r\n");
    // g.few stops at its first article, always refused; g.over's commands
    // went out with it.
    server.On("HEAD 11", "480 authentication required\r\n");
    if (road == kClosesInLaterGroup)
        server.On("HEAD 21", "221 21\r\nFrom: a", true);
    for (unsigned n : {12u, 20u, 21u, 22u, 23u, 24u, 25u, 50u, 51u})
        AddSimple(server, n);
    PatrolHarness harness;
    const DWORD before[] = {5, 10, 0, 3, 32, 0xFFFFFFFF, 0};
    for (size_t g = 0; g < sizeof before / sizeof before[0]; ++g)
        harness.AddGroup(kMix[g], before[g], before[g]);
    harness.SetPipelining(pipelining);
    harness.SetCompress(compress);
    ManyGroupsPass pass;
    pass.result = harness.RunDirect(server.Port(), 3);
    pass.wire = server.Commands();
    pass.linesAtOnce = server.MostLinesAtOnce();
    server.Stop();
    for (const wchar_t* group : kMix)
        for (const wchar_t* extension : {L".idx", L".log"})
            pass.files.push_back(harness.Group(group, extension));
    return pass;
}

class ManyGroupsTest : public testing::TestWithParam<std::tuple<ListRoad, DWORD>> {};

TEST_P(ManyGroupsTest, StoreWhatTheOneAtATimePassStores)
{
    ListRoad road = std::get<0>(GetParam());
    ManyGroupsPass single = RunMix(road, 0, std::get<1>(GetParam()));
    ManyGroupsPass pipelined = RunMix(road, 1, std::get<1>(GetParam()));
    EXPECT_EQ(single.result.status, pipelined.result.status);
    EXPECT_STREQ(single.result.caption, pipelined.result.caption);
    EXPECT_STREQ(single.result.text, pipelined.result.text);
    EXPECT_EQ(single.files, pipelined.files);
    EXPECT_EQ(road == kClosesInLaterGroup ? StatusFatal : StatusOk, (int)single.result.status);
    // Listed, the groups with nothing new get no GROUP, and the GROUP of the
    // next group goes out with the articles of the one before.
    // Disagreeing numbers end the plan at g.few, after g.none.
    for (const char* group : {"GROUP g.none", "GROUP g.emptied", "GROUP g.caught"}) {
        bool sent = std::find(pipelined.wire.begin(), pipelined.wire.end(), group) != pipelined.wire.end();
        EXPECT_EQ(road == kListRefused || (road == kDisagrees && group[8] != 'n'), sent) << group;
    }
    EXPECT_EQ(road != kListRefused, pipelined.linesAtOnce > 6) << pipelined.linesAtOnce;
    if (road == kListed) {
        EXPECT_EQ(IndexHeaderBytes(22, 25, 0, 3, 0, Sjis(L"制限数の3件の記事を取得しました。サーバには未取得の記事が残っています。").substr(0, 63), 3, 0, 0),
                  single.files[4].substr(0, 100));
        EXPECT_EQ(IndexHeaderBytes(40, 40, 0, 0, 0, Sjis(L"新規記事はありませんでした"), 0, 0, 0), single.files[10]);
        EXPECT_EQ(IndexHeaderBytes(10, 12, 0, 0, 0, Sjis(L"予期せぬ文字列が返りました : 480 authentication required"), 0, 0, 0),
                  single.files[2]);
    }
}

INSTANTIATE_TEST_SUITE_P(Roads, ManyGroupsTest,
                         testing::Combine(testing::Values(kListed, kListRefused, kDisagrees, kClosesInLaterGroup),
                                          testing::Values(0u, 1u)));

}  // namespace
