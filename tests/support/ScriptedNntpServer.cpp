#include "support/ScriptedNntpServer.h"
#include <algorithm>
#include <chrono>

ScriptedNntpServer::ScriptedNntpServer()
{
    greeting_.pieces.push_back("200 ready\r\n");
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}

ScriptedNntpServer::~ScriptedNntpServer()
{
    Stop();
    WSACleanup();
}

unsigned short ScriptedNntpServer::BindLoopback(SOCKET socket)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(socket, (sockaddr*)&address, sizeof address) == SOCKET_ERROR ||
        getsockname(socket, (sockaddr*)&address, &length) == SOCKET_ERROR)
        return 0;
    return ntohs(address.sin_port);
}

unsigned short ScriptedNntpServer::UnusedPort()
{
    SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
    unsigned short port = BindLoopback(probe);
    closesocket(probe);
    return port;
}

bool ScriptedNntpServer::Start(DWORD watchdogMs)
{
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    if (listener_ == INVALID_SOCKET)
        return false;
    port_ = BindLoopback(listener_);
    if (!port_ || listen(listener_, 4) == SOCKET_ERROR) {
        closesocket(listener_);
        listener_ = INVALID_SOCKET;
        return false;
    }
    stopping_ = false;
    deadline_ = GetTickCount() + watchdogMs;
    thread_ = std::thread(&ScriptedNntpServer::Run, this);
    return true;
}

void ScriptedNntpServer::Stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    if (thread_.joinable())
        thread_.join();
    if (listener_ != INVALID_SOCKET) {
        closesocket(listener_);
        listener_ = INVALID_SOCKET;
    }
}

void ScriptedNntpServer::SetGreeting(const std::string& bytes, bool closeAfter)
{
    std::lock_guard<std::mutex> lock(mutex_);
    greeting_ = ScriptedReply();
    if (!bytes.empty())
        greeting_.pieces.push_back(bytes);
    greeting_.closeAfter = closeAfter;
}

void ScriptedNntpServer::On(const std::string& command, const std::string& bytes, bool closeAfter)
{
    ScriptedReply reply;
    if (!bytes.empty())
        reply.pieces.push_back(bytes);
    reply.closeAfter = closeAfter;
    On(command, reply);
}

void ScriptedNntpServer::On(const std::string& command, const ScriptedReply& reply)
{
    std::lock_guard<std::mutex> lock(mutex_);
    script_[command].push_back(reply);
}

void ScriptedNntpServer::AddArticle(unsigned number, const std::string& header, const std::string& body)
{
    std::string n = std::to_string(number);
    On("HEAD " + n, "221 " + n + " <" + n + "@test> head\r\n" + header + ".\r\n");
    On("BODY " + n, "222 " + n + " <" + n + "@test> body\r\n" + body + ".\r\n");
}

void ScriptedNntpServer::OfferDeflate(size_t piece)
{
    deflatedPiece_ = piece;
    On("CAPABILITIES", "101 list\r\nVERSION 2\r\nCOMPRESS DEFLATE\r\n.\r\n");
    ScriptedReply on;
    on.pieces = {"206 on\r\n"};
    on.startDeflate = true;
    On("COMPRESS DEFLATE", on);
}

// `in` through deflate or inflate, called again while it fills the output.
static std::string Pump(z_stream& z, int (*step)(z_streamp, int), const std::string& in, int flush)
{
    std::string out;
    z.next_in = (Bytef*)in.data();
    z.avail_in = (uInt)in.size();
    do {
        char buffer[4096];
        z.next_out = (Bytef*)buffer;
        z.avail_out = sizeof buffer;
        step(&z, flush);
        out.append(buffer, sizeof buffer - z.avail_out);
    } while (z.avail_out == 0);
    return out;
}

std::vector<std::string> ScriptedNntpServer::Commands()
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(1000), [&] { return !serving_; });
    return received_;
}

bool ScriptedNntpServer::WaitForCommands(size_t count, DWORD timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return received_.size() >= count; });
}

int ScriptedNntpServer::Connections()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_;
}

// Waits up to 50 ms for `socket` to be readable: 1 it is, 0 not yet, -1 the
// server stops or expired or the wait failed.
int ScriptedNntpServer::WaitReadable(SOCKET socket)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_ || (LONG)(GetTickCount() - deadline_) >= 0)
            return -1;
    }
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval wait = {0, 50000};
    return select(0, &readable, NULL, NULL, &wait) < 0 ? -1 : (int)FD_ISSET(socket, &readable);
}

