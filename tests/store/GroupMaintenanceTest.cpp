#include "GroupFilesFixture.h"
#include "store/ArticleLog.h"
#include "store/GroupMaintenance.h"
#include "store/GroupRecord.h"

namespace {

const DWORD kHigh = kPriorityHigh << kRecordPriorityShift;
const DWORD kLow = kPriorityLow << kRecordPriorityShift;

class GroupMaintenanceTest : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        record.Reset();
        ASSERT_TRUE(record.SetNames(folder.c_str(), L"fj.test"));
    }
    void TearDown() override
    {
        record.Release();
        DataFolderTest::TearDown();
    }

    std::wstring Index() const { return Path(L"fj.test", L".idx"); }
    std::wstring Log() const { return Path(L"fj.test", L".log"); }

    // A group of five articles, two of them read, all priorities present.
    HandGroup Mixed()
    {
        HandGroup group;
        group.Add(MakeArticle(101, "first normal", 0));
        group.Add(MakeArticle(102, "read high", kRecordRead | kHigh));
        group.Add(MakeArticle(103, "\x93\xfa\x96\x7b\x8c\xea high", kHigh, "line\r\n\r\n> quote\r\n"));
        group.Add(MakeArticle(104, "read normal", kRecordRead));
        group.Add(MakeArticle(105, "low one", kLow));
        group.Count();
        return group;
    }

    // What a failed pass must leave: the old bytes and no file of its own.
    void ExpectUntouched(const HandGroup& group, std::vector<std::wstring> extra = {})
    {
        EXPECT_EQ(group.IndexBytes(), ReadBytes(Index()));
        EXPECT_EQ(group.LogBytes(), ReadBytes(Log()));
        std::vector<std::wstring> expected = {L"fj.test.idx", L"fj.test.log"};
        expected.insert(expected.end(), extra.begin(), extra.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, Files());
    }

    GroupRecord record;
};

}  // namespace

TEST_F(GroupMaintenanceTest, CompactionKeepsUnreadArticlesByteForByte)
{
    HandGroup before = Mixed();
    WriteGroup(L"fj.test", before);
    ASSERT_TRUE(CompactGroup(&record)) << GetLastError();

    HandGroup after;
    after.header = before.header;
    for (const HandArticle& article : before.articles) {
        if (!(article.flags & kRecordRead))
            after.Add(article);
    }
    after.Count();
    after.header.savedPosition = 0;
    EXPECT_EQ(3u, after.header.recordCount);
    EXPECT_EQ(1u, after.header.highCount);
    EXPECT_EQ(1u, after.header.lowCount);
    EXPECT_EQ(after.IndexBytes(), ReadBytes(Index()));
    EXPECT_EQ(after.LogBytes(), ReadBytes(Log()));
    EXPECT_EQ((std::vector<std::wstring>{L"fj.test.idx", L"fj.test.log"}), Files());

    // Every kept subject can still be read where its record points.
    std::string log = ReadBytes(Log());
    for (const IndexRecord& kept : after.Records()) {
        std::string subject = log.substr(kept.subjectOffset, kept.subjectLength);
        EXPECT_EQ(std::string(kept.subject), subject);
    }
}

TEST_F(GroupMaintenanceTest, CompactionWithNothingReadOnlyResetsSavedPosition)
{
    HandGroup before;
    for (DWORD n = 1; n <= 4; ++n)
        before.Add(MakeArticle(n, "subject " + std::to_string(n), n == 2 ? kHigh : 0));
    before.Count();
    WriteGroup(L"fj.test", before);
    ASSERT_TRUE(CompactGroup(&record));
    HandGroup after = before;
    after.header.savedPosition = 0;
    EXPECT_EQ(after.IndexBytes(), ReadBytes(Index()));
    EXPECT_EQ(before.LogBytes(), ReadBytes(Log()));
}

