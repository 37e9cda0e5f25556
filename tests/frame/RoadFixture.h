// A whole road through the program: a real frame of the test's own against a
// scripted news server. The window classes are registered and the server
// started before the test; the frame, if one was made, and the server end
// after it.
#pragma once
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>
#include "frame/FrameFixture.h"
#include "frame/GroupView.h"
#include "frame/MainFrame.h"
#include "support/MessageBoxRecorder.h"
#include "support/ScriptedNntpServer.h"

class RoadFixture : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    HWND List() { return frame->Groups()->List(); }

    ScriptedNntpServer server;
    MessageBoxRecorder boxes;
    FrameFixture env;
    MainFrame* frame = NULL;
};
