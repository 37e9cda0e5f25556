// Against a real news server: the INN that tools/test.sh runs on loopback
// and names in PELORA_INN_PORT. Japanese articles posted through its reader
// port are fetched by the patrol one command at a time and pipelined: both
// passes store the same bytes, and they hold what was posted.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>
#include "PatrolHarness.h"
#include "nntp/GroupListJob.h"
#include "nntp/NntpConnection.h"

namespace {

const wchar_t* const kGroups[] = {L"pelora.test.alpha", L"pelora.test.beta", L"pelora.test.gamma"};
const int kPerGroup = 4;

// てすと and こんにちは in ISO-2022-JP, and as the store keeps them.
const char kSubjectWord[] = "=?ISO-2022-JP?B?GyRCJEYkOSRIGyhC?=";
const char kTesuto[] = "\x82\xc4\x82\xb7\x82\xc6";
const char kKonnichiwaJis[] = "\x1b$B$3$s$K$A$O\x1b(B";
const char kKonnichiwa[] = "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd";

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class Inn {
public:
    bool Open(unsigned short port)
    {
        char line[1024];
        return connection_.Connect("127.0.0.1", port) && connection_.ReadLine(line, sizeof line, FALSE) &&
               line[0] == '2';
    }
    // The status line of the reply to `command`.
    std::string Ask(const std::string& command)
    {
        char line[1024] = "";
        if (!connection_.SendLine(command.c_str()) || !connection_.ReadLine(line, sizeof line, FALSE))
            return "(no reply)";
        return line;
    }
    // The last article number of `group` (its first less one when empty).
    DWORD Last(const std::wstring& group)
    {
        unsigned long code = 0, count = 0, first = 0, last = 0;
        sscanf(Ask("GROUP " + Narrow(group)).c_str(), "%lu %lu %lu %lu", &code, &count, &first, &last);
        return count ? (DWORD)last : (DWORD)first - 1;
    }
    // Posts `lines` (without CR LF, dot-stuffed here); the final reply.
    std::string Post(const std::vector<std::string>& lines)
    {
        std::string reply = Ask("POST");
        if (reply[0] != '3')
            return reply;
        for (const std::string& line : lines) {
            std::string stuffed = (!line.empty() && line[0] == '.') ? "." + line : line;
            if (!connection_.SendLine(stuffed.c_str()))
                return "(send failed)";
        }
        return Ask(".");
    }
    void Close()
    {
        connection_.SendLine("QUIT");
        connection_.Close();
    }

private:
    NntpConnection connection_;
};

struct Posted {
    std::string tag;
    std::vector<std::string> subjects;   // as stored, per group in order
};

std::vector<std::string> Article(const std::wstring& group, const std::string& tag, int n)
{
    std::string id = "<pelora." + tag + "." + Narrow(group) + "." + std::to_string(n) + "@example.test>";
    return {
        "From: =?ISO-2022-JP?B?GyRCQixEahsoQg==?= <taro@example.test>",
        "Newsgroups: " + Narrow(group),
        std::string("Subject: ") + kSubjectWord + " " + tag + " " + std::to_string(n),
        "Message-ID: " + id,
        "References: <first." + tag + "@example.test>",
        "\t<second." + tag + "@example.test>",
        "MIME-Version: 1.0",
        "Content-Type: text/plain; charset=ISO-2022-JP",
        "X-Folded: one",
        " two",
        "",
        kKonnichiwaJis,
        ".dotted line " + std::to_string(n),
        "..",
        "last",
    };
}

// The stored body of Article(): converted, unstuffed, then the separator.
std::string StoredBody(int n)
{
    return std::string("\r\n") + kKonnichiwa + "\r\n.dotted line " + std::to_string(n) +
           "\r\n..\r\nlast\r\n================\r\n";
}

TEST(Inn, PatrolAndGroupListInBothSettingsStoreWhatWasPosted)
{
    const char* portText = getenv("PELORA_INN_PORT");
    if (!portText || !*portText)
        GTEST_SKIP() << "no INN: tools/test.sh starts one on 127.0.0.1 and names its port in PELORA_INN_PORT";
    unsigned short port = (unsigned short)atoi(portText);
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);

