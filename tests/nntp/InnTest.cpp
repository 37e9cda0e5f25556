// Against a real news server: the INN that tools/test.sh runs on loopback
// and names in PELORA_INN_PORT. Japanese articles posted through its reader
// port are fetched by the patrol one command at a time and pipelined, each
// plain and compressed: every pass stores exactly what was posted.
#include <gtest/gtest.h>
#include <stdlib.h>
#include "PatrolHarness.h"
#include "ReaderSession.h"
#include "nntp/GroupListFixture.h"
#include "support/ImportPatch.h"

namespace {

const wchar_t* const kGroups[] = {L"pelora.test.alpha", L"pelora.test.beta", L"pelora.test.gamma"};
const int kPerGroup = 4;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

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

// The last article number of `group` (its first less one when empty) as a
// new session sees it: a session sees a group's new end only when it starts.
DWORD Last(unsigned short port, const std::wstring& group)
{
    ReaderSession inn;
    inn.Open(port);
    inn.Ask("MODE READER");
    unsigned long code = 0, count = 0, first = 0, last = 0;
    sscanf(inn.Ask("GROUP " + Narrow(group)).c_str(), "%lu %lu %lu %lu", &code, &count, &first, &last);
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
    return "From: \x91\xaa\x92\xe8 <taro@example.test>\r\n"
           "Newsgroups: " + group + "\r\n"
           "Subject: \x82\xc4\x82\xb7\x82\xc6 " + tag + " " + std::to_string(n) + "\r\n"
           "Date: " + date + "\r\n"
           "Message-ID: <pelora." + tag + "." + group + "." + std::to_string(n) + "@example.test>\r\n"
           "References: <first." + tag + "@example.test><second." + tag + "@example.test>\r\n"
           "X-Local-Seq: " + std::to_string(number) + "\r\n"
           "\r\n"
           "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\r\n"
           ".dotted line " + std::to_string(n) + "\r\n"
           "..\r\n"
           "last\r\n"
           "================\r\n";
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
                std::string reply = inn.Post(Posted(Narrow(kGroups[g]), tag, date, n));
                ASSERT_EQ('2', reply[0]) << "INN refused the post: " << reply;
            }
        }
    }
    for (int g = 0; g < 3; ++g)
        for (int tries = 0; Last(port, kGroups[g]) != before[g] + kPerGroup; ++tries) {
            ASSERT_LT(tries, 50) << "the posted articles did not arrive in " << Narrow(kGroups[g]);
            Sleep(100);
        }

    // Pipelining 0 and 1, then both again compressed.
    PatrolHarness passes[4];
    PatrolHarness& single = passes[0];
    for (int p = 0; p < 4; ++p) {
        for (int g = 0; g < 3; ++g)
            passes[p].AddGroup(kGroups[g], before[g], before[g]);
        passes[p].SetPipelining(p & 1);
        passes[p].SetCompress(p >> 1);
        Recording recording;
        DownloadResult result = passes[p].RunDirect(port, 100);
        ASSERT_EQ((DWORD)StatusOk, result.status) << Narrow(result.caption) << ": " << Narrow(result.text);
        EXPECT_EQ(p < 2, g_received.find(Narrow(kGroups[0])) != std::string::npos) << p;
    }
    for (int g = 0; g < 3; ++g) {
        const std::wstring group = kGroups[g];
        std::string log;
        for (int n = 1; n <= kPerGroup; ++n)
            log += Stored(Narrow(group), tag, date, n, before[g] + n);
        for (int p = 0; p < 4; ++p) {
            EXPECT_EQ(log, passes[p].Group(group, L".log")) << p;
            EXPECT_EQ(single.Group(group, L".idx"), passes[p].Group(group, L".idx")) << Narrow(group) << p;
        }
        DWORD last = before[g] + kPerGroup;
        EXPECT_EQ(IndexHeaderBytes(last, last, 0, kPerGroup, 0, Sjis(L"4件の記事を取得しました。"), kPerGroup, 0, 0),
                  single.Group(group, L".idx").substr(0, 100));
    }

    // Plain into the first pass's folder, compressed into the third's.
    for (DWORD compress = 0; compress < 2; ++compress) {
        const std::wstring& data = passes[2 * compress].DataPath();
        Recording recording;
        EXPECT_EQ(L"", FetchGroupList(data + L"active.dat", data + L"category.dat", port, NULL, NULL, compress));
        EXPECT_EQ(compress == 0, g_received.find(Narrow(kGroups[0])) != std::string::npos);
    }
    EXPECT_EQ(single.File(L"active.dat") + single.File(L"category.dat"),
              passes[2].File(L"active.dat") + passes[2].File(L"category.dat"));
    std::string list = "\r\n" + single.File(L"active.dat");
    for (const wchar_t* group : kGroups)
        EXPECT_NE(std::string::npos, list.find("\r\n" + Narrow(group) + "\r\n")) << Narrow(group);
    EXPECT_NE(std::string::npos, ("\r\n" + single.File(L"category.dat")).find("\r\npelora\r\n"));
    WSACleanup();
}

}  // namespace
