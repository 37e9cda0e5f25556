#include "GroupFilesFixture.h"
#include <stdlib.h>
#include "store/SubjectList.h"

namespace {

const DWORD kHigh = kPriorityHigh << kRecordPriorityShift;
const DWORD kLow = kPriorityLow << kRecordPriorityShift;
const DWORD kThree = 3 << kRecordPriorityShift;

class SubjectListTest : public DataFolderTest {
protected:
    std::wstring Index() const { return Path(L"fj.test", L".idx"); }

    // Writes the group and opens and loads it with the given view options.
    void OpenLoaded(const HandGroup& group, DWORD pageSize, DWORD level, BOOL showRead)
    {
        WriteGroup(L"fj.test", group);
        list.SetPriorityLevel(level);
        list.SetShowRead(showRead);
        ASSERT_TRUE(list.Open(folder.c_str(), L"fj.test")) << GetLastError();
        ASSERT_TRUE(list.Load(pageSize)) << GetLastError();
    }

    // Article numbers of the loaded window, in row order.
    std::vector<DWORD> Window() const
    {
        std::vector<DWORD> numbers;
        for (DWORD row = 0; row < list.LoadedCount(); ++row)
            numbers.push_back(list.Record(row)->articleNumber);
        return numbers;
    }

    // Every listed entry, page by page.
    std::vector<DWORD> AllPages(DWORD pageSize)
    {
        std::vector<DWORD> numbers;
        for (DWORD top = 0; top < list.VisibleCount(); top += pageSize) {
            EXPECT_TRUE(list.LoadWindow(top));
            std::vector<DWORD> page = Window();
            numbers.insert(numbers.end(), page.begin(), page.end());
        }
        return numbers;
    }

    SubjectList list;
};

HandGroup GroupOf(const std::vector<DWORD>& flags)
{
    HandGroup group;
    for (size_t i = 0; i < flags.size(); ++i)
        group.Add(MakeArticle((DWORD)i, "subject " + std::to_string(i), flags[i]));
    group.Count();
    return group;
}

}  // namespace

TEST_F(SubjectListTest, OrdersByPriorityThenArrival)
{
    OpenLoaded(GroupOf({0, kHigh, kLow, kHigh}), 10, kLevelAll, FALSE);
    EXPECT_EQ((std::vector<DWORD>{1, 3, 0, 2}), Window());
    EXPECT_EQ(4u, list.VisibleCount());
    EXPECT_EQ(1u, list.RecordNumber(0));
    EXPECT_EQ(2u, list.RecordNumber(3));
    EXPECT_EQ(0xFFFFFFFFu, list.RecordNumber(4));
}

