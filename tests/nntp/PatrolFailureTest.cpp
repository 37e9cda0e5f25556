// Every way a pass can fail: the message it ends with, and what is left in
// the data folder: the groups before the failure are stored, the failing
// group is exactly as it was, so the next pass fetches it again.
#include <gtest/gtest.h>
#include "nntp/PatrolHarness.h"

namespace {

// A deflated row turns compression on and sends its BODY 35 as garbage
// that does not inflate, or short of its last deflated bytes.
enum Deflated { kPlain, kNotDeflate, kDeflateCut };

struct GroupFailure {
    const char* name;
    std::string head, body;
    const wchar_t* text;
    Deflated deflated = kPlain;
};

void Reply(ScriptedNntpServer& server, const std::string& command, const std::string& reply)
{
    bool whole = reply.size() >= 3 && reply.compare(reply.size() - 3, 3, ".\r\n") == 0;
    server.On(command, reply, !whole);
}

// Each row one command at a time and pipelined (the Pipelining setting).
class GroupFailureTest : public testing::TestWithParam<std::tuple<GroupFailure, DWORD>> {};

// g.done, then g.fail: articles 11 to 40 arrive whole but 35, which goes
// wrong as the row says (a reply that does not end with its terminating line
// closes the connection). 35 opens the last window: pipelined, 36 to 40 go
// out with it, so the server has read every command when it closes.
TEST_P(GroupFailureTest, EndsThePassAndLeavesTheFailingGroupAsItWas)
{
    const GroupFailure& row = std::get<0>(GetParam());
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(10000));
    server.On("GROUP g.done", "211 1 1 1 g.done\r\n");
    server.AddArticle(1, Simple(1), "b\r\n");
    server.On("GROUP g.fail", "211 30 11 40 g.fail\r\n");
    for (unsigned n = 11; n <= 40; ++n)
        if (n != 35)
            server.AddArticle(n, Simple(n), "b\r\n");
    Reply(server, "HEAD 35", row.head);
    ScriptedReply body;
    body.pieces = {row.body};
    body.raw = row.deflated == kNotDeflate;
    body.cutDeflated = body.closeAfter = row.deflated == kDeflateCut;
    if (row.deflated) {
        server.OfferDeflate();
        server.On("BODY 35", body);
    } else {
        Reply(server, "BODY 35", row.body);
    }

    PatrolHarness harness;
    harness.SetCompress(row.deflated != kPlain);
    harness.AddGroup(L"g.done");
    harness.AddGroup(L"g.fail", 10, 10);
    harness.AddGroup(L"g.after");
    // What an earlier pass left in the failing group, past its append mark.
    ASSERT_TRUE(WriteBytes(harness.DataPath() + L"g.fail.log", "earlier\r\n"));
    ASSERT_TRUE(WriteBytes(harness.DataPath() + L"g.fail.idx", IndexHeaderBytes(10, 10, 0, 0, 0, "old", 0, 0, 0)
                           + IndexRecordBytes(0, 0xFFFFFFFF, 0, 0, "", "", "", 0, 0)));

    harness.SetPipelining(std::get<1>(GetParam()));
    DownloadResult result = harness.RunDirect(server.Port());
    EXPECT_EQ((DWORD)StatusFatal, result.status);
    EXPECT_STREQ(L"g.fail", result.caption);
    EXPECT_STREQ(row.text, result.text);

    EXPECT_EQ(IndexHeaderBytes(1, 1, 0, 1, 0, Sjis(L"1件の記事を取得しました。"), 1, 0, 0),
              harness.Group(L"g.done", L".idx").substr(0, 100));
    EXPECT_EQ(IndexHeaderBytes(10, 10, 0, 0, 0, "old", 0, 0, 0), harness.Group(L"g.fail", L".idx"));
    // No record covers those bytes: the pass cut them before it began.
    EXPECT_EQ("", harness.Group(L"g.fail", L".log"));
    for (const std::string& command : server.Commands())
        EXPECT_NE("GROUP g.after", command);
}

std::string Long(size_t bytes) { return std::string(bytes, 'x'); }
const std::string kHead35 = "221 35\r\n" + Simple(35) + ".\r\n";
const wchar_t kLost[] = L"受信に失敗しました(38).", kCut[] = L"受信が正常に終了しませんでした(38).";

INSTANTIATE_TEST_SUITE_P(
    Rows, GroupFailureTest,
    testing::Combine(testing::Values(
        GroupFailure{"HeadStatusLost", "", "", kLost},
        GroupFailure{"HeadCutOff", "221 35\r\nFrom: a@b\r\nSubj", "", kCut},
        GroupFailure{"ClosedAfterARefusedHead", "423 no such article\r\n", "", kLost},
        GroupFailure{"BodyStatusLost", kHead35, "", kLost},
        GroupFailure{"BodyCutOff", kHead35, "222 35\r\nfirst\r\nsec", kCut},
        GroupFailure{"BodyNotDeflate", kHead35, "\xff\xff\xff\xff", L"受信に失敗しました(13).", kNotDeflate},
        GroupFailure{"BodyDeflateCut", kHead35, "222 35\r\nfirst\r\nsecond\r\n.\r\n",
                     L"受信が正常に終了しませんでした(13).", kDeflateCut}),
                     testing::Values(0u, 1u)),
    [](const testing::TestParamInfo<std::tuple<GroupFailure, DWORD>>& info) {
        return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "Pipelined" : "");
    });

