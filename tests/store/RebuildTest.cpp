// The index rebuilt from a log, reading articles back, reprioritising, and
// damaged logs and indexes.
#include "GroupFilesFixture.h"
#include "store/ArticleLog.h"
#include "store/DataFolder.h"
#include "store/FileOps.h"
#include "store/KeywordFilter.h"
#include <stdlib.h>

namespace {

class Rebuild : public StoreTest {
protected:
    BOOL Run()
    {
        group.Clear();
        group.SetLastArticle(40);
        group.SetServerLast(50);
        group.SetReservedWord(7);
        return RebuildIndex(&group);
    }
};

TEST_F(Rebuild, RecordsFromEveryCompleteArticleOfAnyLineLength)
{
    // No log: an empty one, and a header alone.
    ASSERT_TRUE(Run());
    EXPECT_EQ(IndexHeaderBytes(40, 50, 7, 0, 0, "", 0, 0, 0), Index());
    EXPECT_EQ("", Log());

    SetFilter("+ urgent\r\n- spam\r\n");
    std::string a = ArticleBlock("From: \"Taro\" <t@example.jp>\nSubject: urgent news\n"
                                 "Date: Sat, 5 Dec 2026 15:08:39 +0900", 11, "line one\nline two");
    // A folded Subject in a log written by hand: the record points at the
    // Subject line where it stands in the log.
    std::string b = "Message-ID: <m@x>\r\n References\r\nSubject: spam\r\n\tmore\r\nX-Local-Seq: 12\r\n"
                    "\r\nbody\r\n================\r\n";
    std::string c = ArticleBlock("Message-ID: <n@x>", 0xFFFFFFFF, "no headers of use");
    // A body line of sixteen '=' ends the article early; the rest parses as
    // one more article.
    std::string d1 = "Subject: d\r\nX-Local-Seq: 14\r\n\r\nbefore\r\n================\r\n";
    std::string d2 = "after\r\n\r\ntail\r\n================\r\n";
    std::string cut = "Subject: cut off\r\nX-Local-Seq: 15\r\n\r\nhalf a bod";
    std::string log = a + b + c + d1 + d2 + cut;
    SetLog(log);
    SetIndex(std::string(1000, 'x'));   // longer than the index rebuilt
    ASSERT_TRUE(Run());

    DWORD bo = (DWORD)a.size(), co = bo + (DWORD)b.size(), d1o = co + (DWORD)c.size();
    DWORD d2o = d1o + (DWORD)d1.size();
    std::string expected = IndexHeaderBytes(40, 50, 7, 5, 0, "", 5, 1, 1)
        + IndexRecordBytes(4, 11, 0, (DWORD)a.size(), "urgent news", "1205", "Taro", 29 + 9, 11)
        + IndexRecordBytes(2, 12, bo, (DWORD)b.size(), "spammore", "0000", "(Unknown)", bo + 32 + 9, 8)
        + IndexRecordBytes(0, 0xFFFFFFFF, co, (DWORD)c.size(), "(none)", "0000", "(Unknown)", co, 0)
        + IndexRecordBytes(0, 14, d1o, (DWORD)d1.size(), "d", "0000", "(Unknown)", d1o + 9, 1)
        + IndexRecordBytes(0, 0xFFFFFFFF, d2o, (DWORD)d2.size(), "(none)", "0000", "(Unknown)", d2o, 0);
    EXPECT_EQ(expected, Index());
    EXPECT_EQ(log, Log());

    // Lines over the limit (a CR at a piece's end, a header line of many
    // pieces) and zero bytes are read in pieces: every article is indexed,
    // and the last article comes from the log's highest number.
    std::string good = ArticleBlock("Subject: good", 1, "fine");
    for (const std::string& bad :
         {ArticleBlock("References: <" + std::string(5000, 'r') + ">\nSubject: long", 99, std::string(1022, 'l')),
          ArticleBlock("Subject: zero", 99, std::string("a\0b", 3))}) {
        SetLog(good + bad + good);
        ASSERT_TRUE(Run());
        std::string index = Index();
        DWORD at = (DWORD)good.size(), subject = (DWORD)bad.find("Subject: ") + 9;
        EXPECT_EQ(IndexHeaderBytes(99, 99, 7, 3, 0, "", 3, 0, 0), index.substr(0, kIndexHeaderSize));
        EXPECT_EQ(IndexRecordBytes(0, 99, at, (DWORD)bad.size(), bad.substr(subject, 4), "0000", "(Unknown)",
                                   at + subject, 4), index.substr(IndexRecordOffset(1), kIndexRecordSize));
        EXPECT_EQ(at + bad.size(), WordAt(index, IndexRecordOffset(2) + 8));
    }
}

// A write failing part-way through a rebuild commits nothing; the next start
// indexes the whole log.
TEST_F(Rebuild, AFailedWriteCommitsNothing)
{
    std::string log;
    for (DWORD n = 1; n <= 300; ++n)
        log += ArticleBlock("Subject: s", n, "b");
    SetLog(log);
    ASSERT_TRUE(WriteBytes(folder.File(L"group.dat"), "fj.test\r\n"));
    int writes = 0;
    SetFileOpHook([](const FileOpCall& call, void* count) {
        return (BOOL)(call.kind != kFileOpWrite || ++*(int*)count != 3);
    }, &writes);
    EXPECT_FALSE(Run());
    SetFileOpHook(NULL, NULL);
    EXPECT_FALSE(FileExists(group.IndexPath()));
    ASSERT_TRUE(InitializeDataFolder(Dir())) << GetLastError();
    EXPECT_EQ(300u, WordAt(Index(), 16));
    EXPECT_EQ(300u, WordAt(Index(), 4));
    EXPECT_EQ(log, Log());
}

class LogFile : public Rebuild {
protected:
    void SetUp() override
    {
        Rebuild::SetUp();
        Fill();
    }
    void Fill()
    {
        SetLog(ArticleBlock("Subject: first", 1, "\x82\xa0 text")
               + ArticleBlock("Subject: second", 2, "more"));
        ASSERT_TRUE(Run());
    }
};

TEST_F(LogFile, ReadArticleGivesTheBlockAsWideTextButNothingOutsideTheLog)
{
    IndexRecord record = Record(0);
    wchar_t* text = ReadArticle(&group, record.articleOffset, record.articleLength);
    ASSERT_TRUE(text != NULL);
    EXPECT_STREQ(L"Subject: first\r\nX-Local-Seq: 1\r\n\r\n\x3042 text\r\n================\r\n", text);
    free(text);

    // Ranges outside the log fail without reading.
    DWORD size = (DWORD)Log().size();
    struct { DWORD offset, length; } bad[] = {
        {size, 1}, {0, size + 1}, {size - 1, 0xFFFFFFFF}, {0xFFFFFFF0, 0x20}, {0, 0x7FFFFFFF}};
    for (auto& r : bad) {
        SetLastError(0);
        EXPECT_EQ(NULL, ReadArticle(&group, r.offset, r.length));
        EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
    }
    // A log as long as the length is no excuse for taking all memory.
    HANDLE big = CreateFileW(group.LogPath(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    LARGE_INTEGER end;
    end.QuadPart = 0x7FFFFFFF;
    ASSERT_TRUE(SetFilePointerEx(big, end, NULL, FILE_BEGIN) && SetEndOfFile(big));
    CloseHandle(big);
    EXPECT_EQ(NULL, ReadArticle(&group, 0, 0x7FFFFFF0));
    EXPECT_EQ((DWORD)ERROR_NOT_ENOUGH_MEMORY, GetLastError());
    wchar_t* empty = ReadArticle(&group, size, 0);
    ASSERT_TRUE(empty != NULL);
    EXPECT_STREQ(L"", empty);
    free(empty);
    SetLastError(0);
    DeleteFileW(group.LogPath());
    EXPECT_EQ(NULL, ReadArticle(&group, 0, 1));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST_F(LogFile, ReprioritiseKeepsCountersTrueAndAShortIndexIsReadAsFarAsItGoes)
{
    SetFilter("+ sec\r\n- first\r\n- second\r\n");
    ASSERT_TRUE(Reprioritise(&group));
    EXPECT_EQ(1u, group.HighCount());
    EXPECT_EQ(1u, group.LowCount());
    EXPECT_EQ(2u, Record(0).flags);
    EXPECT_EQ(4u, Record(1).flags);
    SetFilter("");
    ASSERT_TRUE(Reprioritise(&group));
    EXPECT_EQ(0u, group.HighCount());
    EXPECT_EQ(0u, group.LowCount());
    EXPECT_EQ(0u, Record(0).flags);

    // On a damaged record it fails and keeps the counters true.
    Fill();
    std::string index = Index();
    IndexRecord* bad = (IndexRecord*)&index[IndexRecordOffset(0)];
    bad->subjectOffset = 0x7FFFFFF0;
    bad->subjectLength = 0x40000000;
    SetRecordPriority(*bad, kPriorityLow);
    SetIndex(index);
    SetFilter("+ second\r\n");
    SetLastError(0);
    EXPECT_FALSE(Reprioritise(&group));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
    // The damaged record keeps its low priority; the other became high.
    ASSERT_TRUE(group.ReadHeader());
    EXPECT_EQ(1u, group.HighCount());
    EXPECT_EQ(1u, group.LowCount());
    EXPECT_EQ(index.substr(kIndexHeaderSize, kIndexRecordSize),
              Index().substr(kIndexHeaderSize, kIndexRecordSize));

    Fill();
    index = Index();
    index.replace(16, 4, U32(5));   // claims five records, holds two
    SetIndex(index);
    ASSERT_TRUE(group.ReadHeader());
    IndexRecord records[5];
    memset(records, 0xAB, sizeof records);
    DWORD count = 5;
    EXPECT_TRUE(group.ReadRecords(0, records, &count));
    EXPECT_EQ(2u, count);
    EXPECT_EQ(0xABu, ((unsigned char*)&records[2])[0]);
    count = 1;
    EXPECT_TRUE(group.ReadRecords(3, records, &count));
    EXPECT_EQ(0u, count);
    count = 4;
    EXPECT_FALSE(group.ReadRecords(5, records, &count));
    EXPECT_EQ(0u, count);
    EXPECT_FALSE(Reprioritise(&group));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
}

TEST_F(Rebuild, FilterFileLinesAndKeywordMatching)
{
    SetFilter("+ high\r\n+\r\n- low\r\n+x\r\n* odd\r\n" + std::string(600, 'z') + "\r\n+ late\r\n");
    KeywordFilter filter;
    filter.Construct();
    ASSERT_TRUE(filter.Load(group.FilterPath()));
    // "+x" gives an empty high keyword, which matches everything.
    ASSERT_TRUE(filter.High() != NULL);
    EXPECT_STREQ("", filter.High()->keyword);
    EXPECT_STREQ("high", filter.High()->next->keyword);
    EXPECT_EQ(NULL, filter.High()->next->next);
    EXPECT_STREQ("odd", filter.Low()->keyword);
    EXPECT_STREQ("low", filter.Low()->next->keyword);
    EXPECT_EQ(2u, filter.PriorityOf("anything"));
    SetFilter("+ foo\r\n- foo\r\n- bar\r\n");
    ASSERT_TRUE(filter.Load(group.FilterPath()));
    EXPECT_EQ(2u, filter.PriorityOf("foo"));
    EXPECT_EQ(1u, filter.PriorityOf("a bar"));
    EXPECT_EQ(0u, filter.PriorityOf("baz"));
    DeleteFileW(group.FilterPath());
    ASSERT_TRUE(filter.Load(group.FilterPath()));
    EXPECT_EQ(NULL, filter.High());
    EXPECT_EQ(NULL, filter.Low());
    filter.Free();

    // A keyword matches a subject it is in, or one that is in it; byte-wise,
    // so the trail byte of one character and the lead of the next match too.
    struct { const char* keyword; const char* subject; BOOL matches; } pairs[] = {
        {"foo", "about foo\r\n", TRUE}, {"about foo bar", "foo", TRUE}, {"foo", "fo\r\n", FALSE},
        {"foo", "fo", TRUE}, {"", "x", TRUE}, {"x", "", TRUE}, {"Foo", "foo", FALSE},
        {"\xa0\x82", "\x82\xa0\x82\xa0", TRUE}};
    for (const auto& p : pairs)
        EXPECT_EQ(p.matches, KeywordMatches(p.keyword, strlen(p.keyword), p.subject, strlen(p.subject)))
            << p.keyword << " in " << p.subject;
}

} // namespace
