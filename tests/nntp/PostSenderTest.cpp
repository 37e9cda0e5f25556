// Queued posts sent at the start of a patrol: each answer the server can
// give, a break between the article and its answer, and a stop at every
// file call of queueing and sending: every post goes out exactly once.
#include <gtest/gtest.h>
#include <memory>
#include "nntp/PatrolHarness.h"
#include "store/Outbox.h"
#include "text/DraftText.h"
#include "support/KillPoints.h"

namespace {

const Poster kPoster = {"Taro", "taro@example.jp", NULL};
const std::string kDraft = "Newsgroups: g\r\nSubject: hello\r\n\r\nbody\r\n.dot\r\n";

struct PostFixture {
    PatrolHarness harness;
    std::wstring path;
    std::string messageId;

    PostFixture()
    {
        CreateDirectoryW((harness.DataPath() + L"draft").c_str(), NULL);
        harness.SetPoster(kPoster);
        harness.AddGroup(L"g");
        wchar_t buffer[kStorePathCapacity];
        Outbox::PathOf(harness.DataPath().c_str(), 1, buffer);
        path = buffer;
    }
    void Draft(const std::string& text = kDraft) { ASSERT_TRUE(WriteBytes(path, text)); }
    void Queue()
    {
        Draft();
        ASSERT_TRUE(Outbox::Queue(path.c_str(), kDraft.data(), kDraft.size(), kPoster.address));
        messageId = Field("Message-ID");
    }
    // A field of the post's file; "<gone>" without the file.
    std::string Field(const char* name)
    {
        std::string text = ReadBytes(path, "<gone>");
        if (text == "<gone>")
            return text;
        const char* value;
        size_t length;
        return DraftField(text.data(), text.size(), name, &value, &length) ? std::string(value, length) : "";
    }
};

std::unique_ptr<PostFixture> NewFixture()
{
    return std::unique_ptr<PostFixture>(new PostFixture);
}

const std::vector<std::string> kOneGroup = {"GROUP g", "QUIT"};

}  // namespace

TEST(PostSender, EachAnswerLeavesThePostPostedQueuedWithItsReasonOrRefused)
{
    struct Row {
        const char* greeting;
        const char* post;     // the answer to POST, "" for 340
        const char* dot;      // the answer to the article, "" for the server's own
        std::vector<std::string> commands;
        const char* state;    // "<gone>" once posted
        const char* reply;
        DWORD posted, refused;
    };
    const Row rows[] = {
        {"200 ok", "", "", {"POST", ".", "GROUP g", "QUIT"}, "<gone>", "<gone>", 1, 0},
        {"200 ok", "", "441 435 Duplicate", {"POST", ".", "GROUP g", "QUIT"}, "<gone>", "<gone>", 1, 0},
        {"200 ok", "", "441 437 no such group", {"POST", ".", "GROUP g", "QUIT"}, "refused", "441 437 no such group", 0, 1},
        {"200 ok", "440 posting not permitted", "", {"POST", "GROUP g", "QUIT"}, "queued", "440 posting not permitted", 0, 0},
        {"201 no posting", "", "", kOneGroup, "queued", "201 no posting", 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.post) + row.dot + row.greeting);
        std::unique_ptr<PostFixture> f = NewFixture();
        f->Queue();
        ScriptedNntpServer server;
        ASSERT_TRUE(server.Start());
        server.AcceptPosts();
        server.SetGreeting(std::string(row.greeting) + "\r\n");
        if (row.post[0])
            server.On("POST", std::string(row.post) + "\r\n");
        if (row.dot[0])
            server.On(".", std::string(row.dot) + "\r\n");
        server.On("GROUP g", "211 0 1 0 g\r\n");
        EXPECT_EQ(StatusOk, f->harness.RunDirect(server.Port()).status);
        EXPECT_EQ(row.commands, server.Commands());
        EXPECT_EQ(row.state, f->Field(kPostStateField));
        EXPECT_EQ(row.reply, f->Field(kPostReplyField));
        EXPECT_EQ(row.posted, f->harness.Posted());
        EXPECT_EQ(row.refused, f->harness.Refused());
        if (row.state == std::string("<gone>") && !row.dot[0]) {
            ASSERT_EQ(1u, server.Articles().size());
            EXPECT_EQ("From: Taro <taro@example.jp>\r\nNewsgroups: g\r\nSubject: hello\r\nMessage-ID: " +
                          f->messageId + "\r\nMIME-Version: 1.0\r\n"
                          "Content-Type: text/plain; charset=ISO-2022-JP\r\n"
                          "Content-Transfer-Encoding: 7bit\r\nUser-Agent: Pelora/1.1\r\n\r\nbody\r\n..dot\r\n",
                      server.Articles()[0]);
        }
        // Refused and held posts, and drafts, wait; a refused one is not sent again.
        if (row.refused) {
            ScriptedNntpServer again;
            ASSERT_TRUE(again.Start());
            again.On("GROUP g", "211 0 1 0 g\r\n");
            f->harness.RunDirect(again.Port());
            EXPECT_EQ(kOneGroup, again.Commands());
        }
    }
    // A draft is never sent: the wire is exactly that of a pass without posts.
    std::unique_ptr<PostFixture> f = NewFixture();
    f->Draft();
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start());
    server.On("GROUP g", "211 0 1 0 g\r\n");
    f->harness.RunDirect(server.Port());
    EXPECT_EQ(kOneGroup, server.Commands());
}

