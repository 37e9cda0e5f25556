// The subject list in thread order: a crafted group's order against one
// computed here from the same headers, the thread file built again when it
// is missing, cut, damaged or from an earlier pass, and a thread marked read.
#include "GroupFilesFixture.h"
#include <ctype.h>
#include <functional>
#include <map>
#include "store/FileOps.h"
#include "store/GroupMaintenance.h"
#include "store/SubjectList.h"
#include "store/ThreadFile.h"
#include "support/KillPoints.h"

namespace {

struct Crafted {
    const char* id;
    const char* refs;
    std::string subject;
    DWORD flags;
};

// Missing parents, a loop, a parent after its child, a duplicate id,
// "Re: Re:" and encoded words.
const Crafted kCrafted[] = {
    {"<a@x>", "", "Topic A", 0},
    {"<b@x>", "<a@x>", "Re: Topic A", kRecordRead},
    {"<c@x>", "<a@x> <gone@x> <b@x>", "Re: Re: Topic A", 0},
    {"<d@x>", "<lost@x>", "Re: Topic B", 0},
    {"<e@x>", "", "Topic B", 0},
    {"<f@x>", "<g@x>", "Re: late", 0},
    {"<x1@x>", "<x2@x>", "Loop one", 0},
    {"<x2@x>", "<x1@x>", "Loop two", kLowFlag},
    {"<g@x>", "", "late", kHighFlag | kRecordRead},
    {"<a@x>", "", "Topic A again", 0},
    {"<h@x>", "<a@x>", "=?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=", kRecordRead},
    {"<i@x>", "<b@x> <h@x>", "RE:re: =?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=", 0},
    {"<j@x>", "<j@x>", "Re: \x93\xfa\x96\x7b\x8c\xea", 0},
    {"", "<j@x>", "\x93\xfa\x96\x7b\x8c\xea", kHighFlag},
};
const DWORD kCraftedCount = sizeof kCrafted / sizeof kCrafted[0];

HandGroup CraftedGroup(DWORD count = kCraftedCount, DWORD readMask = kRecordRead)
{
    HandGroup group;
    for (DWORD i = 0; i < count; ++i) {
        const Crafted& c = kCrafted[i];
        std::string extra = *c.id ? std::string("Message-ID: ") + c.id + "\r\n" : "";
        if (*c.refs)
            extra += std::string("References: ") + c.refs + "\r\n";
        group.Add(100 + i, c.subject, c.flags & (readMask | kRecordPriorityMask), "body\r\n", extra);
    }
    return group;
}

std::string Base(const std::string& subject)
{
    size_t at = 0;
    for (;;) {
        while (at < subject.size() && subject[at] == ' ')
            ++at;
        if (subject.size() - at >= 3 && tolower(subject[at]) == 'r' && tolower(subject[at + 1]) == 'e'
            && subject[at + 2] == ':')
            at += 3;
        else
            return subject.substr(at);
    }
}

std::vector<std::string> Ids(const std::string& refs)
{
    std::vector<std::string> ids;
    for (size_t at = 0; (at = refs.find('<', at)) != std::string::npos; ++at)
        ids.push_back(refs.substr(at, refs.find('>', at) + 1 - at));
    return ids;
}

// The order the list should show, worked out from the headers alone.
struct Expected {
    std::vector<int> parent;
    std::vector<DWORD> order, depth;

