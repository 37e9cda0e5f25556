// The same server behaviour patrolled one command at a time and pipelined:
// the result, every group file byte for byte, and the commands on the wire
// must agree; pipelining may only add a BODY sent with a HEAD the server
// then refused.
#include <gtest/gtest.h>
#include <functional>
#include "PatrolHarness.h"

namespace {

typedef std::vector<std::string> Lines;

struct Behaviour {
    const char* name;
    std::function<void(ScriptedNntpServer&)> script;
    std::vector<std::pair<std::wstring, DWORD>> groups;   // name, lastArticle (= serverLast)
    DWORD limit;
};

void PrintTo(const Behaviour& behaviour, std::ostream* out) { *out << behaviour.name; }

bool StartsWith(const std::string& line, const char* prefix)
{
    return line.compare(0, strlen(prefix), prefix) == 0;
}

// Walks both wires together; see the comment at the top.
::testing::AssertionResult SameOrder(const Lines& single, const Lines& pipelined)
{
    size_t i = 0;
    for (size_t j = 0; j < pipelined.size(); ++j) {
        const std::string& line = pipelined[j];
        if (i < single.size() && line == single[i]) {
            ++i;
            continue;
        }
        bool bodyWithItsHead = j > 0 && StartsWith(line, "BODY ") && pipelined[j - 1] == "HEAD " + line.substr(5);
        if (!bodyWithItsHead)
            return ::testing::AssertionFailure() << "unexpected \"" << line << "\" at " << j;
    }
    if (i != single.size())
        return ::testing::AssertionFailure() << "missing \"" << single[i] << "\"";
    return ::testing::AssertionSuccess();
}

struct Pass {
    DownloadResult result;
    Lines wire;
    std::vector<std::string> files;
};

Pass RunPass(const Behaviour& behaviour, DWORD pipelining)
{
    Pass pass;
    ScriptedNntpServer server;
    EXPECT_TRUE(server.Start(15000));
    behaviour.script(server);
    PatrolHarness harness;
    for (const auto& group : behaviour.groups)
        harness.AddGroup(group.first, group.second, group.second);
    harness.SetPipelining(pipelining);
    pass.result = harness.RunDirect(server.Port(), behaviour.limit);
    // Before Stop: the list then waits for the client's closing QUIT.
    pass.wire = server.Commands();
    server.Stop();
    for (const auto& group : behaviour.groups) {
        pass.files.push_back(harness.Group(group.first, L".idx"));
        pass.files.push_back(harness.Group(group.first, L".log"));
    }
    return pass;
}

class PipeliningTest : public testing::TestWithParam<Behaviour> {};

TEST_P(PipeliningTest, StoresWhatTheOneAtATimePassStores)
{
    const Behaviour& behaviour = GetParam();
    Pass single = RunPass(behaviour, 0);
    Pass pipelined = RunPass(behaviour, 1);

    EXPECT_EQ(single.result.status, pipelined.result.status);
    EXPECT_STREQ(single.result.caption, pipelined.result.caption);
    EXPECT_STREQ(single.result.text, pipelined.result.text);
    EXPECT_EQ(single.files, pipelined.files);
    EXPECT_TRUE(SameOrder(single.wire, pipelined.wire));
}

// A server that refuses articles here and there: HEAD 423 on every 7th,
// BODY 423 on every 11th, and a HEAD reply cut into pieces.
void ScriptGappy(ScriptedNntpServer& server)
{
    server.On("GROUP g.gappy", "211 60 101 160 g.gappy\r\n");
    // The first answer scripted for a line is used first.
    ScriptedReply split;
    split.pieces = {"221 1", "17 <x>\r\nFrom: a@b\r\nSub", "ject: split\r\n.\r\n"};
    server.On("HEAD 117", split);
    for (unsigned n = 101; n <= 160; ++n) {
        if (n % 7 == 0) {
            server.On("HEAD " + std::to_string(n), "423 no such article\r\n");
            // Its BODY, sent ahead when pipelining, still answers.
            server.On("BODY " + std::to_string(n), "222 " + std::to_string(n) + "\r\nstray\r\n.\r\n");
        } else if (n % 11 == 0) {
            server.On("HEAD " + std::to_string(n), "221 " + std::to_string(n) + "\r\n" + Simple(n) + ".\r\n");
            server.On("BODY " + std::to_string(n), "423 gone meanwhile\r\n");
        } else {
            AddSimple(server, n);
        }
    }
    server.On("GROUP g.next", "211 3 1 3 g.next\r\n");
    for (unsigned n = 1; n <= 3; ++n)
        AddSimple(server, n);
}

INSTANTIATE_TEST_SUITE_P(
    Behaviours, PipeliningTest,
    testing::Values(
        Behaviour{"RefusalsToppedUpToTheLimit", ScriptGappy, {{L"g.gappy", 0}, {L"g.next", 0}}, 30},
        Behaviour{"RefusalsWithoutLimit", ScriptGappy, {{L"g.gappy", 0}, {L"g.next", 0}}, 1000},
        Behaviour{"LimitOfOne", ScriptGappy, {{L"g.gappy", 0}, {L"g.next", 0}}, 1},
        Behaviour{"LimitOfZero", ScriptGappy, {{L"g.gappy", 0}}, 0},
        Behaviour{"RangeRules", ScriptRanges,
                  {{L"g.limit", 0}, {L"g.renumbered", 5000}, {L"g.catchup", 0xFFFFFFFF}, {L"g.gaps", 5},
                   {L"g.missing", 9}},
                  2}),
    [](const testing::TestParamInfo<Behaviour>& info) { return std::string(info.param.name); });

// The BODY of a refused HEAD can only be on the wire if it left before the
// HEAD's reply was read: the commands really are in flight together.
TEST(Pipelining, SendsAheadOfTheReplies)
{
    Behaviour behaviour{"", ScriptRanges, {{L"g.gaps", 5}}, 100};
    Pass pass = RunPass(behaviour, 1);
    EXPECT_EQ((DWORD)StatusOk, pass.result.status);
    EXPECT_EQ(Lines({"GROUP g.gaps", "HEAD 20", "BODY 20", "HEAD 21", "BODY 21", "HEAD 22", "BODY 22",
                     "HEAD 23", "BODY 23", "QUIT"}),
              pass.wire);
}

}  // namespace
