// Deleting read articles, catching up, and marking a group read.
#include "GroupFilesFixture.h"
#include "store/GroupMaintenance.h"

class GroupMaintenanceTest : public StoreTest {};

TEST_F(GroupMaintenanceTest, CompactionLeavesExactlyTheUnreadArticles)
{
    std::string longBody;
    for (int i = 0; i < 3000; ++i)  // articles longer than the copy buffers
        longBody += "line " + std::to_string(i) + " of a long article\r\n";
    HandGroup none, empty, longOnes, drifted = Mixed();
    none.Add(1, "a", 0).Add(2, "b", kHighFlag);
    longOnes.Add(1, "read", kRecordRead, longBody).Add(2, "long", 0, longBody).Add(3, "short", 0);
    longOnes.Add(4, "longer", 0, longBody + longBody);
    drifted.header.unreadCount = 40;  // only the unread are kept, so it becomes exact
    const HandGroup* cases[] = {&none, &empty, &longOnes, &drifted};
    for (const HandGroup* before : cases) {
        SCOPED_TRACE(before - &none);
        WriteGroup(L"fj.test", *before);
        ASSERT_TRUE(CompactGroup(&group)) << GetLastError();
        HandGroup after = before->Unread();
        EXPECT_EQ(after.IndexBytes(), Index());
        EXPECT_EQ(after.LogBytes(), Log());
        EXPECT_EQ((std::vector<std::wstring>{L"fj.test.idx", L"fj.test.log"}), FilesIn(folder.Path()));
    }
}

TEST_F(GroupMaintenanceTest, FailedCompactionLeavesTheGroupAsItWasAndTheOthersGoOn)
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
        HandGroup hand = Mixed();
        if (d.recordCount)
            hand.header.recordCount = d.recordCount;
        std::string index = hand.IndexBytes();
        if (d.record) {
            IndexRecord* bad = (IndexRecord*)&index[IndexRecordOffset(d.record)];
            bad->articleOffset = d.offset;
            bad->articleLength = d.length;
        }
        ASSERT_TRUE(WriteBytes(group.IndexPath(), index) && WriteBytes(group.LogPath(), hand.LogBytes()));
        std::vector<std::wstring> files = FilesIn(folder.Path());
        const wchar_t* locked = d.readOnly == 1 ? group.LogPath() : group.IndexPath();
        if (d.readOnly)
            SetFileAttributesW(locked, FILE_ATTRIBUTE_READONLY);
        EXPECT_FALSE(CompactGroup(&group));
        EXPECT_EQ(d.error, GetLastError());
        SetFileAttributesW(group.LogPath(), FILE_ATTRIBUTE_NORMAL);
        SetFileAttributesW(group.IndexPath(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(index, Index());
        EXPECT_EQ(hand.LogBytes(), Log());
        EXPECT_EQ(files, FilesIn(folder.Path()));
    }

    // Deleting the read articles of every group goes on past a failing one.
    WriteGroup(L"fj.test", Mixed());
    WriteGroup(L"fj.other", Mixed());
    ASSERT_TRUE(WriteBytes(folder.File(L"group.dat"), "fj.test\r\n# comment\r\nfj.other\r\n"));
    SetFileAttributesW(group.LogPath(), FILE_ATTRIBUTE_READONLY);
    typedef std::vector<std::pair<std::wstring, DWORD>> Failures;
    Failures failures;
    CompactFailureHandler record = [](const wchar_t* name, DWORD error, void* context) {
        ((Failures*)context)->push_back({name, error});
    };
    ASSERT_TRUE(CompactAllGroups(Dir(), record, &failures));
    SetFileAttributesW(group.LogPath(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Failures({{L"fj.test", (DWORD)ERROR_ACCESS_DENIED}}), failures);
    EXPECT_EQ(Mixed().IndexBytes(), Index());
    EXPECT_EQ(Mixed().Unread().IndexBytes(), Index(L"fj.other"));
    ASSERT_TRUE(DeleteFileW(folder.File(L"group.dat").c_str()));
    EXPECT_FALSE(CompactAllGroups(Dir(), record, &failures));
}

TEST_F(GroupMaintenanceTest, CatchUpChangesOnlyReadBitsAndLastArticle)
{
    HandGroup hand;
    for (DWORD n = 1; n <= 600; ++n)  // more than one batch of records
        hand.Add(n, "s", (n % 3 ? 0u : (DWORD)kRecordRead) | (n % 5 ? 0u : kHighFlag));
    hand.header.recordCount = 650;  // a short index: what is there gets marked
    WriteGroup(L"fj.test", hand);
    ASSERT_TRUE(CatchUpServer(&group));
    ASSERT_TRUE(MarkAllRead(&group));
    for (HandArticle& article : hand.articles)
        article.flags |= kRecordRead;
    hand.header.unreadCount = 0;
    hand.header.lastArticle = 0xFFFFFFFF;
    EXPECT_EQ(hand.IndexBytes(), Index());
    EXPECT_EQ(hand.LogBytes(), Log());

    ASSERT_TRUE(DeleteFileW(group.IndexPath()));
    EXPECT_FALSE(MarkAllRead(&group));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_FALSE(CatchUpServer(&group));
}
