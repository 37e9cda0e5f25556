// Articles written as a patrol writes them, marked through the subject list
// and compacted: the compacted index must be what a rebuild of the
// compacted log gives.
#include "GroupFilesFixture.h"
#include "store/ArticleLog.h"
#include "store/ArticleWriter.h"
#include "store/GroupMaintenance.h"
#include "store/GroupRecord.h"
#include "store/SubjectList.h"

class CompactionRoundTripTest : public DataFolderTest {
protected:
    std::string Records(const wchar_t* group) { return ReadBytes(Path(group, L".idx")).substr(kIndexHeaderSize); }
};

TEST_F(CompactionRoundTripTest, CompactedIndexEqualsARebuildOfTheCompactedLog)
{
    ASSERT_TRUE(WriteBytes(Path(L"fj.trip", L".flt"), "+ keep\r\n- noise\r\n"));
    GroupRecord group;
    group.Reset();
    ASSERT_TRUE(group.SetNames(folder.c_str(), L"fj.trip"));
    group.Clear();
    ASSERT_TRUE(group.WriteHeader() && group.OpenIndex() && group.OpenLog());
    ArticleWriter writer;
    writer.Construct(&group);
    const char* subjects[] = {"keep this", "plain", "noise", NULL, "\x93\xfa\x96\x7b keep", "more"};
    for (DWORD n = 0; n < 6; ++n) {
        ASSERT_TRUE(writer.Begin(11 + n));
        ASSERT_TRUE(writer.AddHeaderLine("From: Taro Yamada <taro@example.jp>\r\n"));
        if (subjects[n]) {  // one article has no Subject line at all
            ASSERT_TRUE(writer.AddHeaderLine((std::string("Subject: ") + subjects[n] + "\r\n").c_str()));
        }
        ASSERT_TRUE(writer.WriteHeader());
        for (DWORD i = 0; i <= n % 4; ++i)
            ASSERT_TRUE(writer.WriteBodyLine("> a quoted line\r\n"));
        ASSERT_TRUE(writer.Finish());
    }
    writer.Destroy();
    group.CloseLog();
    group.CloseIndex();
    ASSERT_TRUE(group.WriteHeader());

    // Listed 11, 15 (high), 12, 14, 16, 13 (low): 15 and 12 are read.
    SubjectList list;
    list.SetPriorityLevel(kLevelAll);
    ASSERT_TRUE(list.Open(folder.c_str(), L"fj.trip") && list.Load(10));
    ASSERT_EQ(15u, list.Record(1)->articleNumber);
    ASSERT_EQ(12u, list.Record(2)->articleNumber);
    ASSERT_TRUE(list.SetFlags(1, kRecordRead) && list.SetFlags(2, kRecordRead) && list.Close());

    ASSERT_TRUE(CompactGroup(&group)) << GetLastError();
    ASSERT_TRUE(group.ReadHeader());
    EXPECT_EQ(4u, group.RecordCount());
    EXPECT_EQ(4u, group.UnreadCount());
    EXPECT_EQ(1u, group.HighCount());
    EXPECT_EQ(1u, group.LowCount());
    group.Release();

    GroupRecord copy;
    copy.Reset();
    ASSERT_TRUE(WriteBytes(Path(L"fj.copy", L".log"), ReadBytes(Path(L"fj.trip", L".log"))));
    ASSERT_TRUE(WriteBytes(Path(L"fj.copy", L".flt"), ReadBytes(Path(L"fj.trip", L".flt"))));
    ASSERT_TRUE(copy.SetNames(folder.c_str(), L"fj.copy"));
    copy.Clear();
    ASSERT_TRUE(copy.WriteHeader() && RebuildIndex(&copy));
    copy.CloseLog();
    copy.Release();
    EXPECT_EQ(Records(L"fj.copy"), Records(L"fj.trip"));
}