TEST_F(GroupMaintenanceTest, CompactionOfAllReadOrNoRecordsLeavesHeaderAndEmptyLog)
{
    HandGroup allRead;
    allRead.Add(MakeArticle(1, "a", kRecordRead | kHigh));
    allRead.Add(MakeArticle(2, "b", kRecordRead | kLow));
    allRead.Count();
    WriteGroup(L"fj.test", allRead);
    ASSERT_TRUE(CompactGroup(&record));
    HandGroup empty;
    empty.header = allRead.header;
    empty.Count();
    empty.header.savedPosition = 0;
    EXPECT_EQ(empty.IndexBytes(), ReadBytes(Index()));
    EXPECT_EQ(100u, ReadBytes(Index()).size());
    EXPECT_EQ("", ReadBytes(Log()));

    // No records at all: text in the log that no record describes goes too.
    HandGroup none;
    none.logPrefix = "Subject: cut off\r\n";
    none.Count();
    WriteGroup(L"fj.test", none);
    ASSERT_TRUE(CompactGroup(&record));
    none.header.savedPosition = 0;
    EXPECT_EQ(none.IndexBytes(), ReadBytes(Index()));
    EXPECT_EQ("", ReadBytes(Log()));
}

TEST_F(GroupMaintenanceTest, CompactionRepairsADriftedUnreadCount)
{
    HandGroup before = Mixed();
    before.header.unreadCount = 40;
    WriteGroup(L"fj.test", before);
    ASSERT_TRUE(CompactGroup(&record));
    ASSERT_TRUE(record.ReadHeader());
    EXPECT_EQ(3u, record.UnreadCount());
    EXPECT_EQ(3u, record.RecordCount());
}

TEST_F(GroupMaintenanceTest, CompactionCopiesArticlesLargerThanItsBuffers)
{
    HandGroup before;
    std::string body;
    for (int i = 0; i < 3000; ++i)
        body += "line " + std::to_string(i) + " of a long article with some text\r\n";
    before.Add(MakeArticle(1, "read", kRecordRead, body));
    before.Add(MakeArticle(2, "long", 0, body));
    before.Add(MakeArticle(3, "short", 0));
    before.Add(MakeArticle(4, "long again", 0, body + body));
    before.Count();
    ASSERT_GT(before.LogBytes().size(), 400000u);
    WriteGroup(L"fj.test", before);
    ASSERT_TRUE(CompactGroup(&record));
    HandGroup after;
    after.header = before.header;
    after.articles.assign(before.articles.begin() + 1, before.articles.end());
    after.Count();
    after.header.savedPosition = 0;
    EXPECT_EQ(after.LogBytes(), ReadBytes(Log()));
    EXPECT_EQ(after.IndexBytes(), ReadBytes(Index()));
}

TEST_F(GroupMaintenanceTest, LeftoverTemporaryFilesStopTheGroupUntouched)
{
    HandGroup group = Mixed();
    WriteGroup(L"fj.test", group);
    const wchar_t* leftovers[] = {L"fj.test.id~", L"fj.test.lo~", L"fj.test.ib~", L"fj.test.lb~"};
    for (const wchar_t* leftover : leftovers) {
        SCOPED_TRACE(testing::Message() << leftover);
        ASSERT_TRUE(WriteBytes(folder + leftover, "from an interrupted run"));
        SetLastError(0);
        EXPECT_FALSE(CompactGroup(&record));
        EXPECT_EQ((DWORD)ERROR_FILE_EXISTS, GetLastError());
        ExpectUntouched(group, {leftover});
        EXPECT_EQ("from an interrupted run", ReadBytes(folder + leftover));
        DeleteFileW((folder + leftover).c_str());
    }
}

TEST_F(GroupMaintenanceTest, ReadOnlyOrMissingFilesStopTheGroupUntouched)
{
    HandGroup group = Mixed();
    WriteGroup(L"fj.test", group);
    for (const std::wstring& path : {Log(), Index()}) {
        ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
        EXPECT_FALSE(CompactGroup(&record));
        EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
        ExpectUntouched(group);
        ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    }
    ASSERT_TRUE(DeleteFileW(Log().c_str()));
    EXPECT_FALSE(CompactGroup(&record));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_EQ((std::vector<std::wstring>{L"fj.test.idx"}), Files());
}

