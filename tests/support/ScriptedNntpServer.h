// A news server for tests: a thread on 127.0.0.1 (ephemeral port) that greets
// each connection and answers each command line from a script, recording
// every line it received. Every wait is bounded: a test that goes wrong
// fails instead of hanging, and Stop (or the watchdog) closes the client's
// connection so that a client blocked in recv is released.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <zlib.h>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ScriptedReply {
    // Raw bytes, each piece sent by one send() of its own (so a reply can be
    // split across segments on purpose); one piece is the normal case.
    std::vector<std::string> pieces;
    bool closeAfter = false;     // close the connection after sending
    DWORD pauseMs = 0;           // pause between pieces
    // After a startDeflate reply both ways are raw deflate, each reply
    // flushed as news servers do, but for a raw one (a corrupt stream) and
    // a cut one, which loses its last 4 deflated bytes and the connection.
    bool startDeflate = false, raw = false, cutDeflated = false;
};

class ScriptedNntpServer {
public:
    ScriptedNntpServer();
    ~ScriptedNntpServer();

    // Listens on 127.0.0.1 with an ephemeral port; false when that fails.
    // `watchdogMs` bounds the server's whole life: past it every connection
    // is closed and no more are accepted.
    bool Start(DWORD watchdogMs = 20000);
    void Stop();
    unsigned short Port() const { return port_; }
    // A loopback port that was free a moment ago and that nobody listens on
    // (sockets must be started).
    static unsigned short UnusedPort();
    // Binds `socket` to an ephemeral loopback port: that port, 0 on failure.
    static unsigned short BindLoopback(SOCKET socket);

    // Sent on accepting a connection ("200 ready\r\n" unless changed).
    void SetGreeting(const std::string& bytes, bool closeAfter = false);
    // The reply to one exact command line (without CR LF). Replies given for
    // one line are used in turn; the last one keeps answering.
    void On(const std::string& command, const std::string& bytes, bool closeAfter = false);
    void On(const std::string& command, const ScriptedReply& reply);

    // Convenience: "HEAD n" and "BODY n" of one article. `header` and `body`
    // are raw lines with CR LF; the body is sent as given (stuff dots
    // yourself) and both get the terminating ".\r\n".
    void AddArticle(unsigned number, const std::string& header, const std::string& body);
    // CAPABILITIES with COMPRESS DEFLATE, which answers 206; deflated
    // replies go out in sends of `piece` bytes (0: whole).
    void OfferDeflate(size_t piece = 0);

    // POST as a news server takes it: 340, the article up to ".", kept (even
    // when a scripted "." answers it otherwise), then 240, or "441 435
    // Duplicate" for a Message-ID already taken; "STAT <id>" answers 223
    // or 430. Scripted lines still answer first. After any 340 the lines up
    // to "." are the article's, not commands.
    void AcceptPosts() { std::lock_guard<std::mutex> lock(mutex_); acceptPosts_ = true; }
    // The articles received, each as it came (dot-stuffed, CR LF), without ".".
    std::vector<std::string> Articles() { std::lock_guard<std::mutex> lock(mutex_); return articles_; }
    // Every command line received, in order, without its CR LF. Waits a
    // moment for a connection still being served, so that a client's last
    // line (a QUIT sent without waiting for its reply) is in.
    std::vector<std::string> Commands();
    // Waits until `count` lines were received; false after `timeoutMs`.
    bool WaitForCommands(size_t count, DWORD timeoutMs);
    int Connections();
    // The most command lines one receive brought: more than two means that
    // the commands of several articles were in flight together.
    size_t MostLinesAtOnce() { std::lock_guard<std::mutex> lock(mutex_); return mostAtOnce_; }

private:
    int WaitReadable(SOCKET socket);
    void Run();
    void Serve(SOCKET client);
    void Close(SOCKET client);
    bool SendReply(SOCKET client, const ScriptedReply& reply);
    std::string TakeArticle(const std::string& article);

    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    DWORD deadline_ = 0;
    ScriptedReply greeting_;
    std::string default_ = "500 unknown command\r\n";   // the answer to lines nobody scripted
    std::map<std::string, std::deque<ScriptedReply>> script_;
    std::vector<std::string> received_;
    int connections_ = 0;
    bool serving_ = false;
    size_t mostAtOnce_ = 0;
    bool acceptPosts_ = false;
    std::vector<std::string> articles_;
    std::map<std::string, bool> taken_;   // Message-IDs of the articles kept
    size_t deflatedPiece_ = 0;
    bool deflating_ = false;
    z_stream deflater_, inflater_;
};
