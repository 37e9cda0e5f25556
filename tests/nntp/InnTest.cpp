// Against a real news server: the INN that tools/test.sh runs on loopback
// and names in PELORA_INN_PORT. Japanese articles posted through its reader
// port are fetched by the patrol one command at a time and pipelined, each
// plain and compressed, and through TLS from INN's reader daemons in
// PELORA_INN_TLS_PORT: every pass stores exactly what was posted.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <map>
#include <thread>
#include "PatrolHarness.h"
#include "ReaderSession.h"
#include "nntp/GroupListFixture.h"
#include "support/ImportPatch.h"
#include "nntp/SecureStart.h"
#include "nntp/SocketLayer.h"
#include "nntp/TrustAnchors.h"
#include "store/Outbox.h"
#include "text/DraftText.h"
#include <wincrypt.h>

namespace {

const wchar_t* const kGroups[] = {L"pelora.test.alpha", L"pelora.test.beta", L"pelora.test.gamma"};
const int kPerGroup = 4;

// What the socket receives while a Recording lives: deflated, it shows none
// of the group names.
std::string g_received;
void* g_recv;

int WSAAPI RecordingRecv(SOCKET s, char* buffer, int length, int flags)
{
    int got = ((int(WSAAPI*)(SOCKET, char*, int, int))g_recv)(s, buffer, length, flags);
    g_received.append(buffer, got > 0 ? got : 0);
    return got;
}

struct Recording {
    Recording() { g_recv = patch.Original(), g_received.clear(); }
    ImportPatch patch{"ws2_32.dll", "recv", (void*)RecordingRecv};
};

// Passes one connection on to 127.0.0.1:`target` and keeps what the client
// sent, so that the records after its handshake can be counted.
class Relay {
public:
    explicit Relay(unsigned short target)
    {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        port = ScriptedNntpServer::BindLoopback(listener_);
        listen(listener_, 1);
        thread_ = std::thread([this, target] {
            SOCKET ends[2] = {accept(listener_, NULL, NULL), socket(AF_INET, SOCK_STREAM, 0)};
            sockaddr_in address = {};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(target);
            connect(ends[1], (sockaddr*)&address, sizeof address);
            char buffer[16384];
            for (timeval wait = {10, 0};;) {
                fd_set readable;
                FD_ZERO(&readable);
                FD_SET(ends[0], &readable);
                FD_SET(ends[1], &readable);
                int from = select(0, &readable, NULL, NULL, &wait) <= 0 ? -1 : FD_ISSET(ends[0], &readable) ? 0 : 1;
                int count = from < 0 ? 0 : recv(ends[from], buffer, sizeof buffer, 0);
                if (count <= 0)
                    break;
                if (from == 0)
                    sent.append(buffer, count);
                send(ends[1 - from], buffer, count, 0);
            }
            closesocket(ends[0]);
            closesocket(ends[1]);
        });
    }
    // The TLS records the client sent after its ChangeCipherSpec; -1 when it
    // sent none.
    int RecordsAfterHandshake()
    {
        thread_.join();
        closesocket(listener_);
        int after = -1;
        for (size_t at = 0; at + 5 <= sent.size(); at += 5 + ((BYTE)sent[at + 3] << 8 | (BYTE)sent[at + 4]))
            after = after >= 0 ? after + 1 : sent[at] == 20 ? 0 : -1;
        return after;
    }