// A refusal other than "no such article" of HEAD or BODY of article 3 or 5
// (the last) of g.refusing, closing the connection after it or not: the
// group keeps the articles before it, stops there with the reply as its
// state, and the pass goes on with g.after while the connection stands.
struct Refusal { const char* name; const char* command; std::string reply; bool close; };

class RefusalTest : public testing::TestWithParam<std::tuple<Refusal, unsigned, DWORD>> {};

TEST_P(RefusalTest, StopsTheGroupBeforeTheArticleAndGoesOn)
{
    const Refusal& row = std::get<0>(GetParam());
    unsigned at = std::get<1>(GetParam());
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(10000));
    server.On("GROUP g.refusing", "211 5 1 5 g.refusing\r\n");
    server.On(row.command + std::to_string(at), row.reply + "\r\n", row.close);
    for (unsigned n = 1; n <= 5; ++n)
        AddSimple(server, n);
    server.On("GROUP g.after", "211 1 1 1 g.after\r\n");
    PatrolHarness harness;
    harness.AddGroup(L"g.refusing");
    harness.AddGroup(L"g.after");
    harness.SetPipelining(std::get<2>(GetParam()));
    DownloadResult result = harness.RunDirect(server.Port());

    std::string log;
    for (unsigned n = 1; n < at; ++n)
        log += SimpleBlock(n);
    EXPECT_EQ(log, harness.Group(L"g.refusing", L".log"));
    std::string state = Sjis(L"予期せぬ文字列が返りました : " + Widen(row.reply)).substr(0, 63);
    EXPECT_EQ(IndexHeaderBytes(at - 1, 5, 0, at - 1, 0, state, at - 1, 0, 0),
              harness.Group(L"g.refusing", L".idx").substr(0, 100));
    if (row.close) {
        EXPECT_EQ((DWORD)StatusFatal, result.status);
        EXPECT_STREQ(L"Socket ERROR", result.caption);
        EXPECT_EQ(IndexHeaderBytes(0, 0, 0, 0, 0, "old", 0, 0, 0), harness.Group(L"g.after", L".idx"));
    } else {
        EXPECT_EQ((DWORD)StatusOk, result.status) << Sjis(result.text);
        EXPECT_EQ(SimpleBlock(1), harness.Group(L"g.after", L".log"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RefusalTest,
    testing::Combine(testing::Values(Refusal{"Head480", "HEAD ", "480 authentication required", false},
                                     Refusal{"Body503", "BODY ", "503 timeout", false},
                                     Refusal{"Body400", "BODY ", "400 going down", false},
                                     Refusal{"Head400Close", "HEAD ", "400 going down", true},
                                     Refusal{"Body400Close", "BODY ", "400 going down", true}),
                     testing::Values(3u, 5u), testing::Values(0u, 1u)),
    [](const testing::TestParamInfo<std::tuple<Refusal, unsigned, DWORD>>& info) {
        return std::string(std::get<0>(info.param).name) + "At" + std::to_string(std::get<1>(info.param)) +
               (std::get<2>(info.param) ? "Pipelined" : "");
    });

// A pass that ends before any group: the greeting, the reply to one line
// ("authinfo user u" is answered 381 unless that is the line), each closing
// the connection after it when empty, the login, and the message.
struct PassFailure {
    const char* name;
    std::string greeting;
    const char* command;
    std::string reply;
    const char *userId, *password;
    const wchar_t *caption, *text;
    DWORD security = 0;
};

class PassFailureTest : public testing::TestWithParam<PassFailure> {};

TEST_P(PassFailureTest, EndsThePassBeforeAnyGroup)
{
    const PassFailure& row = GetParam();
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(10000));
    server.SetGreeting(row.greeting, row.greeting.empty());
    server.On(row.command, row.reply, row.reply.empty());
    server.On("authinfo user u", "381 more\r\n");
    server.On("CAPABILITIES", "101 list\r\nVERSION 2\r\nSTARTTLS\r\n.\r\n");
    PatrolHarness harness;
    harness.AddGroup(L"g.done");
    harness.SetSecurity(row.security);
    DownloadResult result = harness.RunDirect(server.Port(), 100, row.userId, row.password);
    EXPECT_EQ((DWORD)StatusFatal, result.status);
    EXPECT_STREQ(row.caption, result.caption);
    EXPECT_STREQ(row.text, result.text);
    EXPECT_EQ(IndexHeaderBytes(0, 0, 0, 0, 0, "old", 0, 0, 0), harness.Group(L"g.done", L".idx"));
    for (const std::string& command : server.Commands()) {
        EXPECT_NE(0u, command.find("HEAD")) << command;
        if (row.security) {   // refused encryption is never followed by clear text
            EXPECT_TRUE(command == "CAPABILITIES" || command == "STARTTLS") << command;
        }
    }
}

const std::string kReady = "200 ready\r\n";
// "authinfo user " and this make 4095 bytes: one too many for a command.
const std::string kLongUser(4095 - 14, 'u');
const wchar_t kRefused[] = L"接続を拒否されました";

INSTANTIATE_TEST_SUITE_P(
    Rows, PassFailureTest,
    testing::Values(
        PassFailure{"GreetingNone", "", "", "", NULL, NULL, L"127.0.0.1", L"サーバからの応答がありません"},
        PassFailure{"GreetingGarbage", "hello there\r\n", "", "", NULL, NULL, kRefused, L"hello there\r\n"},
        PassFailure{"GreetingRefused", "502 go away\r\n", "", "", NULL, NULL, kRefused, L"502 go away\r\n"},
        PassFailure{"UserTooLong", kReady, "", "", kLongUser.c_str(), "pw", L"PELORA", L"送信に失敗しました(234)."},
        PassFailure{"UserReplyLost", kReady, "authinfo user u", "", "u", "p", L"PELORA", L"受信に失敗しました(38)."},
        PassFailure{"UserRefused", kReady, "authinfo user u", "482 denied\r\n", "u", "p", L"ユーザ名が不正です",
                    L"482 denied\r\n"},
        PassFailure{"PasswordWithLineBreak", kReady, "", "", "u", "p\r\nQUIT", L"Socket Error",
                    L"送信に失敗しました(87)."},
        PassFailure{"PasswordReplyLost", kReady, "authinfo pass p", "", "u", "p", L"Socket Error",
                    L"受信に失敗しました(38)."},
        PassFailure{"PasswordRefused", kReady, "authinfo pass p", "481 bad\r\n", "u", "p", L"パスワードが不正です",
                    L"481 bad\r\n"},
        PassFailure{"GroupReplyLost", kReady, "GROUP g.done", "", NULL, NULL, L"Socket ERROR",
                    L"受信に失敗しました(38)."},
        PassFailure{"GroupReplyTooLong", kReady, "GROUP g.done", "211 " + Long(2000) + "\r\n", NULL, NULL,
                    L"Socket ERROR", L"受信に失敗しました(234)."},
        PassFailure{"StartTlsNotOffered", kReady, "CAPABILITIES", "101 list\r\nREADER\r\n.\r\n", "u", "p",
                    L"127.0.0.1", L"サーバはSTARTTLSに対応していません。暗号化せずには接続しません。", 1},
        PassFailure{"StartTlsRefused", kReady, "STARTTLS", "502 not here\r\n", "u", "p", L"127.0.0.1",
                    L"サーバがSTARTTLSを拒否しました。暗号化せずには接続しません : 502 not here", 1},
        PassFailure{"StartTlsAnsweredInClear", kReady, "STARTTLS", "382 go\r\n200 forged\r\n", "u", "p",
                    L"127.0.0.1", L"SSL/TLSの接続を始められませんでした(13)。", 1},
        PassFailure{"EncryptionRequired", kReady, "authinfo user u", "483 Encryption required\r\n", "u", "p",
                    L"127.0.0.1",
                    L"サーバは暗号化した接続でなければ認証しません。プロパティの「接続」で暗号化に「STARTTLS」か"
                    L"「SSL/TLS」を選んでください : 483 Encryption required"}),
    [](const testing::TestParamInfo<PassFailure>& info) { return std::string(info.param.name); });

TEST(PatrolFailure, GroupFilesThatCannotBeReadOrOpened)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(10000));
    server.On("GROUP g.nolog", "211 1 1 1\r\n");
    server.On("GROUP g.busy", "211 1 1 1\r\n");
    {
        PatrolHarness harness;
        harness.AddRow(L"g.nofiles");
        DownloadResult result = harness.RunDirect(server.Port());
        EXPECT_STREQ(L"g.nofiles", result.caption);
        EXPECT_STREQ(L"インデックスの初期化に失敗しました(2)", result.text);
    }
    {
        PatrolHarness harness;
        harness.AddGroup(L"g.nolog");
        CreateDirectoryW((harness.DataPath() + L"g.nolog.log").c_str(), NULL);
        DownloadResult result = harness.RunDirect(server.Port());
        EXPECT_STREQ(L"g.nolog", result.caption);
        EXPECT_EQ(0u, std::wstring(result.text).find(L"ファイルが開けませんでした("));
        EXPECT_EQ(IndexHeaderBytes(0, 0, 0, 0, 0, "old", 0, 0, 0), harness.Group(L"g.nolog", L".idx"));
    }
    {
        PatrolHarness harness;
        harness.AddGroup(L"g.busy");
        HANDLE held = CreateFileW((harness.DataPath() + L"g.busy.idx").c_str(), GENERIC_READ,
                                  FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
        DownloadResult result = harness.RunDirect(server.Port());
        CloseHandle(held);
        EXPECT_STREQ(L"g.busy", result.caption);
        EXPECT_STREQ(L"インデックスファイルのオープンに失敗しました(32).", result.text);
    }
}

}  // namespace
