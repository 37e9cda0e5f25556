// Articles written the way a patrol writes them, marked through the subject
// list, then compacted: the compacted index must be exactly what a rebuild
// of the compacted log gives.
#include "GroupFilesFixture.h"
#include <stdlib.h>
#include "store/ArticleLog.h"
#include "store/ArticleWriter.h"
#include "store/GroupMaintenance.h"
#include "store/GroupRecord.h"
#include "store/SubjectList.h"

namespace {

class CompactionRoundTripTest : public DataFolderTest {
protected:
    void WriteArticles()
    {
        ASSERT_TRUE(WriteBytes(Path(L"fj.trip", L".flt"), "+ keep\r\n- noise\r\n"));
        GroupRecord group;
        group.Reset();
        ASSERT_TRUE(group.SetNames(folder.c_str(), L"fj.trip"));
        group.Clear();
        ASSERT_TRUE(group.WriteHeader());
        ASSERT_TRUE(group.OpenIndex());
        ASSERT_TRUE(group.OpenLog());
        ArticleWriter writer;
        writer.Construct(&group);
        struct Source {
            DWORD number;
            const char* subject;   // none: no Subject line at all
        } sources[] = {
            {11, "keep this one"},
            {12, "plain talk"},
            {13, "noise"},
            {14, NULL},
            {15, "\x93\xfa\x96\x7b\x8c\xea keep"},
            {16, "more plain talk"},
        };
        for (const Source& source : sources) {
            ASSERT_TRUE(writer.Begin(source.number));
            ASSERT_TRUE(writer.AddHeaderLine("From: Taro Yamada <taro@example.jp>\r\n"));
            if (source.subject) {
                std::string line = std::string("Subject: ") + source.subject + "\r\n";
                ASSERT_TRUE(writer.AddHeaderLine(line.c_str()));
            }
            ASSERT_TRUE(writer.AddHeaderLine("Date: Sat, 5 Dec 2026 15:08:39 +0900\r\n"));
            ASSERT_TRUE(writer.WriteHeader());
            for (int i = 0; i < (int)source.number % 4 + 1; ++i)
                ASSERT_TRUE(writer.WriteBodyLine("> a quoted line of the body\r\n"));
            ASSERT_TRUE(writer.Finish());
        }
        writer.Destroy();
        group.CloseLog();
        group.CloseIndex();
        ASSERT_TRUE(group.WriteHeader());
        group.Release();
    }

    std::string Records(const std::wstring& index)
    {
        std::string bytes = ReadBytes(index);
        return bytes.size() >= kIndexHeaderSize ? bytes.substr(kIndexHeaderSize) : "";
    }
};

}  // namespace

TEST_F(CompactionRoundTripTest, CompactedIndexEqualsARebuildOfTheCompactedLog)
{
    WriteArticles();
    std::string originalLog = ReadBytes(Path(L"fj.trip", L".log"));

    // Read the second and third listed entries: at level 1 the order is
    // 11, 15 (high), 12, 14, 16 (normal), 13 (low). The article without a
    // Subject line stays.
    SubjectList list;
    list.SetPriorityLevel(kLevelAll);
    ASSERT_TRUE(list.Open(folder.c_str(), L"fj.trip"));
    ASSERT_TRUE(list.Load(10));
    ASSERT_EQ(6u, list.VisibleCount());
    EXPECT_EQ(15u, list.Record(1)->articleNumber);
    EXPECT_EQ(12u, list.Record(2)->articleNumber);
    ASSERT_TRUE(list.SetFlags(1, kRecordRead));
    ASSERT_TRUE(list.SetFlags(2, kRecordRead));
    list.SetSelection(4);
    ASSERT_TRUE(list.Close());
    list.Destroy();

    GroupRecord group;
    group.Reset();
    ASSERT_TRUE(group.SetNames(folder.c_str(), L"fj.trip"));
    ASSERT_TRUE(CompactGroup(&group)) << GetLastError();
    ASSERT_TRUE(group.ReadHeader());
    EXPECT_EQ(4u, group.RecordCount());
    EXPECT_EQ(4u, group.UnreadCount());
    EXPECT_EQ(1u, group.HighCount());
    EXPECT_EQ(1u, group.LowCount());
    EXPECT_EQ(0u, group.SavedPosition());

    // A rebuild of a copy of the compacted log gives the same records.
    std::string compactedLog = ReadBytes(Path(L"fj.trip", L".log"));
    ASSERT_TRUE(WriteBytes(Path(L"fj.copy", L".log"), compactedLog));
    ASSERT_TRUE(WriteBytes(Path(L"fj.copy", L".flt"), ReadBytes(Path(L"fj.trip", L".flt"))));
    GroupRecord copy;
    copy.Reset();
    ASSERT_TRUE(copy.SetNames(folder.c_str(), L"fj.copy"));
    copy.Clear();
    ASSERT_TRUE(copy.WriteHeader());
    ASSERT_TRUE(RebuildIndex(&copy));
    copy.CloseLog();
    EXPECT_EQ(Records(Path(L"fj.copy", L".idx")), Records(Path(L"fj.trip", L".idx")));

    // Each kept article and its subject read back as they were written.
    std::string records = Records(Path(L"fj.trip", L".idx"));
    for (size_t at = 0; at + sizeof(IndexRecord) <= records.size(); at += sizeof(IndexRecord)) {
        const IndexRecord* kept = (const IndexRecord*)&records[at];
        SCOPED_TRACE(kept->articleNumber);
        std::string seq = "X-Local-Seq: " + std::to_string(kept->articleNumber) + "\r\n";
        std::string block = compactedLog.substr(kept->articleOffset, kept->articleLength);
        EXPECT_NE(std::string::npos, block.find(seq));
        EXPECT_NE(std::string::npos, originalLog.find(block));
        if (kept->subjectLength > 0) {
            EXPECT_EQ(0, compactedLog.compare(kept->subjectOffset - 9, 9, "Subject: "));
        }
        wchar_t* text = ReadArticle(&group, kept->articleOffset, kept->articleLength);
        ASSERT_TRUE(text != NULL);
        free(text);
    }
    copy.Release();
    group.Release();
}