    unsigned short port;
    std::string sent;
    SOCKET listener_;
    std::thread thread_;
};

// Adds tools/inn.sh's test root to the roots the TLS layer trusts, or takes
// it away again.
void TrustTestRoot(bool trust)
{
    static std::string dn;
    static br_x509_decoder_context decoder;
    static br_x509_trust_anchor anchor;
    SetExtraTrustAnchor(NULL);
    if (!trust)
        return;
    std::string path = std::string("Z:") + getenv("PELORA_INN_TLS_ROOT");
    std::string root = ReadBytes(std::wstring(path.begin(), path.end()), "");
    ASSERT_FALSE(root.empty()) << path;
    dn.clear();
    auto append = [](void* to, const void* data, size_t length) { ((std::string*)to)->append((const char*)data, length); };
    br_x509_decoder_init(&decoder, append, &dn);
    br_x509_decoder_push(&decoder, root.data(), root.size());
    ASSERT_TRUE(br_x509_decoder_get_pkey(&decoder)) << path;
    anchor = {{(unsigned char*)dn.data(), dn.size()}, BR_X509_TA_CA, *br_x509_decoder_get_pkey(&decoder)};
    SetExtraTrustAnchor(&anchor);
}

// The last article number of `group` (its first less one when empty) as a
// new session sees it: a session sees a group's new end only when it starts.
DWORD Last(unsigned short port, const std::wstring& group)
{
    ReaderSession inn;
    inn.Open(port);
    inn.Ask("MODE READER");
    unsigned long code = 0, count = 0, first = 0, last = 0;
    sscanf(inn.Ask("GROUP " + Sjis(group)).c_str(), "%lu %lu %lu %lu", &code, &count, &first, &last);
    return count ? (DWORD)last : (DWORD)first - 1;
}

// Article n as posted (ISO-2022-JP, folded fields, lines to stuff) and the
// block the patrol stores for it as article `number`.
std::vector<std::string> Posted(const std::string& group, const std::string& tag, const std::string& date,
                                int n)
{
    std::string id = "<pelora." + tag + "." + group + "." + std::to_string(n) + "@example.test>";
    return {
        "From: =?ISO-2022-JP?B?GyRCQixEahsoQg==?= <taro@example.test>",
        "Newsgroups: " + group,
        "Subject: =?ISO-2022-JP?B?GyRCJEYkOSRIGyhC?= " + tag + " " + std::to_string(n),
        "Date: " + date,
        "Message-ID: " + id,
        "References: <first." + tag + "@example.test>",
        "\t<second." + tag + "@example.test>",
        "Content-Type: text/plain; charset=ISO-2022-JP",
        "X-Folded: one",
        " two",
        "",
        "\x1b$B$3$s$K$A$O\x1b(B",
        ".dotted line " + std::to_string(n),
        "..",
        "last",
    };
}

std::string Stored(const std::string& group, const std::string& tag, const std::string& date, int n,
                   DWORD number)
{
    std::string id = tag + "." + group + "." + std::to_string(n);
    return ArticleBlock("From: \x91\xaa\x92\xe8 <taro@example.test>\nNewsgroups: " + group + "\n"
                        "Subject: \x82\xc4\x82\xb7\x82\xc6 " + tag + " " + std::to_string(n) + "\nDate: " + date + "\n"
                        "Message-ID: <pelora." + id + "@example.test>\n"
                        "References: <first." + tag + "@example.test><second." + tag + "@example.test>",
                        number,
                        "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\n.dotted line " + std::to_string(n) + "\n..\nlast");
}

TEST(Inn, PatrolAndGroupListInBothSettingsStoreWhatWasPosted)
{
    const char* portText = getenv("PELORA_INN_PORT");
    if (!portText || !*portText)
        GTEST_SKIP() << "no INN: tools/test.sh starts one on 127.0.0.1 and names its port in PELORA_INN_PORT";
    unsigned short port = (unsigned short)atoi(portText);
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);