    Expected(DWORD count, BOOL showRead)
    {
        std::map<std::string, int> byId;
        for (DWORD i = 0; i < count; ++i)
            if (*kCrafted[i].id)
                byId.insert({kCrafted[i].id, (int)i});
        parent.assign(count, -1);
        auto reaches = [&](int from, int record) {
            for (int at = from; at != -1; at = parent[at])
                if (at == record)
                    return true;
            return false;
        };
        for (DWORD i = 0; i < count; ++i) {
            std::vector<std::string> refs = Ids(kCrafted[i].refs);
            for (size_t j = refs.size(); j-- > 0;) {
                auto found = byId.find(refs[j]);
                if (found != byId.end() && !reaches(found->second, (int)i)) {
                    parent[i] = found->second;
                    break;
                }
            }
        }
        std::map<std::string, int> firstBySubject;
        for (DWORD i = 0; i < count; ++i) {
            std::string base = Base(kCrafted[i].subject);
            if (parent[i] != -1 || base.empty())
                continue;
            if (firstBySubject.count(base))
                parent[i] = firstBySubject[base];
            else
                firstBySubject[base] = (int)i;
        }
        auto listed = [&](int i) { return showRead || !(kCrafted[i].flags & kRecordRead); };
        std::vector<std::pair<int, std::vector<int>>> threads;  // region, rows
        std::vector<int> rows;
        std::function<void(int, DWORD)> walk = [&](int at, DWORD shown) {
            if (listed(at))
                rows.push_back(at);
            for (DWORD child = 0; child < count; ++child)
                if (parent[child] == at)
                    walk((int)child, shown + (listed(at) ? 1 : 0));
        };
        for (DWORD root = 0; root < count; ++root) {
            if (parent[root] != -1)
                continue;
            rows.clear();
            walk((int)root, 0);
            if (rows.empty())
                continue;
            DWORD priority = (kCrafted[rows[0]].flags & kRecordPriorityMask) >> kRecordPriorityShift;
            threads.push_back({priority == kPriorityHigh ? 0 : priority == kPriorityLow ? 2 : 1, rows});
        }
        for (int region = 0; region < 3; ++region)
            for (const auto& thread : threads)
                if (thread.first == region)
                    for (int row : thread.second) {
                        order.push_back(100 + row);
                        DWORD shown = 0;
                        for (int at = parent[row]; at != -1; at = parent[at])
                            shown += listed(at) ? 1 : 0;
                        depth.push_back(shown);
                    }
    }
};

class ThreadOrderTest : public StoreTest {
protected:
    void Open(BOOL showRead)
    {
        list.SetThreaded(TRUE);
        list.SetShowRead(showRead);
        list.SetPriorityLevel(kLevelAll);
        ASSERT_TRUE(list.Open(Dir(), L"fj.test")) << GetLastError();
        ASSERT_TRUE(list.Load(kCraftedCount + 2)) << GetLastError();
        ASSERT_TRUE(list.InThreadOrder());
    }
    std::vector<DWORD> Rows() const
    {
        std::vector<DWORD> numbers;
        for (DWORD row = 0; row < list.LoadedCount(); ++row)
            numbers.push_back(list.Record(row)->articleNumber);
        return numbers;
    }
    void ExpectOrder(DWORD count, BOOL showRead)
    {
        Expected expected(count, showRead);
        Open(showRead);
        EXPECT_EQ(expected.order, Rows());
        for (DWORD row = 0; row < list.LoadedCount(); ++row) {
            DWORD i = list.Record(row)->articleNumber - 100;
            EXPECT_EQ(expected.depth[row], list.RowDepth(row)) << i;
            int parent = expected.parent[i];
            EXPECT_EQ(parent != -1 && Base(kCrafted[i].subject) == Base(kCrafted[parent].subject),
                      !!list.RowRepeatsSubject(row)) << i;
        }
        list.Close();
    }
    std::wstring ThreadPath() const { return folder.File(L"fj.test.thr"); }

    SubjectList list;
};

}  // namespace

TEST_F(ThreadOrderTest, ACraftedGroupListsByConversationWithReadOnesShownOrHidden)
{
    WriteGroup(L"fj.test", CraftedGroup());
    for (BOOL showRead : {TRUE, FALSE}) {
        SCOPED_TRACE(showRead);
        ExpectOrder(kCraftedCount, showRead);
    }
    // The order is thread by thread, not by arrival.
    Expected all(kCraftedCount, TRUE);
    EXPECT_EQ(8, all.parent[5]);
    EXPECT_EQ(7, all.parent[6]);
    EXPECT_EQ(-1, all.parent[7]);
    EXPECT_EQ(3, all.parent[4]);

    // Off, the same files give today's flat list and no thread file.
    DeleteFileW(ThreadPath().c_str());
    list.SetThreaded(FALSE);
    list.SetShowRead(TRUE);
    ASSERT_TRUE(list.Open(Dir(), L"fj.test") && list.Load(kCraftedCount));
    EXPECT_FALSE(list.InThreadOrder());
    EXPECT_EQ(100u + 8, list.Record(0)->articleNumber);
    EXPECT_EQ(100u + 0, list.Record(2)->articleNumber);
    EXPECT_FALSE(FileExists(ThreadPath()));
}

