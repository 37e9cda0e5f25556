// Today's articles (UTF-8, EUC-JP, big5; quoted-printable and base64)
// through whole patrols: converted with ConvertMime on, stored as they come
// with it off.
#include <gtest/gtest.h>
#include "PatrolHarness.h"

namespace {

const std::string kSeparator = "================\r\n";

struct Article {
    unsigned number;
    std::string header, body;   // as the server sends them
};

// A line of 3,006 bytes of UTF-8, quoted-printable in soft-broken lines.
std::string LongBody()
{
    std::string encoded, body;
    for (int i = 0; i < 334; ++i)
        encoded += "=E6=97=A5=E6=9C=AC=E8=AA=9E";
    for (size_t at = 0; at < encoded.size(); at += 72)
        body += encoded.substr(at, 72) + (at + 72 < encoded.size() ? "=\r\n" : "\r\n");
    return body;
}

const Article kArticles[] = {
    {3002,
     "Subject: \xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88 =?UTF-8?B?5pel\r\n"
     " 5pys?=\r\n"
     "From: =?Utf-8?q?=E5=B1=B1=E7=94=B0?= <q@example.jp>\r\n"
     "Content-Type: text/plain; charset=utf-8\r\n"
     "Content-Transfer-Encoding: quoted-printable\r\n",
     "=E3=83=86=E3=82=\r\n"
     "=B9=E3=83=88 ok\r\n"
     "..=E6=97=A5\r\n"},
    {3003,
     "Subject: =?EUC-JP?B?xvzL3A==?=\r\n"
     "Content-Type: text/plain; charset=EUC-JP\r\n"
     "Content-Transfer-Encoding: base64\r\n",
     "xvzL3I+woQphYg==\r\n"
     "YW\r\n"},
    {3004,
     "Subject: =?big5?B?pKSk5A==?= =?UTF-8?Q?a=0D=0Ab?=\r\n"
     "Content-Type: text/plain; charset=big5\r\n"
     "Content-Transfer-Encoding: quoted-printable\r\n",
     "=A4=A4\r\n"},
    {3005,
     "Subject: long\r\n"
     "Content-Type: text/plain; charset=UTF-8\r\n"
     "Content-Transfer-Encoding: quoted-printable\r\n",
     LongBody()},
};

// What each article's block in the log is with ConvertMime on (3005's body
// is checked on its own).
const char* const kConverted[] = {
    "Subject: \x83\x65\x83\x58\x83\x67 \x93\xfa\x96\x7b\r\n"
    "From: \x8e\x52\x93\x63 <q@example.jp>\r\n"
    "X-Local-Seq: 3002\r\n\r\n"
    "\x83\x65\x83\x58\x83\x67 ok\r\n"
    ".\x93\xfa\r\n",
    "Subject: \x93\xfa\x96\x7b\r\n"
    "X-Local-Seq: 3003\r\n\r\n"
    "\x93\xfa\x96\x7b\x81\xac\r\n"
    "aba\r\n",
    "Subject: =?big5?B?pKSk5A==?= a  b\r\n"   // a decoded CR LF is no line end
    "X-Local-Seq: 3004\r\n\r\n"
    "=A4=A4\r\n",
    "Subject: long\r\n"
    "X-Local-Seq: 3005\r\n\r\n",
};

// And 3002 and 3003 with it off: the kept fields and the bodies as they
// come (an encoded-word in a charset other than ISO-2022-JP is left alone).
const char kAsTheyCome[] =
    "Subject: \xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88 =?UTF-8?B?5pel5pys?=\r\n"
    "From: =?Utf-8?q?=E5=B1=B1=E7=94=B0?= <q@example.jp>\r\n"
    "X-Local-Seq: 3002\r\n\r\n"
    "=E3=83=86=E3=82=\r\n"
    "=B9=E3=83=88 ok\r\n"
    ".=E6=97=A5\r\n"
    "================\r\n"
    "Subject: =?EUC-JP?B?xvzL3A==?=\r\n"
    "X-Local-Seq: 3003\r\n\r\n"
    "xvzL3I+woQphYg==\r\n"
    "YW\r\n"
    "================\r\n";

// The log after `count` articles from `first` on.
std::string Patrol(PatrolHarness& harness, bool convert, DWORD first, DWORD count)
{
    ScriptedNntpServer server;
    EXPECT_TRUE(server.Start(10000));
    server.On("GROUP fj.test", "211 4 3002 3005 fj.test\r\n");
    for (const Article& article : kArticles)
        server.AddArticle(article.number, article.header, article.body);
    harness.AddGroup(L"fj.test", first - 1, first - 1);
    harness.SetConvertMime(convert);
    DownloadResult result = harness.RunDirect(server.Port(), count);
    EXPECT_EQ(StatusOk, (int)result.status) << std::wstring(result.text).c_str();
    return harness.Group(L"fj.test", L".log");
}

}  // namespace

TEST(PatrolMime, OnConvertsEachKindIntoShiftJis)
{
    PatrolHarness harness;
    std::string log = Patrol(harness, true, 3002, 4);
    std::string expected;
    for (const char* block : kConverted)
        expected += block + (block == kConverted[3] ? "" : kSeparator);
    ASSERT_EQ(expected, log.substr(0, expected.size()));

    // The long line in stored lines cut at character boundaries.
    ASSERT_EQ(kSeparator, log.substr(log.size() - kSeparator.size()));
    std::string rest = log.substr(expected.size(), log.size() - expected.size() - kSeparator.size());
    std::string whole, joined;
    for (size_t at = 0, end; at < rest.size(); at = end + 2) {
        end = rest.find("\r\n", at);
        ASSERT_NE(std::string::npos, end);
        ASSERT_LT(end - at + 2, 1024u);
        ASSERT_EQ(0u, (end - at) % 2);
        joined += rest.substr(at, end - at);
    }
    for (int i = 0; i < 334; ++i)
        whole += kSjisNihongo;
    EXPECT_EQ(whole, joined);

    // The index record's subject field holds the converted subject.
    std::string index = harness.Group(L"fj.test", L".idx");
    ASSERT_GE(index.size(), 100u + 92u);
    EXPECT_EQ(Field("\x83\x65\x83\x58\x83\x67 \x93\xfa\x96\x7b", 48), index.substr(100 + 16, 48));
}

TEST(PatrolMime, OffStoresTheArticlesAsTheyCome)
{
    PatrolHarness harness;
    EXPECT_EQ(kAsTheyCome, Patrol(harness, false, 3002, 2));
}