    std::string tag = std::to_string(GetTickCount()) + "x" + std::to_string(GetCurrentProcessId());
    SYSTEMTIME now;
    GetSystemTime(&now);
    const LCID english = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);
    char day[32], time[16];
    GetDateFormatA(english, 0, &now, "ddd, d MMM yyyy", day, sizeof day);
    GetTimeFormatA(english, 0, &now, "HH':'mm':'ss", time, sizeof time);
    std::string date = std::string(day) + " " + time + " +0000";
    DWORD before[3];
    {
        ReaderSession inn;
        ASSERT_EQ('2', inn.Open(port)[0]) << "INN does not answer on 127.0.0.1:" << port;
        inn.Ask("MODE READER");
        for (int g = 0; g < 3; ++g) {
            before[g] = Last(port, kGroups[g]);
            for (int n = 1; n <= kPerGroup; ++n) {
                std::string reply = inn.Post(Posted(Sjis(kGroups[g]), tag, date, n));
                ASSERT_EQ('2', reply[0]) << "INN refused the post: " << reply;
            }
        }
    }
    for (int g = 0; g < 3; ++g)
        for (int tries = 0; Last(port, kGroups[g]) != before[g] + kPerGroup; ++tries) {
            ASSERT_LT(tries, 50) << "the posted articles did not arrive in " << Sjis(kGroups[g]);
            Sleep(100);
        }

    // Pipelining 0 and 1, then both again compressed; a group INN does not
    // have is refused alike, pipelined its numbers asked for with the others'.
    PatrolHarness passes[4];
    PatrolHarness& single = passes[0];
    for (int p = 0; p < 4; ++p) {
        passes[p].AddGroup(L"pelora.test.nosuch", 7, 7);
        for (int g = 0; g < 3; ++g)
            passes[p].AddGroup(kGroups[g], before[g], before[g]);
        passes[p].SetPipelining(p & 1);
        passes[p].SetCompress(p >> 1);
        Recording recording;
        DownloadResult result = passes[p].RunDirect(port, 100);
        ASSERT_EQ((DWORD)StatusOk, result.status) << Sjis(result.caption) << ": " << Sjis(result.text);
        EXPECT_EQ(p < 2, g_received.find(Sjis(kGroups[0])) != std::string::npos) << p;
        EXPECT_EQ(single.Group(L"pelora.test.nosuch", L".idx"), passes[p].Group(L"pelora.test.nosuch", L".idx"));
    }
    for (int g = 0; g < 3; ++g) {
        const std::wstring group = kGroups[g];
        std::string log;
        for (int n = 1; n <= kPerGroup; ++n)
            log += Stored(Sjis(group), tag, date, n, before[g] + n);
        for (int p = 0; p < 4; ++p) {
            EXPECT_EQ(log, passes[p].Group(group, L".log")) << p;
            EXPECT_EQ(single.Group(group, L".idx"), passes[p].Group(group, L".idx")) << Sjis(group) << p;
        }
        DWORD last = before[g] + kPerGroup;
        EXPECT_EQ(IndexHeaderBytes(last, last, 0, kPerGroup, 0, Sjis(L"4件の記事を取得しました。"), kPerGroup, 0, 0),
                  single.Group(group, L".idx").substr(0, 100));
    }

    // Plain into the first pass's folder, compressed into the third's.
    for (DWORD compress = 0; compress < 2; ++compress) {
        const std::wstring& data = passes[2 * compress].DataPath();
        Recording recording;
        EXPECT_EQ(L"", FetchGroupList(data + L"active.dat", data + L"category.dat", port, NULL, NULL, 0, NULL, compress));
        EXPECT_EQ(compress == 0, g_received.find(Sjis(kGroups[0])) != std::string::npos);
    }
    EXPECT_EQ(single.File(L"active.dat") + single.File(L"category.dat"),
              passes[2].File(L"active.dat") + passes[2].File(L"category.dat"));
    std::string list = "\r\n" + single.File(L"active.dat");
    for (const wchar_t* group : kGroups)
        EXPECT_NE(std::string::npos, list.find("\r\n" + Sjis(group) + "\r\n")) << Sjis(group);
    EXPECT_NE(std::string::npos, ("\r\n" + single.File(L"category.dat")).find("\r\npelora\r\n"));

    const char* tlsText = getenv("PELORA_INN_TLS_PORT");
    if (!tlsText || !*tlsText)
        GTEST_SKIP() << "no TLS daemons: tools/test.sh starts them (tools/inn.sh tls)";
    const unsigned short tls = (unsigned short)atoi(tlsText);
    // Refused before anything but the handshake, the certificates with the
    // fingerprint to store; the connection is closed, so no QUIT either. A
    // stored fingerprint is the only certificate let in, even beside a
    // trusted root. Refused dates show beside the device's date.
    const wchar_t* otherPin = L"00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF:00:11:22:33:44:55:66:77:88:99:AA:BB:"
                              L"CC:DD:EE:FF";
    wchar_t today[64];
    swprintf(today, 64, L"この機器の日付: %04u/%02u/%02u\n証明書の有効期間: ", now.wYear, now.wMonth, now.wDay);
    struct Refusal {
        unsigned short port;
        DWORD security;
        const wchar_t* reason;
        bool trusted;
        const wchar_t* pin;
        const wchar_t* validity;   // none when the certificate was never judged
    } const refusals[] = {
        {port, kSecurityStartTls, L"サーバがSTARTTLSを拒否しました。暗号化せずには接続しません : 580 ", false, L"", NULL},
        {(unsigned short)(tls + 1), kSecurityNone, L"サーバは暗号化した接続でなければ認証しません。", false, L"", NULL},
        {tls, kSecurityTls, L"サーバの証明書は信頼できる発行元のものではありません。", false, L"", L""},
        {(unsigned short)(tls + 2), kSecurityTls, L"サーバの証明書は 127.0.0.1 のものではありません。", true, L"", L""},
        {(unsigned short)(tls + 3), kSecurityTls, L"サーバの証明書は有効期限が切れています。", true, L"",
         L"2020/01/01～2021/01/01"},
        {(unsigned short)(tls + 5), kSecurityTls, L"サーバの証明書はまだ有効になっていません。", true, L"",
         L"2040/01/01～2041/01/01"},
        {tls, kSecurityTls, L"サーバの証明書は、プロパティの「接続」に入れた指紋のものではありません。", true, otherPin, L""},
        {(unsigned short)(tls + 6), kSecurityTls, L"SSL/TLSの接続を始められませんでした(50)。", true, L"", NULL},
    };
    std::map<unsigned short, std::wstring> fingerprints;
    std::wstring active = single.DataPath() + L"active.dat", category = single.DataPath() + L"category.dat";
    for (const Refusal& refusal : refusals) {
        TrustTestRoot(refusal.trusted);
        PatrolHarness refused;
        refused.AddGroup(kGroups[0], before[0], before[0]);
        refused.SetSecurity(refusal.security, refusal.pin);
        Relay relay(refusal.port);
        DownloadResult result = refused.RunDirect(relay.port, 100, "pelora", "tls-only");
        // Only the handshake's own Finished follows the change of cipher.
        EXPECT_EQ(refusal.validity ? 1 : -1, relay.RecordsAfterHandshake()) << refusal.port;
        std::wstring text = result.text;
        EXPECT_EQ(0u, text.find(refusal.reason)) << refusal.port << ": " << Sjis(text);
        EXPECT_EQ(text,
                  FetchGroupList(active, category, refusal.port, "pelora", "tls-only", refusal.security, refusal.pin));
        EXPECT_EQ("", refused.Group(kGroups[0], L".log"));
        const std::wstring label = L"(SHA-256):\n";
        size_t shown = text.find(label);
        EXPECT_EQ(refusal.validity != NULL, shown != std::wstring::npos) << refusal.port;
        if (refusal.validity && *refusal.validity) {
            EXPECT_NE(std::wstring::npos, text.find(today + std::wstring(refusal.validity))) << Sjis(text);
        }
        if (shown == std::wstring::npos)
            continue;
        std::wstring& kept = fingerprints[refusal.port];
        if (!*refusal.pin)
            kept = text.substr(shown + label.size(), 95);
        EXPECT_EQ(kept, text.substr(shown + label.size(), 95));
    }
    TrustTestRoot(false);
    // The stored fingerprint alone lets the untrusted certificate in, and a
    // certificate not yet valid by the device's clock; the trusted root lets
    // in both kinds without one (STARTTLS pipelined and compressed inside TLS).
    const DWORD kinds[] = {kSecurityTls, kSecurityTls, kSecurityStartTls, kSecurityTls};
    const unsigned short ports[] = {tls, tls, (unsigned short)(tls + 1), (unsigned short)(tls + 5)};
    for (int p = 0; p < 4; ++p) {
        if (p == 1)
            TrustTestRoot(true);
        const std::wstring pin = p == 1 || p == 2 ? L"" : fingerprints[ports[p]];
        PatrolHarness secured;
        secured.SetSecurity(kinds[p], pin);
        secured.SetPipelining(p == 2);
        secured.SetCompress(p == 2);
        for (int g = 0; g < 3; ++g)
            secured.AddGroup(kGroups[g], before[g], before[g]);
        DownloadResult result = secured.RunDirect(ports[p], 100, "pelora", "tls-only");
        ASSERT_EQ((DWORD)StatusOk, result.status) << p << " " << Sjis(result.caption) << ": " << Sjis(result.text);
        EXPECT_EQ(L"", FetchGroupList(secured.DataPath() + L"active.dat", secured.DataPath() + L"category.dat",
                                      ports[p], "pelora", "tls-only", kinds[p], pin.c_str(), p == 2));
        for (int g = 0; g < 3; ++g)
            for (const wchar_t* extension : {L".log", L".idx"})
                EXPECT_EQ(single.Group(kGroups[g], extension), secured.Group(kGroups[g], extension)) << p;
        for (const wchar_t* list : {L"active.dat", L"category.dat"})
            EXPECT_EQ(single.File(list), secured.File(list)) << p;
    }
    TrustTestRoot(false);
    WSACleanup();
}