    Inn inn;
    ASSERT_TRUE(inn.Open(port)) << "INN named in PELORA_INN_PORT does not answer on 127.0.0.1:" << port;
    inn.Ask("MODE READER");
    std::string tag = std::to_string(GetTickCount()) + "x" + std::to_string(GetCurrentProcessId());
    DWORD before[3];
    for (int g = 0; g < 3; ++g) {
        before[g] = inn.Last(kGroups[g]);
        for (int n = 1; n <= kPerGroup; ++n) {
            std::string reply = inn.Post(Article(kGroups[g], tag, n));
            ASSERT_EQ('2', reply[0]) << "INN refused the post: " << reply;
        }
    }
    inn.Close();
    // A reader session sees the group's new end only when it starts.
    for (int g = 0, tries = 0; g < 3; tries++) {
        Inn look;
        ASSERT_TRUE(look.Open(port));
        look.Ask("MODE READER");
        DWORD last = look.Last(kGroups[g]);
        look.Close();
        if (last == before[g] + kPerGroup) {
            ++g;
            continue;
        }
        ASSERT_LT(tries, 50) << "the posted articles did not arrive in " << Narrow(kGroups[g]);
        Sleep(100);
    }

    PatrolHarness single, pipelined;
    PatrolHarness* passes[] = {&single, &pipelined};
    for (int p = 0; p < 2; ++p) {
        PatrolHarness& harness = *passes[p];
        for (int g = 0; g < 3; ++g)
            harness.AddGroup(kGroups[g], before[g], before[g]);
        harness.SetPipelining(p);
        DownloadResult result = harness.RunDirect(port, 100);
        ASSERT_EQ((DWORD)StatusOk, result.status) << Narrow(result.caption) << ": " << Narrow(result.text);

        std::wstring active = harness.DataPath() + L"active.dat";
        std::wstring category = harness.DataPath() + L"category.dat";
        GroupListJob* job = CreateGroupListJob(active.c_str(), category.c_str(), L"127.0.0.1", port, NULL,
                                               NULL, NULL, 0, NULL);
        ASSERT_TRUE(job != NULL);
        EXPECT_TRUE(RunGroupListJob(job)) << Narrow(job->errorText);
        DestroyGroupListJob(job);
        std::string list = "\r\n" + harness.ReadFile(L"active.dat");
        for (const wchar_t* group : kGroups)
            EXPECT_NE(std::string::npos, list.find("\r\n" + Narrow(group) + "\r\n")) << Narrow(group);
        EXPECT_NE(std::string::npos, ("\r\n" + harness.ReadFile(L"category.dat")).find("\r\npelora\r\n"));
    }

    for (int g = 0; g < 3; ++g) {
        const std::wstring group = kGroups[g];
        EXPECT_EQ(single.Group(group, L".log"), pipelined.Group(group, L".log")) << Narrow(group);
        EXPECT_EQ(single.Group(group, L".idx"), pipelined.Group(group, L".idx")) << Narrow(group);

        GroupHeader header = single.Header(group);
        EXPECT_EQ((DWORD)kPerGroup, header.recordCount);
        EXPECT_EQ(before[g] + kPerGroup, header.lastArticle);
        // The log holds the articles in order, each ending in its separator.
        std::string log = single.Group(group, L".log");
        size_t start = 0;
        for (int n = 1; n <= kPerGroup; ++n) {
            size_t end = log.find("================\r\n", start);
            ASSERT_NE(std::string::npos, end) << Narrow(group) << " " << n;
            std::string article = log.substr(start, end + 18 - start);
            start = end + 18;
            EXPECT_NE(std::string::npos, article.find(std::string("Subject: ") + kTesuto + " " + tag + " " +
                                                      std::to_string(n) + "\r\n")) << article;
            EXPECT_NE(std::string::npos, article.find(std::string("From: ") + "\x91\xaa\x92\xe8" +
                                                      " <taro@example.test>\r\n")) << article;
            // The folded field is kept, its continuation joined on.
            EXPECT_NE(std::string::npos, article.find("References: <first." + tag + "@example.test><second." +
                                                      tag + "@example.test>\r\n")) << article;
            EXPECT_EQ(std::string::npos, article.find("X-Folded")) << "an unkept field was stored";
            std::string seq = "X-Local-Seq: " + std::to_string(before[g] + n) + "\r\n";
            EXPECT_NE(std::string::npos, article.find(seq + StoredBody(n))) << article;
        }
        EXPECT_EQ(log.size(), start);
    }
    WSACleanup();
}

}  // namespace
