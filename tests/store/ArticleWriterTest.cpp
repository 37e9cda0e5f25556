// Articles appended through the writer: the log and index bytes.
#include "StoreTestGroup.h"
#include "store/ArticleWriter.h"
#include "store/ArticleLog.h"

namespace {

class Writer : public StoreGroupTest {
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
    BOOL Write(DWORD number, const char* const* header, const char* const* body)
    {
        if (!writer.Begin(number))
            return FALSE;
        for (; *header; header++) {
            BOOL ok = (**header == ' ') ? writer.AddContinuationLine(*header)
                                        : writer.AddHeaderLine(*header);
            if (!ok)
                return FALSE;
        }
        if (!writer.WriteHeader())
            return FALSE;
        for (; *body; body++)
            if (!writer.WriteBodyLine(*body))
                return FALSE;
        return writer.Finish();
    }
    ArticleWriter writer;
};

TEST_F(Writer, AppendsBlocksAndRecordsWithPriorities)
{
    SetFilter("+ foo\r\n- bar\r\n");
    Open();
    const char* first[] = {"From: Taro <t@example.jp>\r\n", "Subject: about foo\r\n",
                           "Date: Sat, 5 Dec 2026 15:08:39 +0900\r\n", NULL};
    const char* firstBody[] = {"hello\r\n", "..dot\r\n", NULL};
    ASSERT_TRUE(Write(101, first, firstBody));
    const char* second[] = {"Subject: a\r\n", " bar\r\n", "From: x@y (Hanako)\r\n", NULL};
    const char* secondBody[] = {NULL};
    ASSERT_TRUE(Write(102, second, secondBody));
    const char* third[] = {"From: nobody\r\n", NULL};
    ASSERT_TRUE(Write(103, third, secondBody));
    group.SetLastArticle(103);
    group.SetServerLast(110);
    ASSERT_TRUE(group.SetStateText(L"OK"));
    Close();

    std::string a = ArticleBlock("From: Taro <t@example.jp>\nSubject: about foo\n"
                                 "Date: Sat, 5 Dec 2026 15:08:39 +0900", 101, "hello\n..dot");
    std::string b = ArticleBlock("Subject: abar\nFrom: x@y (Hanako)", 102, "");
    std::string c = ArticleBlock("From: nobody", 103, "");
    EXPECT_EQ(a + b + c, Log());
    DWORD ao = 0, bo = (DWORD)a.size(), co = bo + (DWORD)b.size();
    std::string expected = IndexHeaderBytes(103, 110, 0, 3, 0, "OK", 3, 1, 1)
        + IndexRecordBytes(2 << 1, 101, ao, (DWORD)a.size(), "about foo", "1205", "Taro", 27 + 9, 9)
        + IndexRecordBytes(1 << 1, 102, bo, (DWORD)b.size(), "abar", "0000", "Hanako", bo + 9, 4)
        + IndexRecordBytes(0, 103, co, (DWORD)c.size(), "(none)", "0000", "nobody", co, 0);
    EXPECT_EQ(expected, Index());
}

TEST_F(Writer, SubjectShorterThanKeywordIsNotMatchedWithItsLineEnd)
{
    SetFilter("+ foo\r\n");
    Open();
    const char* header[] = {"Subject: fo\r\n", NULL};
    const char* body[] = {NULL};
    ASSERT_TRUE(Write(1, header, body));
    Close();
    ASSERT_TRUE(group.ReadHeader());
    IndexRecord record;
    DWORD count = 1;
    ASSERT_TRUE(group.ReadRecords(0, &record, &count));
    EXPECT_EQ(0u, RecordPriority(record));
    // Reprioritise matches the text without CR LF: "fo" occurs in "foo".
    ASSERT_TRUE(Reprioritise(&group));
    EXPECT_EQ(1u, group.HighCount());
    count = 1;
    ASSERT_TRUE(group.ReadRecords(0, &record, &count));
    EXPECT_EQ(2u, RecordPriority(record));
}

TEST_F(Writer, UnfinishedArticleIsCutOffTheLog)
{
    Open();
    const char* header[] = {"Subject: one\r\n", NULL};
    const char* body[] = {"text\r\n", NULL};
    ASSERT_TRUE(Write(1, header, body));
    std::string whole = Log();
    // The body of the next article fails half-way: the engine begins the
    // one after it, or stops the group.
    ASSERT_TRUE(writer.Begin(2));
    ASSERT_TRUE(writer.AddHeaderLine("Subject: two\r\n"));
    ASSERT_TRUE(writer.WriteHeader());
    ASSERT_TRUE(writer.WriteBodyLine("partial\r\n"));
    ASSERT_TRUE(Write(3, header, body));
    ASSERT_TRUE(writer.Begin(4));
    ASSERT_TRUE(writer.AddHeaderLine("Subject: four\r\n"));
    ASSERT_TRUE(writer.WriteHeader());
    Close();
    std::string one = ArticleBlock("Subject: one", 1, "text");
    std::string three = ArticleBlock("Subject: one", 3, "text");
    EXPECT_EQ(one + three, Log());
    EXPECT_EQ(2u, group.RecordCount());
    // The log and index still pair up: a rebuild gives the same records.
    std::string index = Index();
    group.Clear();
    group.SetRecordCount(0);
    ASSERT_TRUE(RebuildIndex(&group));
    EXPECT_EQ(index.substr(100), Index().substr(100));
}

TEST_F(Writer, OverlongBodyLineIsBrokenSoTheLogStaysReadable)
{
    Open();
    std::string longLine = std::string(1020, 'a') + "\x82\xa0" + std::string(1500, 'b') + "\r\n";
    const char* header[] = {"Subject: long\r\n", NULL};
    const char* body[] = {longLine.c_str(), NULL};
    ASSERT_TRUE(Write(1, header, body));
    Close();
    EXPECT_EQ(ArticleBlock("Subject: long", 1, std::string(1020, 'a') + "\n\x82\xa0"
                           + std::string(1019, 'b') + "\n" + std::string(481, 'b')), Log());
    std::string index = Index();
    group.Clear();
    ASSERT_TRUE(RebuildIndex(&group));
    EXPECT_EQ(index.substr(100), Index().substr(100));
}

TEST_F(Writer, FailedWriteIsReported)
{
    Open();
    group.CloseLog();   // every log write now fails
    EXPECT_FALSE(writer.Begin(1));
    writer.Destroy();
    group.CloseIndex();
}

} // namespace