// The engine's name check: a one-level wildcard covers the names one level
// under its domain and no other; SNI carries a host name, never an address.
TEST(Inn, WildcardCertificateCoversOneLevel)
{
    const char* tlsText = getenv("PELORA_INN_TLS_PORT");
    if (!tlsText || !*tlsText)
        GTEST_SKIP() << "no TLS daemons: tools/test.sh starts them (tools/inn.sh tls)";
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    TrustTestRoot(true);
    struct { const char* name; CertificateVerdict verdict; } const names[] = {
        {"news.pelora.test", kCertificateTrusted},     {"pelora.test", kCertificateWrongName},
        {"a.news.pelora.test", kCertificateWrongName}, {"news.other.test", kCertificateWrongName},
        {"127.0.0.1", kCertificateWrongName},
    };
    for (const auto& name : names) {
        Relay relay((unsigned short)(atoi(tlsText) + 4));
        SocketLayer socket;
        socket.Init();
        SecureLayer* layer = CreateSecureLayer();
        CertificateVerdict verdict = kCertificateUntrusted;
        char fingerprint[kFingerprintSize];
        CertificateDates dates;
        EXPECT_TRUE(socket.Connect("127.0.0.1", relay.port) && layer->Handshake(&socket, name.name) &&
                    layer->CheckCertificate(name.name, &verdict, fingerprint, &dates))
            << name.name << " " << GetLastError();
        EXPECT_EQ(name.verdict, verdict) << name.name;
        layer->Destroy();
        socket.Close();
        relay.RecordsAfterHandshake();
        EXPECT_EQ(name.name[0] != '1', relay.sent.find(name.name) != std::string::npos) << name.name;
    }
    TrustTestRoot(false);
    WSACleanup();
}