TEST_F(SubjectListTest, LevelsAndShowReadDecideWhatIsListed)
{
    // 0 normal, 1 high read, 2 low, 3 high, 4 normal read, 5 priority 3, 6 low read
    HandGroup group = GroupOf({0, kHigh | kRecordRead, kLow, kHigh, kRecordRead, kThree,
                               kLow | kRecordRead});
    struct Case {
        DWORD level;
        BOOL showRead;
        std::vector<DWORD> listed;
    } cases[] = {
        {kLevelAll, FALSE, {3, 0, 5, 2}},
        {kLevelAll, TRUE, {1, 3, 0, 4, 5, 2, 6}},
        {kLevelNormalAndHigh, FALSE, {3, 0, 5}},
        {kLevelNormalAndHigh, TRUE, {1, 3, 0, 4, 5}},
        {kLevelHighOnly, FALSE, {3}},
        {kLevelHighOnly, TRUE, {1, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "level " << c.level << " read " << c.showRead);
        OpenLoaded(group, 3, c.level, c.showRead);
        EXPECT_EQ(c.listed.size(), list.VisibleCount());
        EXPECT_EQ(c.listed, AllPages(3));
        ASSERT_TRUE(list.Close());
    }
}

TEST_F(SubjectListTest, AllReadOrEmptyGroupsListNothingAndStillClose)
{
    OpenLoaded(GroupOf({kRecordRead, kRecordRead | kHigh}), 10, kLevelAll, FALSE);
    EXPECT_EQ(0u, list.VisibleCount());
    EXPECT_EQ(0u, list.LoadedCount());
    EXPECT_EQ(NULL, list.SelectedRecord());
    EXPECT_FALSE(list.SetFlags(0, kRecordRead));
    ASSERT_TRUE(list.Close());

    HandGroup empty;
    empty.header.savedPosition = 5;
    OpenLoaded(empty, 10, kLevelAll, TRUE);
    EXPECT_EQ(0u, list.VisibleCount());
    ASSERT_TRUE(list.Close());
    empty.header.savedPosition = 0;
    EXPECT_EQ(empty.IndexBytes(), ReadBytes(Index()));
    EXPECT_TRUE(list.Close());  // a second close writes nothing
}

TEST_F(SubjectListTest, WindowPagesThroughTheOrder)
{
    std::vector<DWORD> flags;
    for (int i = 0; i < 13; ++i)
        flags.push_back(i % 4 == 1 ? kHigh : 0);
    OpenLoaded(GroupOf(flags), 10, kLevelAll, FALSE);
    EXPECT_EQ(10u, list.LoadedCount());
    EXPECT_EQ((std::vector<DWORD>{1, 5, 9, 0, 2, 3, 4, 6, 7, 8}), Window());
    ASSERT_TRUE(list.LoadWindow(10));
    EXPECT_EQ((std::vector<DWORD>{10, 11, 12}), Window());
    ASSERT_TRUE(list.LoadWindow(12));
    EXPECT_EQ((std::vector<DWORD>{12}), Window());
    ASSERT_TRUE(list.LoadWindow(40));  // past the end: nothing, no overrun
    EXPECT_EQ(0u, list.LoadedCount());
    EXPECT_EQ(13u, list.Top());
    ASSERT_TRUE(list.LoadWindow(3));
    EXPECT_EQ(10u, list.LoadedCount());
    EXPECT_EQ(0u, Window()[0]);
    // The window's copies are the records in the file.
    HandGroup group = GroupOf(flags);
    std::vector<IndexRecord> records = group.Records();
    for (DWORD row = 0; row < list.LoadedCount(); ++row)
        EXPECT_EQ(0, memcmp(&records[list.RecordNumber(row)], list.Record(row), sizeof(IndexRecord)));
}

TEST_F(SubjectListTest, MarksGoToTheRecordAndTheHeaderAtClose)
{
    HandGroup group = GroupOf({0, kHigh, kRecordRead, 0});
    OpenLoaded(group, 10, kLevelAll, TRUE);
    ASSERT_EQ((std::vector<DWORD>{1, 0, 2, 3}), Window());
    EXPECT_EQ(3u, list.UnreadCount());

    ASSERT_TRUE(list.SetFlags(0, kRecordRead));      // record 1 read
    EXPECT_EQ(2u, list.UnreadCount());
    ASSERT_TRUE(list.SetFlags(0, kRecordRead));      // again: no change
    EXPECT_EQ(2u, list.UnreadCount());
    ASSERT_TRUE(list.ClearFlags(2, kRecordRead));    // record 2 unread
    EXPECT_EQ(3u, list.UnreadCount());
    ASSERT_TRUE(list.ClearFlags(3, kRecordRead));    // already unread
    EXPECT_EQ(3u, list.UnreadCount());
    EXPECT_FALSE(list.SetFlags(4, kRecordRead));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());

    // The records change at once; the header only at close.
    group.articles[1].flags |= kRecordRead;
    group.articles[2].flags &= ~(DWORD)kRecordRead;
    std::string beforeClose = group.IndexBytes();
    EXPECT_EQ(beforeClose, ReadBytes(Index()));
    list.SetSelection(2);
    ASSERT_TRUE(list.Close());
    group.header.savedPosition = 2;
    EXPECT_EQ(group.IndexBytes(), ReadBytes(Index()));
}

TEST_F(SubjectListTest, ReopenedListStartsAtTheFirstEntry)
{
    std::vector<DWORD> flags(30, 0);
    OpenLoaded(GroupOf(flags), 8, kLevelAll, FALSE);
    ASSERT_TRUE(list.LoadWindow(8));
    list.SetSelection(3);
    EXPECT_EQ(11u, list.SelectedRecord()->articleNumber);
    ASSERT_TRUE(list.Close());
    ASSERT_TRUE(list.Open(folder.c_str(), L"fj.test"));
    EXPECT_EQ(11u, list.SavedPosition());
    ASSERT_TRUE(list.Load(8));
    EXPECT_EQ(0u, list.Top());
    EXPECT_EQ(0u, list.Selection());
    EXPECT_EQ(0u, list.SelectedRecord()->articleNumber);
}