TEST_F(GroupMaintenanceTest, DamagedRecordsFailWithInvalidData)
{
    struct Damage {
        const char* what;
        DWORD record;
        DWORD offset;
        DWORD length;
    } damages[] = {
        {"offset past the end", 4, 0x00100000, 50},
        {"length past the end", 4, 0, 0x00100000},
        {"absurd length", 2, 10, 0xFFFFFFF0},
        {"wrapping range", 2, 0xFFFFFF00, 0x200},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        HandGroup group = Mixed();
        std::string index = group.IndexBytes();
        IndexRecord* bad = (IndexRecord*)&index[IndexRecordOffset(damage.record)];
        bad->articleOffset = damage.offset;
        bad->articleLength = damage.length;
        ASSERT_TRUE(WriteBytes(Index(), index));
        ASSERT_TRUE(WriteBytes(Log(), group.LogBytes()));
        EXPECT_FALSE(CompactGroup(&record));
        EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
        EXPECT_EQ(index, ReadBytes(Index()));
        EXPECT_EQ(group.LogBytes(), ReadBytes(Log()));
        EXPECT_EQ((std::vector<std::wstring>{L"fj.test.idx", L"fj.test.log"}), Files());
    }
}

TEST_F(GroupMaintenanceTest, IndexShorterThanItsCountFailsUntouched)
{
    HandGroup group = Mixed();
    group.header.recordCount = 9;
    WriteGroup(L"fj.test", group);
    EXPECT_FALSE(CompactGroup(&record));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
    ExpectUntouched(group);

    group.header.version = 4;
    WriteGroup(L"fj.test", group);
    EXPECT_FALSE(CompactGroup(&record));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
    ExpectUntouched(group);
}

TEST_F(GroupMaintenanceTest, FailedReplacementPutsTheOldFilesBack)
{
    std::wstring index = Index(), log = Log();
    std::wstring newIndex = folder + L"fj.test.id~", newLog = folder + L"fj.test.lo~";
    std::wstring indexBackup = folder + L"fj.test.ib~", logBackup = folder + L"fj.test.lb~";
    ASSERT_TRUE(WriteBytes(index, "old index"));
    ASSERT_TRUE(WriteBytes(log, "old log"));

    // The last move fails: the three before it are undone.
    ASSERT_TRUE(WriteBytes(newLog, "new log"));
    EXPECT_FALSE(ReplaceGroupFiles(index.c_str(), log.c_str(), newIndex.c_str(), newLog.c_str(),
                                   indexBackup.c_str(), logBackup.c_str()));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_EQ("old index", ReadBytes(index));
    EXPECT_EQ("old log", ReadBytes(log));
    EXPECT_EQ("new log", ReadBytes(newLog));
    EXPECT_EQ((std::vector<std::wstring>{L"fj.test.idx", L"fj.test.log", L"fj.test.lo~"}), Files());

    // The second move fails: the first is undone.
    ASSERT_TRUE(DeleteFileW(newLog.c_str()));
    ASSERT_TRUE(WriteBytes(newIndex, "new index"));
    EXPECT_FALSE(ReplaceGroupFiles(index.c_str(), log.c_str(), newIndex.c_str(), newLog.c_str(),
                                   indexBackup.c_str(), logBackup.c_str()));
    EXPECT_EQ("old index", ReadBytes(index));
    EXPECT_EQ("old log", ReadBytes(log));
    EXPECT_EQ((std::vector<std::wstring>{L"fj.test.idx", L"fj.test.id~", L"fj.test.log"}), Files());

    ASSERT_TRUE(WriteBytes(newLog, "new log"));
    EXPECT_TRUE(ReplaceGroupFiles(index.c_str(), log.c_str(), newIndex.c_str(), newLog.c_str(),
                                  indexBackup.c_str(), logBackup.c_str()));
    EXPECT_EQ("new index", ReadBytes(index));
    EXPECT_EQ("new log", ReadBytes(log));
    EXPECT_EQ((std::vector<std::wstring>{L"fj.test.idx", L"fj.test.log"}), Files());
}