// Posts composed offline go out with the next patrol and come back with the
// one after it as they were written; sent again they count as posted; a
// group INN does not carry refuses one, a reader without posting keeps it.
TEST(Inn, PostsGoOutOnceAndComeBackAsComposed)
{
    const char* portText = getenv("PELORA_INN_PORT");
    if (!portText || !*portText)
        GTEST_SKIP() << "no INN: tools/test.sh starts one on 127.0.0.1 and names its port in PELORA_INN_PORT";
    unsigned short port = (unsigned short)atoi(portText);
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    const std::string group = Sjis(kGroups[0]);
    const std::string tag = std::to_string(GetTickCount()) + "p" + std::to_string(GetCurrentProcessId());
    const std::string name = Sjis(L"山田 太郎"), subject = Sjis(L"日本語の投稿 ") + tag;
    const std::string body = Sjis(L"こんにちは、カタカナと漢字。\r\n.dotted\r\n\r\n最後の行\r\n");
    const Poster poster = {name.c_str(), "taro@example.test", "Pelora"};
    DWORD before = Last(port, kGroups[0]);

    PatrolHarness harness;
    harness.SetPoster(poster);
    harness.AddGroup(kGroups[0], before, before);
    const std::wstring& data = harness.DataPath();
    CreateDirectoryW((data + L"draft").c_str(), NULL);
    auto queue = [&](const std::string& text) {
        wchar_t path[kStorePathCapacity];
        Outbox::PathOf(data.c_str(), Outbox::NewId(data.c_str()), path);
        EXPECT_TRUE(Outbox::Queue(path, text.data(), text.size(), poster.address));
        return std::wstring(path);
    };
    auto field = [](const std::wstring& path, const char* name) {
        std::string text = ReadBytes(path, "<gone>");
        const char* value;
        size_t length;
        return DraftField(text.data(), text.size(), name, &value, &length) ? std::string(value, length) : text;
    };
    std::wstring first = queue("Newsgroups: " + group + "\r\nSubject: " + subject + "\r\n\r\n" + body);
    std::string firstText = ReadBytes(first), firstId = field(first, "Message-ID");
    std::wstring reply = queue("Newsgroups: " + group + "\r\nSubject: Re: " + subject + "\r\nReferences: " + firstId +
                               "\r\n\r\n> " + Sjis(L"こんにちは") + "\r\n" + Sjis(L"はい。") + "\r\n");
    std::string replyId = field(reply, "Message-ID");

    DownloadResult result = harness.RunDirect(port);
    ASSERT_EQ((DWORD)StatusOk, result.status) << Sjis(result.caption) << ": " << Sjis(result.text);
    EXPECT_EQ(2u, harness.Posted());
    EXPECT_EQ("<gone>", ReadBytes(first, "<gone>"));
    EXPECT_EQ("<gone>", ReadBytes(reply, "<gone>"));
    result = harness.RunDirect(port);
    std::string log = harness.Group(kGroups[0], L".log");
    for (const std::string& piece :
         {"From: " + name + " <taro@example.test>\r\n", "\r\nSubject: " + subject + "\r\n",
          "\r\nMessage-ID: " + firstId + "\r\n", "\r\n\r\n" + body + "================\r\n",
          "\r\nSubject: Re: " + subject + "\r\n", "\r\nMessage-ID: " + replyId + "\r\n",
          "\r\nReferences: " + firstId + "\r\n"})
        EXPECT_NE(std::string::npos, log.find(piece)) << piece;
    {
        ReaderSession inn;
        inn.Open(port);
        inn.Ask("MODE READER");
        ASSERT_EQ("220", inn.Ask("ARTICLE " + firstId).substr(0, 3));
        std::string raw;
        for (const std::string& line : inn.ReadList())
            raw += line;
        for (const std::string& piece : {std::string("\r\nSubject: =?ISO-2022-JP?B?"), "\r\nMessage-ID: " + firstId + "\r\n",
                                        std::string("\r\nFrom: =?ISO-2022-JP?B?"), std::string("\r\n..dotted\r\n"),
                                        std::string("\r\n\x1b$B$3$s$K$A$O!\"%+%?%+%J$H4A;z!#\x1b(B\r\n"),
                                        std::string("\r\nUser-Agent: Pelora/1.1\r\n")})
            EXPECT_NE(std::string::npos, raw.find(piece)) << piece;
    }

    // Sent again with its Message-ID: INN's duplicate answer counts as posted.
    ASSERT_TRUE(WriteBytes(first, firstText));
    std::wstring refused = queue("Newsgroups: pelora.nosuch." + tag + "\r\nSubject: s\r\n\r\nb\r\n");
    result = harness.RunDirect(port);
    EXPECT_EQ(1u, harness.Posted());
    EXPECT_EQ(1u, harness.Refused());
    EXPECT_EQ("<gone>", ReadBytes(first, "<gone>"));
    EXPECT_EQ("refused", field(refused, kPostStateField));
    EXPECT_EQ("441 ", field(refused, kPostReplyField).substr(0, 4));

    // A reader daemon that lets this user read only answers 440: still queued.
    const char* tlsText = getenv("PELORA_INN_TLS_PORT");
    if (!tlsText || !*tlsText)
        GTEST_SKIP() << "no TLS daemons: tools/test.sh starts them (tools/inn.sh tls)";
    std::wstring held = queue("Newsgroups: " + group + "\r\nSubject: s\r\n\r\nb\r\n");
    TrustTestRoot(true);
    harness.SetSecurity(kSecurityTls);
    result = harness.RunDirect((unsigned short)atoi(tlsText), 100, "pelora", "tls-only");
    TrustTestRoot(false);
    EXPECT_EQ((DWORD)StatusOk, result.status) << Sjis(result.text);
    EXPECT_EQ("queued", field(held, kPostStateField));
    EXPECT_EQ("440 ", field(held, kPostReplyField).substr(0, 4));
    WSACleanup();
}

}  // namespace
