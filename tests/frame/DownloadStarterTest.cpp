// The end of a pass that failed outright, taken back by a stand-in frame.
#include <gtest/gtest.h>
#include "frame/StarterHarness.h"

namespace {

TEST(Starter, FatalPassIsReportedByItsOwnBoxWithoutReload)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(10000));
    server.Stop();   // nobody listens: the worker ends at once, likely before the dialog opened
    StarterHarness harness;
    harness.AddGroup(L"g.a");
    PatrolOutcome outcome = harness.Run(server.Port());
    ASSERT_TRUE(outcome.ended);
    ASSERT_EQ(1u, outcome.boxes.size());
    EXPECT_EQ(L"127.0.0.1", outcome.boxes[0].caption);
    EXPECT_EQ(L"サーバに接続できませんでした", outcome.boxes[0].text);
    EXPECT_EQ((UINT)MB_ICONHAND, outcome.boxes[0].flags);
    EXPECT_NE((HWND)NULL, outcome.boxes[0].owner);
    EXPECT_EQ(1, outcome.hangUps);
    EXPECT_EQ(0, outcome.reloads);
}

}  // namespace
