// The line connection against the scripted server: what goes on the wire and
// how the server's bytes come back as lines.
#include <gtest/gtest.h>
#include "ReaderSession.h"
#include "support/ScriptedNntpServer.h"

namespace {

class ConnectionTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }
    void Connect() { ASSERT_EQ("200 ready", session.Open(server.Port())); }

    ScriptedNntpServer server;
    ReaderSession session;
    NntpConnection& connection = session.Connection();
};

TEST_F(ConnectionTest, ConnectsByAddressAndNameFailsWithTheSocketsCodeAndLimitsLineLengths)
{
    ASSERT_TRUE(connection.Connect("127.0.0.1", 0x10000u + server.Port()));
    connection.Close();
    ASSERT_TRUE(connection.Connect("localhost", server.Port()));
    EXPECT_EQ("200 ready", session.Read());
    EXPECT_EQ(2, server.Connections());
    connection.Close();

    SetLastError(0);
    EXPECT_FALSE(connection.Connect("127.0.0.1", ScriptedNntpServer::UnusedPort()));
    EXPECT_NE(0u, GetLastError());
    EXPECT_TRUE(connection.HasSocket());
    connection.Close();
    connection.Close();
    EXPECT_FALSE(connection.HasSocket());
    NntpConnection unknown;
    EXPECT_FALSE(unknown.Connect("no-such-host.invalid", 119));

    Connect();
    std::string longest(4094, 'a');
    server.On(longest, "211 longest\r\n");
    EXPECT_EQ("211 longest\r\n", session.Ask(longest, FALSE));

    EXPECT_FALSE(connection.SendLine(std::string(4095, 'b').c_str()));
    EXPECT_EQ((DWORD)ERROR_MORE_DATA, GetLastError());
    EXPECT_FALSE(connection.SendLine("GROUP a\r\nQUIT"));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_FALSE(connection.SendLine("GROUP a\nb"));

    server.On("DATE", "111 20261206\r\n");
    EXPECT_EQ("111 20261206\r\n", session.Ask("DATE", FALSE));
    // Nothing of the refused commands reached the server.
    EXPECT_EQ(std::vector<std::string>({longest, "DATE"}), server.Commands());

    char line[kCommandLineSize];
    EXPECT_FALSE(JoinCommand(line, "GROUP ", std::string(4089, 'g').c_str()));
    EXPECT_EQ((DWORD)ERROR_MORE_DATA, GetLastError());
    EXPECT_TRUE(JoinCommand(line, "GROUP ", std::string(4088, 'g').c_str()));

    // Reply lines too long for the buffer fail and leave the rest in the stream.
    std::string fits(1021, 'f');
    std::string over(1022, 'o');
    server.On("FITS", fits + "\r\n");
    server.On("OVER", over + "\r\nafter\r\n");
    server.On("STRIPFITS", over + "\r\n");

    EXPECT_EQ(fits + "\r\n", session.Ask("FITS", FALSE));
    EXPECT_EQ("<failed 234>", session.Ask("OVER", FALSE));
    // The CR went into the full buffer; the LF left behind is data of the
    // next line, since no CR precedes it there.
    EXPECT_EQ("\nafter\r\n", session.Read(FALSE));
    EXPECT_EQ(over, session.Ask("STRIPFITS"));

    // A 2,000-byte line never writes past the buffer.
    char guarded[1040];
    memset(guarded, 0x5A, sizeof guarded);
    server.On("HUGE", std::string(2000, 'h') + "\r\n");
    ASSERT_TRUE(connection.SendLine("HUGE"));
    EXPECT_FALSE(connection.ReadLine(guarded, 1024, FALSE));
    EXPECT_EQ((DWORD)ERROR_MORE_DATA, GetLastError());
    EXPECT_EQ(0, guarded[1023]);
    for (size_t i = 1024; i < sizeof guarded; ++i)
        ASSERT_EQ(0x5A, guarded[i]);
}

TEST_F(ConnectionTest, SegmentsLineEndsNulBytesAndTheServerClosing)
{
    Connect();
    ScriptedReply split;
    split.pieces = {"22", "1 a", "b\r", "\nsecond\r\n"};
    split.pauseMs = 20;
    server.On("SPLIT", split);
    // Each reply and the lines read from it (strip drops the byte before the
    // LF); a line ends at the first LF after a CR, and a NUL fails its line.
    struct { const char* command; std::string reply; BOOL strip; std::vector<std::string> lines; } cases[] = {
        {"SPLIT", "", FALSE, {"221 ab\r\n", "second\r\n"}},
        {"MANY", "one\r\ntwo\r\nthree\r\n", FALSE, {"one\r\n", "two\r\n", "three\r\n"}},
        {"BARELF", "abc\ndef\r\n", FALSE, {"abc\ndef\r\n"}},
        {"CRINSIDE", "ab\rcd\nnext\r\n", TRUE, {"ab\rc", "next"}},
        {"HIGH", "x\xE0\xFFy\r\n", FALSE, {"x\xE0\xFFy\r\n"}},
        {"NUL", std::string("21\0 x\r\n", 7), FALSE, {"<failed 13>", " x\r\n"}},
    };
    for (const auto& c : cases) {
        if (!c.reply.empty())
            server.On(c.command, c.reply);
        EXPECT_EQ(c.lines[0], session.Ask(c.command, c.strip));
        for (size_t i = 1; i < c.lines.size(); ++i)
            EXPECT_EQ(c.lines[i], session.Read(c.strip)) << c.command;
    }

    server.On("BYE", "205 bye\r\n", true);
    EXPECT_EQ("205 bye\r\n", session.Ask("BYE", FALSE));
    char line[64];
    for (int i = 0; i < 3; ++i) {
        SetLastError(0);
        EXPECT_FALSE(connection.ReadLine(line, sizeof line, FALSE));
        EXPECT_EQ((DWORD)ERROR_HANDLE_EOF, GetLastError());
    }
}

}  // namespace
