// A whole road through the program: a real frame of the test's own against a
// scripted news server, started before the test and stopped after it.
#pragma once
#include <winsock2.h>
#include "frame/FrameFixture.h"
#include "support/ScriptedNntpServer.h"

class RoadFixture : public FrameFixture {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start(30000));
        server.On("QUIT", "205 bye\r\n");
    }
    void TearDown() override
    {
        Close();
        server.Stop();
    }
    // The frame's pump, until `count` boxes were shown or ten seconds passed.
    void WaitForBoxes(size_t count)
    {
        for (int waited = 0; boxes.Boxes().size() < count && waited < 10000; waited += 20) {
            Pump();
            Sleep(20);
        }
    }

    ScriptedNntpServer server;
};