void ScriptedNntpServer::Run()
{
    for (int ready; (ready = WaitReadable(listener_)) >= 0;) {
        SOCKET client = ready ? accept(listener_, NULL, NULL) : INVALID_SOCKET;
        if (client == INVALID_SOCKET)
            continue;
        BOOL noDelay = TRUE;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, (const char*)&noDelay, sizeof noDelay);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++connections_;
            serving_ = true;
        }
        deflater_ = inflater_ = {};
        deflateInit2(&deflater_, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        inflateInit2(&inflater_, -15);
        deflating_ = false;
        Serve(client);
        Close(client);
        deflateEnd(&deflater_);
        inflateEnd(&inflater_);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            serving_ = false;
        }
        changed_.notify_all();
    }
}

// Closes as a real server does: the client may still be sending commands,
// and a socket closed with those unread answers them with a reset, which the
// client can read before the end of the replies. So the sending side ends
// first, and what comes in is read and dropped until the client closes.
void ScriptedNntpServer::Close(SOCKET client)
{
    shutdown(client, SD_SEND);
    char chunk[4096];
    DWORD start = GetTickCount();
    for (int ready; GetTickCount() - start < 1000 && (ready = WaitReadable(client)) >= 0;)
        if (ready && recv(client, chunk, sizeof chunk, 0) <= 0)
            break;
    closesocket(client);
}

bool ScriptedNntpServer::SendReply(SOCKET client, const ScriptedReply& reply)
{
    std::vector<std::string> pieces = reply.pieces;
    if (deflating_ && !reply.raw) {
        std::string plain;
        for (const std::string& piece : pieces)
            plain += piece;
        std::string packed = Pump(deflater_, deflate, plain, Z_PARTIAL_FLUSH);
        packed.resize(reply.cutDeflated && packed.size() > 4 ? packed.size() - 4 : packed.size());
        pieces.clear();
        size_t step = deflatedPiece_ ? deflatedPiece_ : packed.size();
        for (size_t at = 0; at < packed.size(); at += step)
            pieces.push_back(packed.substr(at, step));
    }
    deflating_ = deflating_ || reply.startDeflate;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i && reply.pauseMs)
            Sleep(reply.pauseMs);
        const std::string& piece = pieces[i];
        size_t sent = 0;
        while (sent < piece.size()) {
            int count = send(client, piece.data() + sent, (int)(piece.size() - sent), 0);
            if (count <= 0)
                return false;
            sent += count;
        }
    }
    return !reply.closeAfter && !reply.cutDeflated;
}

void ScriptedNntpServer::Serve(SOCKET client)
{
    ScriptedReply greeting;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        greeting = greeting_;
    }
    if (!SendReply(client, greeting))
        return;
    std::string pending;
    std::string article;
    bool inArticle = false;
    char chunk[4096];
    for (int ready; (ready = WaitReadable(client)) >= 0;) {
        if (!ready)
            continue;
        int count = recv(client, chunk, sizeof chunk, 0);
        if (count <= 0)
            return;
        pending += deflating_ ? Pump(inflater_, inflate, std::string(chunk, count), Z_SYNC_FLUSH)
                              : std::string(chunk, count);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            mostAtOnce_ = std::max(mostAtOnce_, (size_t)std::count(pending.begin(), pending.end(), '\n'));
        }
        size_t end;
        while ((end = pending.find("\r\n")) != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 2);
            if (inArticle && line != ".") {
                article += line + "\r\n";
                continue;
            }
            ScriptedReply reply;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                received_.push_back(line);
                auto found = script_.find(line);
                std::string taken = inArticle ? TakeArticle(article) : "";
                if (found == script_.end() || found->second.empty()) {
                    reply.pieces.push_back(default_);
                    if (inArticle)
                        reply.pieces[0] = taken;
                    else if (acceptPosts_ && line == "POST")
                        reply.pieces[0] = "340 send article\r\n";
                    else if (acceptPosts_ && line.compare(0, 5, "STAT ") == 0)
                        reply.pieces[0] = taken_.count(line.substr(5)) ? "223 0 " + line.substr(5) + "\r\n"
                                                                        : "430 no such article\r\n";
                } else {
                    reply = found->second.front();
                    if (found->second.size() > 1)
                        found->second.pop_front();
                }
            }
            changed_.notify_all();
            if (line == "QUIT" && reply.pieces.size() == 1 && reply.pieces[0] == default_) {
                reply.pieces[0] = "205 bye\r\n";
                reply.closeAfter = true;
            }
            inArticle = !reply.pieces.empty() && reply.pieces[0].compare(0, 3, "340") == 0;
            article.clear();
            if (!SendReply(client, reply))
                return;
        }
    }
}

// Called with the lock held: keeps the article, the answer to its ".".
std::string ScriptedNntpServer::TakeArticle(const std::string& article)
{
    size_t at = article.find("\r\nMessage-ID: ");
    std::string id = at == std::string::npos ? "" : article.substr(at + 14, article.find("\r\n", at + 14) - at - 14);
    if (taken_.count(id))
        return "441 435 Duplicate\r\n";
    taken_[id] = true;
    articles_.push_back(article);
    return "240 article posted ok\r\n";
}