TEST_F(GroupMaintenanceTest, MarkAllReadSetsOnlyTheReadBits)
{
    HandGroup group;
    for (DWORD n = 1; n <= 600; ++n)  // more than one batch of records
        group.Add(MakeArticle(n, "s", (n % 3 == 0 ? (DWORD)kRecordRead : 0u) | (n % 5 == 0 ? kHigh : 0)));
    group.Count();
    WriteGroup(L"fj.test", group);
    ASSERT_TRUE(MarkAllRead(&record));
    HandGroup expected = group;
    for (HandArticle& article : expected.articles)
        article.flags |= kRecordRead;
    expected.header.unreadCount = 0;
    EXPECT_EQ(expected.IndexBytes(), ReadBytes(Index()));
    EXPECT_EQ(group.LogBytes(), ReadBytes(Log()));
}

TEST_F(GroupMaintenanceTest, MarkAllReadOfAShortIndexMarksWhatIsThere)
{
    HandGroup group = Mixed();
    group.header.recordCount = 8;
    WriteGroup(L"fj.test", group);
    ASSERT_TRUE(MarkAllRead(&record));
    HandGroup expected = group;
    for (HandArticle& article : expected.articles)
        article.flags |= kRecordRead;
    expected.header.unreadCount = 0;
    EXPECT_EQ(expected.IndexBytes(), ReadBytes(Index()));

    ASSERT_TRUE(DeleteFileW(Index().c_str()));
    EXPECT_FALSE(MarkAllRead(&record));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST_F(GroupMaintenanceTest, CatchUpServerChangesOnlyLastArticle)
{
    HandGroup group = Mixed();
    WriteGroup(L"fj.test", group);
    ASSERT_TRUE(CatchUpServer(&record));
    HandGroup expected = group;
    expected.header.lastArticle = 0xFFFFFFFF;
    EXPECT_EQ(expected.IndexBytes(), ReadBytes(Index()));

    // Both options: everything read and the server skipped.
    ASSERT_TRUE(MarkAllRead(&record));
    for (HandArticle& article : expected.articles)
        article.flags |= kRecordRead;
    expected.header.unreadCount = 0;
    EXPECT_EQ(expected.IndexBytes(), ReadBytes(Index()));
}

namespace {

struct FailureLog {
    std::vector<std::wstring> names;
    std::vector<DWORD> errors;
};

void RecordFailure(const wchar_t* name, DWORD error, void* context)
{
    FailureLog* log = (FailureLog*)context;
    log->names.push_back(name);
    log->errors.push_back(error);
}

}  // namespace

TEST_F(GroupMaintenanceTest, CompactAllGroupsGoesOnPastAFailingGroup)
{
    HandGroup group = Mixed();
    WriteGroup(L"fj.test", group);
    WriteGroup(L"fj.other", group);
    ASSERT_TRUE(WriteBytes(folder + L"group.dat", "fj.test\r\n# comment\r\nfj.other\r\n"));
    ASSERT_TRUE(WriteBytes(folder + L"fj.test.id~", ""));
    FailureLog failures;
    ASSERT_TRUE(CompactAllGroups(folder.c_str(), RecordFailure, &failures));
    EXPECT_EQ(std::vector<std::wstring>{L"fj.test"}, failures.names);
    EXPECT_EQ(std::vector<DWORD>{ERROR_FILE_EXISTS}, failures.errors);
    EXPECT_EQ(group.IndexBytes(), ReadBytes(Index()));
    EXPECT_EQ(3u * kIndexRecordSize + kIndexHeaderSize, ReadBytes(Path(L"fj.other", L".idx")).size());

    ASSERT_TRUE(DeleteFileW((folder + L"group.dat").c_str()));
    EXPECT_FALSE(CompactAllGroups(folder.c_str(), RecordFailure, &failures));
}

TEST(CompactionPathTest, ReplacesTheLastThreeCharacters)
{
    wchar_t path[16];
    ASSERT_TRUE(CompactionPath(L"C:\\d\\fj.idx", L"lo~", path, 16));
    EXPECT_STREQ(L"C:\\d\\fj.lo~", path);
    EXPECT_FALSE(CompactionPath(L"ab", L"lo~", path, 16));
    EXPECT_FALSE(CompactionPath(L"C:\\a\\long\\name.idx", L"lo~", path, 16));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
}
