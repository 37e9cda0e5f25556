// Articles appended through the writer: the log and index bytes.
#include "GroupFilesFixture.h"
#include "store/ArticleWriter.h"
#include "store/ArticleLog.h"

namespace {

class Writer : public StoreTest {
protected:
    void Open()
    {
        ASSERT_TRUE(group.OpenLog());
        ASSERT_TRUE(group.OpenIndex());
        writer.Construct(&group);
    }
    void Close()
    {
        writer.Destroy();
        group.CloseLog();
        ASSERT_TRUE(group.WriteHeader(group.IndexHandle()));
        group.CloseIndex();
    }
    // Header lines that begin with a blank are continuations; `finish`
    // false leaves the article unfinished.
    BOOL Write(DWORD number, std::initializer_list<const char*> header,
               std::initializer_list<const char*> body, bool finish = true)
    {
        if (!writer.Begin(number))
            return FALSE;
        for (const char* line : header)
            if (!(*line == ' ' ? writer.AddContinuationLine(line) : writer.AddHeaderLine(line)))
                return FALSE;
        if (!writer.WriteHeader())
            return FALSE;
        for (const char* line : body)
            if (!writer.WriteBodyLine(line))
                return FALSE;
        return !finish || writer.Finish();
    }
    // The log and index still pair up: a rebuild gives the same records.
    void ExpectRebuildAgrees()
    {
        std::string index = Index();
        group.Clear();
        ASSERT_TRUE(RebuildIndex(&group));
        EXPECT_EQ(index.substr(kIndexHeaderSize), Index().substr(kIndexHeaderSize));
    }
    ArticleWriter writer;
};

TEST_F(Writer, AppendsBlocksAndRecordsWithPriorities)
{
    SetFilter("+ foo\r\n- bar\r\n");
    Open();
    ASSERT_TRUE(Write(101, {"From: Taro <t@example.jp>\r\n", "Subject: about foo\r\n",
                            "Date: Sat, 5 Dec 2026 15:08:39 +0900\r\n"}, {"hello\r\n", "..dot\r\n"}));
    ASSERT_TRUE(Write(102, {"Subject: a\r\n", " bar\r\n", "From: x@y (Hanako)\r\n"}, {}));
    ASSERT_TRUE(Write(103, {"From: nobody\r\n"}, {}));
    // Shorter than the keyword "foo", but matched with its CR LF: normal.
    ASSERT_TRUE(Write(104, {"Subject: fo\r\n"}, {}));
    group.SetLastArticle(103);
    group.SetServerLast(110);
    ASSERT_TRUE(group.SetStateText(L"OK"));
    Close();

    std::string a = ArticleBlock("From: Taro <t@example.jp>\nSubject: about foo\n"
                                 "Date: Sat, 5 Dec 2026 15:08:39 +0900", 101, "hello\n..dot");
    std::string b = ArticleBlock("Subject: abar\nFrom: x@y (Hanako)", 102, "");
    std::string c = ArticleBlock("From: nobody", 103, "");
    std::string s = ArticleBlock("Subject: fo", 104, "");
    EXPECT_EQ(a + b + c + s, Log());
    DWORD ao = 0, bo = (DWORD)a.size(), co = bo + (DWORD)b.size(), so = co + (DWORD)c.size();
    std::string expected = IndexHeaderBytes(103, 110, 0, 4, 0, "OK", 4, 1, 1)
        + IndexRecordBytes(2 << 1, 101, ao, (DWORD)a.size(), "about foo", "1205", "Taro", 27 + 9, 9)
        + IndexRecordBytes(1 << 1, 102, bo, (DWORD)b.size(), "abar", "0000", "Hanako", bo + 9, 4)
        + IndexRecordBytes(0, 103, co, (DWORD)c.size(), "(none)", "0000", "nobody", co, 0)
        + IndexRecordBytes(0, 104, so, (DWORD)s.size(), "fo", "0000", "(Unknown)", so + 9, 2);
    EXPECT_EQ(expected, Index());

    // Reprioritise matches the text without CR LF: "fo" occurs in "foo".
    ASSERT_TRUE(group.ReadHeader());
    ASSERT_TRUE(Reprioritise(&group));
    EXPECT_EQ(2u, RecordPriority(Record(3)));
}

TEST_F(Writer, UnfinishedArticleIsCutOffOverlongLineBrokenAndFailedWriteReported)
{
    Open();
    ASSERT_TRUE(Write(1, {"Subject: one\r\n"}, {"text\r\n"}));
    // The body of the next article fails half-way: the engine begins the
    // one after it, or stops the group.
    ASSERT_TRUE(Write(2, {"Subject: two\r\n"}, {"partial\r\n"}, false));
    // A body line too long for the log is broken so that the log stays readable;
    // its number takes all ten digits of its sequence line.
    std::string longLine = std::string(1020, 'a') + "\x82\xa0" + std::string(1500, 'b') + "\r\n";
    ASSERT_TRUE(Write(4000000000u, {"Subject: long\r\n"}, {longLine.c_str()}));
    ASSERT_TRUE(Write(4, {"Subject: four\r\n"}, {}, false));
    Close();
    std::string broken = std::string(1020, 'a') + "\n\x82\xa0" + std::string(1019, 'b') + "\n"
                         + std::string(481, 'b');
    EXPECT_EQ(ArticleBlock("Subject: one", 1, "text") + ArticleBlock("Subject: long", 4000000000u, broken), Log());
    EXPECT_EQ(2u, group.RecordCount());
    ExpectRebuildAgrees();

    Open();
    group.CloseLog();   // every log write now fails
    EXPECT_FALSE(writer.Begin(5));
    writer.Destroy();
    group.CloseIndex();
}

} // namespace
