// Header lines, unfolding and the record fields taken from them.
#include <gtest/gtest.h>
#include <string>
#include "store/ArticleHeader.h"
#include "support/StoreFiles.h"

namespace {

class Header : public testing::Test {
protected:
    void SetUp() override { header.Construct(); ASSERT_TRUE(header.Init()); }
    void TearDown() override { header.Free(); }
    std::string Stored() const { return std::string(header.Buffer(), header.Length()); }
    std::string Subject() { char f[48]; header.SubjectField(f); return std::string(f, 48); }
    std::string Date() { char f[4]; header.DateField(f); return std::string(f, 4); }
    std::string Sender() { char f[16]; header.SenderField(f); return std::string(f, 16); }
    // The header holding `line` alone.
    void Only(const std::string& line)
    {
        header.Reset();
        header.AddHeaderLine(line.c_str());
    }
    ArticleHeader header;
};

TEST_F(Header, UnfoldsContinuationLinesIntoTheLineBeforeAndGrows)
{
    header.AddHeaderLine("From: Taro <t@example.jp>\r\n");
    header.AddHeaderLine("Subject: A\r\n");
    header.AddContinuationLine(" B\r\n");
    header.AddContinuationLine("\t \tC\r\n");
    header.AddHeaderLine("Date: Sat, 5 Dec 2026 15:08:39 +0900\r\n");
    EXPECT_EQ("From: Taro <t@example.jp>\r\nSubject: ABC\r\nDate: Sat, 5 Dec 2026 15:08:39 +0900\r\n",
              Stored());
    EXPECT_EQ(27u, header.SubjectOffset());
    EXPECT_EQ(14u, header.SubjectLength());
    EXPECT_EQ(Field("ABC", 48), Subject());

    // A continuation of another line leaves the subject length.
    Only("Subject: A\r\n");
    header.AddHeaderLine("References: <a@b>\r\n");
    header.AddContinuationLine(" <c@d>\r\n");
    EXPECT_EQ(12u, header.SubjectLength());
    EXPECT_EQ("Subject: A\r\nReferences: <a@b><c@d>\r\n", Stored());

    // Unfolding never makes a line of 1024 bytes.
    Only("Subject: x\r\n");
    std::string piece = " " + std::string(600, 'y') + "\r\n";
    header.AddContinuationLine(piece.c_str());
    header.AddContinuationLine(piece.c_str());
    // A double-byte character across the limit is dropped whole.
    header.AddContinuationLine(" \x82\xa0\x82\xa0\r\n");
    std::string stored = Stored();
    ASSERT_EQ(1023u, stored.size());
    EXPECT_EQ("\r\n", stored.substr(1021));
    EXPECT_EQ(1023u, header.SubjectLength());
    header.AddHeaderLine("From: z\r\n");
    EXPECT_EQ("From: z\r\n", Stored().substr(1023));

    // The header grows past its first buffer.
    header.Reset();
    std::string line = "References: " + std::string(1000, 'r') + "\r\n";
    for (int i = 0; i < 5; i++)
        ASSERT_TRUE(header.AddHeaderLine(line.c_str()));
    header.AddHeaderLine("Subject: late\r\n");
    EXPECT_EQ(5 * line.size() + 15, Stored().size());
    EXPECT_EQ(Field("late", 48), Subject());
}

TEST_F(Header, LaterLinesWinFieldFormsNumbersAndCopiesThatKeepCharactersWhole)
{
    header.AddHeaderLine("Subject: first\r\n");
    header.AddHeaderLine("Subject: second\r\n");
    EXPECT_EQ(Field("second", 48), Subject());
    Only("Subject: \r\n");
    EXPECT_EQ(std::string(48, '\0'), Subject());

    Only("X-Local-Seq: 1234\r\n");
    EXPECT_EQ(1234u, header.ArticleNumber());
    header.AddHeaderLine("X-Local-Seq: 12a\r\n");
    EXPECT_EQ(0xFFFFFFFFu, header.ArticleNumber());
    header.AddHeaderLine("X-Local-Seq:");   // too short to hold a number
    EXPECT_EQ(0xFFFFFFFFu, header.ArticleNumber());

    // The subject field keeps 47 bytes and no half character.
    Only("Subject: " + std::string(47, 's') + "\r\n");
    EXPECT_EQ(Field(std::string(47, 's'), 48), Subject());
    Only("Subject: " + std::string(46, 's') + "\x82\xa0\r\n");
    EXPECT_EQ(Field(std::string(46, 's'), 48), Subject());
    const char* dates[][2] = {
        {"Date: 05 Dec 2026\r\n", "1205"}, {"Date: Sat, 5 Dec 2026 09:00:00 +0900\r\n", "1205"},
        {"Date: Sat, 31 Jan 2026\r\n", "0131"}, {"Date: 2026-12-05\r\n", "0000"},
        {"Date: Sat, 5 dec 2026\r\n", "0000"}, {"Date: Sat\r\n", "0000"}, {"Date: 5", "0000"},
        {"Date: 12 D", "0000"}};
    for (const auto& date : dates) {
        Only(date[0]);
        EXPECT_EQ(date[1], Date()) << date[0];
    }
    std::string kana = Sjis(std::wstring(16, L'\x3042'));
    std::string senders[][2] = {
        {"From: Taro <t@example.jp>\r\n", "Taro"},
        {"From: \"Taro Yamada\" <t@example.jp>\r\n", "Taro Yamada"},
        {"From: t@example.jp (Taro)\r\n", "Taro"}, {"From: <t@example.jp.long>\r\n", "<t@example.jp.l"},
        {"From: Taro<t@example.jp>\r\n", "Tar"}, {"From: t@example.jp\r\n", "t@example.jp"},
        {"From: \r\n", "(Unknown)"}, {"From: " + kana + "\r\n", kana.substr(0, 14)},
        // A double-byte character containing '>' or '(' bytes is one unit.
        {"From: \x83\x3e\r\n", "\x83\x3e"}};
    for (const auto& sender : senders) {
        Only(sender[0]);
        EXPECT_EQ(Field(sender[1], 16), Sender()) << sender[0];
    }

    struct { const char* text; DWORD value; const char* rest; } cases[] = {
        {"123  rest", 123, "rest"}, {"42\r\n", 42, "\r\n"}, {"", 0, ""}, {"7x", 0xFFFFFFFF, NULL}};
    for (const auto& c : cases) {
        const char* cursor = c.text;
        EXPECT_EQ(c.value, ParseNumber(&cursor)) << c.text;
        EXPECT_STREQ(c.rest, cursor) << c.text;
    }

    // Bounded copies; the last ends in a lead byte.
    struct { const char* source; DWORD length; const char* copied; } copies[] = {
        {"ab\r\ncd", 5, "ab"}, {"a\x82\xa0\x82\xa0", 4, "a\x82\xa0"}, {"ab\x82", 5, "ab\x82"}};
    for (const auto& c : copies) {
        char out[8] = "xxxxxxx";
        BoundedCopy(out, c.source, c.length);
        EXPECT_STREQ(c.copied, out) << c.source;
    }
}

} // namespace
