// A patrol dying at every file call: after the next start a patrol run
// stores exactly what one uninterrupted run stores. fj.b's log holds a tail
// the start could not index (an over-long line): no pass may cut it.
#include <gtest/gtest.h>
#include <memory>
#include "nntp/PatrolHarness.h"
#include "store/DataFolder.h"
#include "store/IndexRecord.h"
#include "support/KillPoints.h"
#include "support/StoreFiles.h"

namespace {

const wchar_t* const kGroups[] = {L"fj.a", L"fj.b"};

const std::string kIndexed = ArticleBlock("Subject: kept", 5, "fine");
const std::string kUnindexable = kIndexed + ArticleBlock("Subject: long", 6, std::string(1030, 'l'))
                               + ArticleBlock("Subject: after", 7, "x") + "Subject: cut off\r\n";

std::unique_ptr<PatrolHarness> NewStore()
{
    std::unique_ptr<PatrolHarness> harness(new PatrolHarness);
    harness->AddGroup(kGroups[0]);
    harness->AddRow(kGroups[1]);
    WriteBytes(harness->DataPath() + L"fj.b.log", kUnindexable);
    WriteBytes(harness->DataPath() + L"group.dat", "fj.a\r\nfj.b\r\n");
    // The rebuild stops at the long line, and says so.
    EXPECT_FALSE(InitializeDataFolder(harness->DataPath().c_str()));
    EXPECT_EQ((DWORD)ERROR_MORE_DATA, GetLastError());
    return harness;
}

// The index without its state text, which says how the last pass went.
std::string Comparable(const std::string& index)
{
    std::string copy = index;
    if (copy.size() >= 88)
        copy.replace(24, 64, 64, '\0');
    return copy;
}

}  // namespace

TEST(CrashSafety, PatrolOfTwoGroupsHoldsAtEveryKillPoint)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(120000));
    server.On("GROUP fj.a", "211 3 1 3 fj.a\r\n");
    server.On("GROUP fj.b", "211 2 7 8 fj.b\r\n");
    for (unsigned n : {1u, 2u, 3u, 7u, 8u})
        AddSimple(server, n);
    std::unique_ptr<PatrolHarness> reference = NewStore();
    ASSERT_EQ((DWORD)StatusOk, reference->RunDirect(server.Port()).status);
    ASSERT_TRUE(InitializeDataFolder(reference->DataPath().c_str())) << GetLastError();
    std::string index = reference->Group(L"fj.b", L".idx");
    EXPECT_EQ(kUnindexable + SimpleBlock(7) + SimpleBlock(8), reference->Group(L"fj.b", L".log"));
    ASSERT_EQ(kIndexHeaderSize + 3u * kIndexRecordSize, index.size());
    EXPECT_EQ(kUnindexable.size(), WordAt(index, IndexRecordOffset(1) + 8));

    std::unique_ptr<PatrolHarness> store;
    int points = ForEachKillPoint(
        [&] { store = NewStore(); },
        [&] { store->RunDirect(server.Port()); },
        [&](int k) {
            SCOPED_TRACE(k);
            ASSERT_TRUE(InitializeDataFolder(store->DataPath().c_str())) << GetLastError();
            EXPECT_EQ((DWORD)StatusOk, store->RunDirect(server.Port()).status);
            for (const wchar_t* name : kGroups) {
                EXPECT_EQ(Comparable(reference->Group(name, L".idx")), Comparable(store->Group(name, L".idx")));
                EXPECT_EQ(reference->Group(name, L".log"), store->Group(name, L".log"));
            }
        });
    EXPECT_GT(points, 20);
}