TEST_F(ThreadOrderTest, TheThreadFileIsBuiltAgainWhenMissingCutDamagedOrFromAnEarlierPass)
{
    WriteGroup(L"fj.test", CraftedGroup());
    ExpectOrder(kCraftedCount, TRUE);
    const std::string whole = ReadBytes(ThreadPath());
    ASSERT_EQ(32u + 14 * 32, whole.size());

    std::string damaged = whole;
    damaged[32 + 14 * 4 + 5] ^= 0x01;   // in the order
    std::string looped = whole;
    looped.replace(32, 4, U32(1));      // the first article under its follow-up
    for (const std::string& bytes : {std::string(), whole.substr(0, whole.size() - 5), damaged, looped}) {
        SCOPED_TRACE(bytes.size());
        if (bytes.empty())
            DeleteFileW(ThreadPath().c_str());
        else
            ASSERT_TRUE(WriteBytes(ThreadPath(), bytes));
        ExpectOrder(kCraftedCount, TRUE);
        EXPECT_EQ(whole, ReadBytes(ThreadPath()));
    }

    // The file of an earlier pass: a patrol's end links only the new ones
    // (the late parent and the loop's other half among them) to the same.
    WriteGroup(L"fj.test", CraftedGroup(7));
    ExpectOrder(7, TRUE);
    WriteGroup(L"fj.test", CraftedGroup());
    ASSERT_TRUE(group.ReadHeader());
    ASSERT_TRUE(UpdateThreadFile(&group)) << GetLastError();
    EXPECT_EQ(whole, ReadBytes(ThreadPath()));
    // Opening after an earlier pass whose file was not brought up to date.
    WriteGroup(L"fj.test", CraftedGroup(9));
    ExpectOrder(9, TRUE);
    WriteGroup(L"fj.test", CraftedGroup());
    ExpectOrder(kCraftedCount, TRUE);
    EXPECT_EQ(whole, ReadBytes(ThreadPath()));

    // The deletion of read articles builds it for the articles it keeps.
    ASSERT_TRUE(group.ReadHeader());
    ASSERT_TRUE(CompactGroup(&group)) << GetLastError();
    std::string kept = ReadBytes(ThreadPath());
    ASSERT_EQ(32u + 11 * 32, kept.size());
    EXPECT_EQ(11u, WordAt(kept, 8));
    EXPECT_EQ(Log().size(), WordAt(kept, 12));

    // A group whose list was never threaded gets no file.
    DeleteFileW(ThreadPath().c_str());
    ASSERT_TRUE(UpdateThreadFile(&group));
    EXPECT_FALSE(FileExists(ThreadPath()));
}

// Killed or cut off at any call while a patrol's end updates it, the file
// is the old one, the new one, or one the next opening builds again.
TEST_F(ThreadOrderTest, AnUpdateStoppedAtAnyCallLeavesAFileThatOpensToTheSameOrder)
{
    std::string earlier;
    WriteGroup(L"fj.test", CraftedGroup(7));
    ExpectOrder(7, TRUE);
    earlier = ReadBytes(ThreadPath());
    int points = ForEachKillPoint(
        [&] {
            WriteGroup(L"fj.test", CraftedGroup());
            DeleteFileW((ThreadPath() + L"~").c_str());
            ASSERT_TRUE(WriteBytes(ThreadPath(), earlier));
        },
        [&] {
            group.ReadHeader();
            UpdateThreadFile(&group);
        },
        [&](int k) {
            SCOPED_TRACE(k);
            ExpectOrder(kCraftedCount, TRUE);
        });
    EXPECT_GT(points, 3);
}

TEST_F(ThreadOrderTest, MarkingAThreadReadWritesEachOfItsUnreadRecordsOnce)
{
    WriteGroup(L"fj.test", CraftedGroup(kCraftedCount, 0));
    Open(FALSE);
    Expected expected(kCraftedCount, TRUE);
    // The row of "Re: Re: Topic A": its thread holds 0, 1, 2, 10, 11.
    DWORD row = 0;
    while (row < list.LoadedCount() && list.Record(row)->articleNumber != 102)
        ++row;
    ASSERT_LT(row, list.LoadedCount());
    DWORD unread = list.UnreadCount();
    ASSERT_TRUE(list.MarkThreadRead(row)) << GetLastError();
    EXPECT_EQ(unread - 5, list.UnreadCount());
    for (DWORD r = 0; r < list.LoadedCount(); ++r) {
        DWORD i = list.Record(r)->articleNumber - 100;
        int root = (int)i;
        while (expected.parent[root] != -1)
            root = expected.parent[root];
        EXPECT_EQ(root == 0, !!(list.Record(r)->flags & kRecordRead)) << i;
    }
    ASSERT_TRUE(list.Close());
    std::string index = Index();
    EXPECT_EQ(unread - 5, WordAt(index, 88));
    for (DWORD i = 0; i < kCraftedCount; ++i) {
        DWORD flags = WordAt(index, 100 + 92 * i);
        BOOL inThread = i == 0 || i == 1 || i == 2 || i == 10 || i == 11;
        EXPECT_EQ(inThread, !!(flags & kRecordRead)) << i;
        EXPECT_EQ(kCrafted[i].flags & kRecordPriorityMask, flags & kRecordPriorityMask) << i;
    }
}