TEST_F(SubjectListTest, DriftedCountersNeitherOverrunNorMisorder)
{
    HandGroup group = GroupOf({kHigh, 0, kHigh, kLow, kHigh, kLow, 0, kHigh | kRecordRead});
    struct Drift {
        DWORD high, low, unread;
    } drifts[] = {{0, 0, 0}, {8, 8, 8}, {1, 7, 100}, {0xFFFFFFFF, 0xFFFFFFFF, 0}};
    for (const Drift& drift : drifts) {
        SCOPED_TRACE(testing::Message() << drift.high << "/" << drift.low);
        group.header.highCount = drift.high;
        group.header.lowCount = drift.low;
        group.header.unreadCount = drift.unread;
        OpenLoaded(group, 10, kLevelAll, TRUE);
        EXPECT_EQ((std::vector<DWORD>{0, 2, 4, 7, 1, 6, 3, 5}), Window());
        // The pass saw every record, so the header gets exact counters.
        EXPECT_EQ(4u, list.HighCount());
        EXPECT_EQ(2u, list.LowCount());
        EXPECT_EQ(7u, list.UnreadCount());
        ASSERT_TRUE(list.Close());
    }
}

TEST_F(SubjectListTest, IndexShorterThanItsCountListsWhatIsThere)
{
    HandGroup group = GroupOf({0, kHigh, kLow});
    group.header.recordCount = 1000000;  // far more than the file holds
    OpenLoaded(group, 10, kLevelAll, FALSE);
    EXPECT_EQ((std::vector<DWORD>{1, 0, 2}), Window());
    ASSERT_TRUE(list.Close());
    ASSERT_TRUE(list.ReadHeader());
    EXPECT_EQ(1000000u, list.RecordCount());  // left for the data initialisation to judge

    std::string index = group.IndexBytes();
    index.resize(index.size() - 50);  // the last record cut in half
    ASSERT_TRUE(WriteBytes(Index(), index));
    ASSERT_TRUE(list.Open(folder.c_str(), L"fj.test"));
    ASSERT_TRUE(list.Load(10));
    EXPECT_EQ((std::vector<DWORD>{1, 0}), Window());
}

TEST_F(SubjectListTest, WidestFieldsAndSelectedSubjectText)
{
    HandGroup group;
    group.Add(MakeArticle(1, "short", 0));
    std::string longSubject = "\x93\xfa\x96\x7b\x8c\xea: " + std::string(80, 'x');
    group.Add(MakeArticle(142, longSubject, 0));
    group.Count();
    OpenLoaded(group, 10, kLevelAll, FALSE);
    EXPECT_EQ(8u, list.WidestSender());     // "Sender42"
    EXPECT_EQ(47u, list.WidestSubject());   // the field's limit
    list.SetSelection(1);
    wchar_t* text = list.SelectedSubjectText();
    ASSERT_TRUE(text != NULL);
    EXPECT_EQ(std::wstring(L"日本語: ") + std::wstring(80, L'x'), text);
    free(text);

    // A record whose subject points outside the log gives none.
    std::string index = group.IndexBytes();
    IndexRecord* bad = (IndexRecord*)&index[IndexRecordOffset(0)];
    bad->subjectOffset = 0x7FFFFFF0;
    ASSERT_TRUE(WriteBytes(Index(), index));
    ASSERT_TRUE(list.Open(folder.c_str(), L"fj.test"));
    ASSERT_TRUE(list.Load(10));
    EXPECT_EQ(NULL, list.SelectedSubjectText());
    bad->subjectOffset = 0;
    bad->subjectLength = 0xFFFFFFFF;
    ASSERT_TRUE(WriteBytes(Index(), index));
    ASSERT_TRUE(list.Open(folder.c_str(), L"fj.test"));
    ASSERT_TRUE(list.Load(10));
    EXPECT_EQ(NULL, list.SelectedSubjectText());
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
}

TEST_F(SubjectListTest, FailuresAreReportedNotHidden)
{
    EXPECT_FALSE(list.Open(folder.c_str(), L"fj.missing"));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_FALSE(list.IsOpen());
    EXPECT_TRUE(list.Close());

    // The index held by another opener: the load fails and lists nothing.
    HandGroup group = GroupOf({0, 0});
    WriteGroup(L"fj.test", group);
    ASSERT_TRUE(list.Open(folder.c_str(), L"fj.test"));
    HANDLE holder = CreateFileW(Index().c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    EXPECT_FALSE(list.Load(10));
    EXPECT_EQ(0u, list.LoadedCount());
    CloseHandle(holder);
}
