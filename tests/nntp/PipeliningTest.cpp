// A server that refuses articles here and there, patrolled one command at a
// time and pipelined under several limits: the result, every group file byte
// for byte, and the commands on the wire must agree; pipelining may only add
// a BODY sent with a HEAD the server then refused.
#include <gtest/gtest.h>
#include "PatrolHarness.h"

namespace {

typedef std::vector<std::string> Lines;

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
        if (j == 0 || line.compare(0, 5, "BODY ") != 0 || pipelined[j - 1] != "HEAD " + line.substr(5))
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

const wchar_t* const kGroups[] = {L"g.gappy", L"g.next"};

// HEAD 423 on every 7th article, BODY 423 on every 11th, and a HEAD reply
// cut into pieces.
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

Pass RunPass(DWORD limit, DWORD pipelining)
{
    Pass pass;
    ScriptedNntpServer server;
    EXPECT_TRUE(server.Start(15000));
    ScriptGappy(server);
    PatrolHarness harness;
    for (const wchar_t* group : kGroups)
        harness.AddGroup(group);
    harness.SetPipelining(pipelining);
    pass.result = harness.RunDirect(server.Port(), limit);
    // Before Stop: the list then waits for the client's closing QUIT.
    pass.wire = server.Commands();
    server.Stop();
    for (const wchar_t* group : kGroups) {
        pass.files.push_back(harness.Group(group, L".idx"));
        pass.files.push_back(harness.Group(group, L".log"));
    }
    return pass;
}

class PipeliningTest : public testing::TestWithParam<DWORD> {};

TEST_P(PipeliningTest, StoresWhatTheOneAtATimePassStores)
{
    Pass single = RunPass(GetParam(), 0);
    Pass pipelined = RunPass(GetParam(), 1);

    EXPECT_EQ(single.result.status, pipelined.result.status);
    EXPECT_STREQ(single.result.caption, pipelined.result.caption);
    EXPECT_STREQ(single.result.text, pipelined.result.text);
    EXPECT_EQ(single.files, pipelined.files);
    EXPECT_TRUE(SameOrder(single.wire, pipelined.wire));
}

// Refusals topped up to the limit, none, the smallest limits.
INSTANTIATE_TEST_SUITE_P(Limits, PipeliningTest, testing::Values(30u, 1000u, 1u, 0u),
                         [](const testing::TestParamInfo<DWORD>& info) {
                             return "Limit" + std::to_string(info.param);
                         });

}  // namespace
