// The subject list: which records it shows in which order, paging, marks.
#include "GroupFilesFixture.h"
#include <stdlib.h>
#include "store/SubjectList.h"

namespace {

class SubjectListTest : public StoreTest {
protected:
    void OpenLoaded(const HandGroup& hand, DWORD pageSize, DWORD level, BOOL showRead)
    {
        WriteGroup(L"fj.test", hand);
        list.SetPriorityLevel(level);
        list.SetShowRead(showRead);
        ASSERT_TRUE(list.Open(Dir(), L"fj.test")) << GetLastError();
        ASSERT_TRUE(list.Load(pageSize)) << GetLastError();
    }

    // Article numbers of the window's rows.
    std::vector<DWORD> Window() const
    {
        std::vector<DWORD> numbers;
        for (DWORD row = 0; row < list.LoadedCount(); ++row)
            numbers.push_back(list.Record(row)->articleNumber);
        return numbers;
    }

    SubjectList list;
};

HandGroup GroupOf(const std::vector<DWORD>& flags)
{
    HandGroup group;
    for (size_t i = 0; i < flags.size(); ++i)
        group.Add((DWORD)i, "subject " + std::to_string(i), flags[i]);
    return group;
}

}  // namespace

TEST_F(SubjectListTest, LevelsAndShowReadDecideWhatIsListedInWhichOrderAndWindowsPageThroughIt)
{
    // 0 normal, 1 high read, 2 low, 3 high, 4 normal read, 5 priority 3, 6 low read
    HandGroup hand = GroupOf({0, kHighFlag | kRecordRead, kLowFlag, kHighFlag, kRecordRead,
                              3 << kRecordPriorityShift, kLowFlag | kRecordRead});
    struct Case {
        DWORD level;
        BOOL showRead;
        std::vector<DWORD> listed;
    } cases[] = {
        {kLevelAll, FALSE, {3, 0, 5, 2}},
        {kLevelAll, TRUE, {1, 3, 0, 4, 5, 2, 6}},
        {kLevelNormalAndHigh, FALSE, {3, 0, 5}},
        {kLevelNormalAndHigh, TRUE, {1, 3, 0, 4, 5}},
        {kLevelHighOnly, TRUE, {1, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        OpenLoaded(hand, 3, c.level, c.showRead);
        EXPECT_EQ(c.listed.size(), list.VisibleCount());
        std::vector<DWORD> listed;   // page by page
        for (DWORD top = 0; top < list.VisibleCount(); top += list.PageSize()) {
            ASSERT_TRUE(list.LoadWindow(top));
            std::vector<DWORD> page = Window();
            listed.insert(listed.end(), page.begin(), page.end());
        }
        EXPECT_EQ(c.listed, listed);
        ASSERT_TRUE(list.Close());
    }
    OpenLoaded(GroupOf({kRecordRead, kRecordRead | kHighFlag}), 10, kLevelAll, FALSE);
    EXPECT_EQ(0u, list.VisibleCount());
    EXPECT_EQ(NULL, list.SelectedRecord());
    EXPECT_FALSE(list.SetFlags(0, kRecordRead));
    ASSERT_TRUE(list.Close());

    // A window pages through the order without overrun.
    std::vector<DWORD> flags;
    for (int i = 0; i < 13; ++i)
        flags.push_back(i % 4 == 1 ? kHighFlag : 0);
    OpenLoaded(GroupOf(flags), 10, kLevelAll, FALSE);
    ASSERT_TRUE(list.LoadWindow(40));
    EXPECT_EQ(0u, list.LoadedCount());
    ASSERT_TRUE(list.LoadWindow(3));
    EXPECT_EQ((std::vector<DWORD>{0, 2, 3, 4, 6, 7, 8, 10, 11, 12}), Window());
    std::string index = GroupOf(flags).IndexBytes();
    for (DWORD row = 0; row < list.LoadedCount(); ++row)
        EXPECT_EQ(index.substr(IndexRecordOffset(list.RecordNumber(row)), kIndexRecordSize),
                  std::string((const char*)list.Record(row), kIndexRecordSize));
    EXPECT_EQ(0xFFFFFFFFu, list.RecordNumber(10));
}

TEST_F(SubjectListTest, MarksGoToTheRecordAndTheHeaderAtCloseWithCountersRecountedAndTheSelectedText)
{
    HandGroup hand = GroupOf({0, kHighFlag, kRecordRead, 0});
    OpenLoaded(hand, 10, kLevelAll, TRUE);
    ASSERT_EQ((std::vector<DWORD>{1, 0, 2, 3}), Window());
    ASSERT_TRUE(list.SetFlags(0, kRecordRead));
    ASSERT_TRUE(list.SetFlags(0, kRecordRead));    // already read: no change
    EXPECT_EQ(2u, list.UnreadCount());
    ASSERT_TRUE(list.ClearFlags(2, kRecordRead));
    ASSERT_TRUE(list.ClearFlags(3, kRecordRead));  // already unread
    EXPECT_EQ(3u, list.UnreadCount());
    EXPECT_FALSE(list.SetFlags(4, kRecordRead));
    hand.articles[1].flags |= kRecordRead;
    hand.articles[2].flags &= ~(DWORD)kRecordRead;
    EXPECT_EQ(hand.IndexBytes(), Index());  // records now, header later
    list.SetSelection(2);
    ASSERT_TRUE(list.Close());
    hand.header.savedPosition = 2;
    EXPECT_EQ(hand.IndexBytes(), Index());
    ASSERT_TRUE(list.Close());  // once per open

    // Counters that disagree with the records are recounted.
    hand = GroupOf({kHighFlag, 0, kHighFlag, kLowFlag, kHighFlag, kLowFlag, 0, kHighFlag | kRecordRead});
    HandGroup recounted = hand;
    recounted.header.savedPosition = 0;
    DWORD drifts[][3] = {{0, 0, 0}, {8, 8, 8}, {1, 7, 100}, {0xFFFFFFFF, 0xFFFFFFFF, 0}};
    for (const DWORD* drift : drifts) {
        hand.header.highCount = drift[0];
        hand.header.lowCount = drift[1];
        hand.header.unreadCount = drift[2];
        OpenLoaded(hand, 10, kLevelAll, TRUE);
        EXPECT_EQ((std::vector<DWORD>{0, 2, 4, 7, 1, 6, 3, 5}), Window());
        ASSERT_TRUE(list.Close());
        EXPECT_EQ(recounted.IndexBytes(), Index());
    }
    // An index shorter than its count lists the whole records it holds.
    hand = GroupOf({0, kHighFlag, kLowFlag});
    hand.header.recordCount = 1000000;
    std::string index = hand.IndexBytes();
    index.resize(index.size() - 50);
    SetIndex(index);
    ASSERT_TRUE(list.Open(Dir(), L"fj.test"));
    ASSERT_TRUE(list.Load(10));
    EXPECT_EQ((std::vector<DWORD>{1, 0}), Window());
    EXPECT_FALSE(list.Load(0xFFFFFFFF));

    hand = HandGroup();
    hand.Add(1, "short", 0).Add(142, "\x93\xfa\x96\x7b\x8c\xea: " + std::string(80, 'x'), 0);
    OpenLoaded(hand, 10, kLevelAll, FALSE);
    EXPECT_EQ(8u, list.WidestSender());     // "Sender42"
    EXPECT_EQ(47u, list.WidestSubject());   // the field's limit
    list.SetSelection(1);
    wchar_t* text = list.SelectedSubjectText();
    ASSERT_TRUE(text != NULL);
    EXPECT_EQ(std::wstring(L"日本語: ") + std::wstring(80, L'x'), text);
    free(text);

    index = hand.IndexBytes();
    IndexRecord* bad = (IndexRecord*)&index[IndexRecordOffset(0)];
    for (DWORD damage : {0u, 1u}) {
        bad->subjectOffset = damage ? 0 : 0x7FFFFFF0;
        bad->subjectLength = damage ? 0xFFFFFFFF : 5;
        SetIndex(index);
        ASSERT_TRUE(list.Open(Dir(), L"fj.test"));
        ASSERT_TRUE(list.Load(10));
        EXPECT_EQ(NULL, list.SelectedSubjectText());
        EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
    }
}