TEST(PostSender, BreakAfterTheArticleOrBeforeItAsksFirstAndPostsOnce)
{
    for (bool articleArrived : {true, false}) {
        SCOPED_TRACE(articleArrived);
        std::unique_ptr<PostFixture> f = NewFixture();
        f->Queue();
        ScriptedNntpServer server;
        ASSERT_TRUE(server.Start());
        server.AcceptPosts();
        ScriptedReply cut;
        cut.closeAfter = true;
        if (articleArrived)
            server.On(".", cut);
        else
            server.On("POST", cut), server.On("POST", "340 send article\r\n");
        EXPECT_EQ(StatusFatal, f->harness.RunDirect(server.Port()).status);
        EXPECT_EQ("sent-once", f->Field(kPostStateField));
        EXPECT_EQ(f->messageId, f->Field("Message-ID"));

        server.On("GROUP g", "211 0 1 0 g\r\n");
        EXPECT_EQ(StatusOk, f->harness.RunDirect(server.Port()).status);
        std::vector<std::string> commands = server.Commands();
        std::vector<std::string> second(commands.begin() + (articleArrived ? 2 : 1), commands.end());
        std::vector<std::string> expected = {"STAT " + f->messageId, "GROUP g", "QUIT"};
        if (!articleArrived)
            expected.insert(expected.begin() + 1, {"POST", "."});
        EXPECT_EQ(expected, second);
        EXPECT_EQ("<gone>", f->Field(kPostStateField));
        EXPECT_EQ(1u, server.Articles().size());
        EXPECT_EQ(1u, f->harness.Posted());
    }
}

TEST(PostSender, StoppedAtAnyFileCallOfQueueingOrSendingThePostGoesOutOnce)
{
    std::unique_ptr<PostFixture> f;
    std::unique_ptr<ScriptedNntpServer> server;
    auto start = [&] {
        server.reset(new ScriptedNntpServer);
        ASSERT_TRUE(server->Start());
        server->AcceptPosts();
        server->On("GROUP g", "211 0 1 0 g\r\n");
    };
    // Queueing: the draft as it was, or queued with its one Message-ID.
    int points = ForEachKillPoint(
        [&] { f = NewFixture(); f->Draft(); },
        [&] { Outbox::Queue(f->path.c_str(), kDraft.data(), kDraft.size(), kPoster.address); },
        [&](int k) {
            SCOPED_TRACE(k);
            Outbox::Recover(f->harness.DataPath().c_str());   // as the next start does
            std::string state = f->Field(kPostStateField), id = f->Field("Message-ID");
            ASSERT_TRUE((state == "" && id == "") || (state == "queued" && id.size() > 10)) << state;
            start();
            f->harness.RunDirect(server->Port());
            EXPECT_EQ(state == "queued" ? 1u : 0u, server->Articles().size());
        });
    EXPECT_GT(points, 3);
    // Sending: the next patrol finds it posted or posts it, once.
    points = ForEachKillPoint(
        [&] { f = NewFixture(); f->Queue(); start(); },
        [&] { f->harness.RunDirect(server->Port()); },
        [&](int k) {
            SCOPED_TRACE(k);
            Outbox::Recover(f->harness.DataPath().c_str());
            std::string id = f->Field("Message-ID");
            EXPECT_TRUE(id == "<gone>" || id == f->messageId);
            f->harness.RunDirect(server->Port());
            EXPECT_EQ("<gone>", f->Field("Message-ID"));
            ASSERT_EQ(1u, server->Articles().size());
            EXPECT_NE(std::string::npos, server->Articles()[0].find(f->messageId));
        });
    EXPECT_GT(points, 3);
}
