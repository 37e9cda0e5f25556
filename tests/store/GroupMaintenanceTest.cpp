#include "GroupFilesFixture.h"
#include "store/GroupMaintenance.h"
#include "store/GroupRecord.h"

namespace {

class GroupMaintenanceTest : public DataFolderTest {
protected:
    void SetUp() override
    {
        record.Reset();
        ASSERT_TRUE(record.SetNames(folder.c_str(), L"fj.test"));
    }
    void TearDown() override { record.Release(); }
    std::wstring Index() const { return Path(L"fj.test", L".idx"); }
    std::wstring Log() const { return Path(L"fj.test", L".log"); }

    // Five articles, two read, every priority.
    static HandGroup Mixed()
    {
        HandGroup group;
        group.Add(101, "first normal", 0).Add(102, "read high", kRecordRead | kHighFlag);
        group.Add(103, "\x93\xfa\x96\x7b\x8c\xea high", kHighFlag, "line\r\n\r\n> quote\r\n");
        group.Add(104, "read normal", kRecordRead).Add(105, "low one", kLowFlag);
        return group;
    }

    GroupRecord record;
};

}  // namespace

TEST_F(GroupMaintenanceTest, CompactionLeavesExactlyTheUnreadArticles)
{
    std::string longBody;
    for (int i = 0; i < 3000; ++i)  // articles longer than the copy buffers
        longBody += "line " + std::to_string(i) + " of a long article\r\n";
    HandGroup none, allRead, empty, mixed = Mixed(), longOnes, drifted = Mixed();
    none.Add(1, "a", 0).Add(2, "b", kHighFlag);
    allRead.Add(1, "a", kRecordRead | kHighFlag).Add(2, "b", kRecordRead | kLowFlag);
    longOnes.Add(1, "read", kRecordRead, longBody).Add(2, "long", 0, longBody).Add(3, "short", 0);
    longOnes.Add(4, "longer", 0, longBody + longBody);
    drifted.header.unreadCount = 40;  // only the unread are kept, so it becomes exact
    const HandGroup* cases[] = {&none, &allRead, &empty, &mixed, &longOnes, &drifted};
    for (const HandGroup* before : cases) {
        SCOPED_TRACE(before - &none);
        WriteGroup(L"fj.test", *before);
        ASSERT_TRUE(CompactGroup(&record)) << GetLastError();
        HandGroup after = before->Unread();
        EXPECT_EQ(after.IndexBytes(), ReadBytes(Index()));
        EXPECT_EQ(after.LogBytes(), ReadBytes(Log()));
        EXPECT_EQ((std::vector<std::wstring>{L"fj.test.idx", L"fj.test.log"}), Files());
        std::string log = ReadBytes(Log());
        for (const IndexRecord& kept : after.Records())
            EXPECT_EQ(std::string(kept.subject), log.substr(kept.subjectOffset, kept.subjectLength));
    }
}

TEST_F(GroupMaintenanceTest, FailedCompactionLeavesTheGroupAsItWas)
{
    struct Damage {
        DWORD readOnly;            // 1 log, 2 index
        DWORD record, offset, length;  // a record pointing elsewhere
        DWORD recordCount;         // a count beyond the file
        DWORD error;
    } damages[] = {
        {1, 0, 0, 0, 0, ERROR_ACCESS_DENIED},
        {2, 0, 0, 0, 0, ERROR_ACCESS_DENIED},
        {0, 4, 0x00100000, 50, 0, ERROR_INVALID_DATA},   // offset past the end
        {0, 4, 0, 0x00100000, 0, ERROR_INVALID_DATA},    // length past the end
        {0, 2, 10, 0xFFFFFFF0, 0, ERROR_INVALID_DATA},   // absurd length
        {0, 2, 0xFFFFFF00, 0x200, 0, ERROR_INVALID_DATA},  // wrapping range
        {0, 0, 0, 0, 9, ERROR_INVALID_DATA},             // index shorter than its count
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(&d - damages);
        HandGroup group = Mixed();
        if (d.recordCount)
            group.header.recordCount = d.recordCount;
        std::string index = group.IndexBytes();
        if (d.record) {
            IndexRecord* bad = (IndexRecord*)&index[IndexRecordOffset(d.record)];
            bad->articleOffset = d.offset;
            bad->articleLength = d.length;
        }
        ASSERT_TRUE(WriteBytes(Index(), index) && WriteBytes(Log(), group.LogBytes()));
        std::vector<std::wstring> files = Files();
        if (d.readOnly)
            SetFileAttributesW((d.readOnly == 1 ? Log() : Index()).c_str(), FILE_ATTRIBUTE_READONLY);
        EXPECT_FALSE(CompactGroup(&record));
        EXPECT_EQ(d.error, GetLastError());
        SetFileAttributesW(Log().c_str(), FILE_ATTRIBUTE_NORMAL);
        SetFileAttributesW(Index().c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(index, ReadBytes(Index()));
        EXPECT_EQ(group.LogBytes(), ReadBytes(Log()));
        EXPECT_EQ(files, Files());
    }
}

TEST_F(GroupMaintenanceTest, CatchUpChangesOnlyReadBitsAndLastArticle)
{
    HandGroup group;
    for (DWORD n = 1; n <= 600; ++n)  // more than one batch of records
        group.Add(n, "s", (n % 3 ? 0u : (DWORD)kRecordRead) | (n % 5 ? 0u : kHighFlag));
    group.header.recordCount = 650;  // a short index: what is there gets marked
    WriteGroup(L"fj.test", group);
    ASSERT_TRUE(CatchUpServer(&record));
    ASSERT_TRUE(MarkAllRead(&record));
    for (HandArticle& article : group.articles)
        article.flags |= kRecordRead;
    group.header.unreadCount = 0;
    group.header.lastArticle = 0xFFFFFFFF;
    EXPECT_EQ(group.IndexBytes(), ReadBytes(Index()));
    EXPECT_EQ(group.LogBytes(), ReadBytes(Log()));

    ASSERT_TRUE(DeleteFileW(Index().c_str()));
    EXPECT_FALSE(MarkAllRead(&record));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_FALSE(CatchUpServer(&record));
}

namespace {
void RecordFailure(const wchar_t* name, DWORD error, void* context)
{
    ((std::vector<std::pair<std::wstring, DWORD>>*)context)->push_back({name, error});
}
}  // namespace

TEST_F(GroupMaintenanceTest, CompactAllGroupsGoesOnPastAFailingGroup)
{
    WriteGroup(L"fj.test", Mixed());
    WriteGroup(L"fj.other", Mixed());
    ASSERT_TRUE(WriteBytes(folder + L"group.dat", "fj.test\r\n# comment\r\nfj.other\r\n"));
    SetFileAttributesW(Log().c_str(), FILE_ATTRIBUTE_READONLY);
    std::vector<std::pair<std::wstring, DWORD>> failures;
    ASSERT_TRUE(CompactAllGroups(folder.c_str(), RecordFailure, &failures));
    SetFileAttributesW(Log().c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_EQ(1u, failures.size());
    EXPECT_EQ(L"fj.test", failures[0].first);
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, failures[0].second);
    EXPECT_EQ(Mixed().IndexBytes(), ReadBytes(Index()));
    EXPECT_EQ(Mixed().Unread().IndexBytes(), ReadBytes(Path(L"fj.other", L".idx")));
    ASSERT_TRUE(DeleteFileW((folder + L"group.dat").c_str()));
    EXPECT_FALSE(CompactAllGroups(folder.c_str(), RecordFailure, &failures));
}
