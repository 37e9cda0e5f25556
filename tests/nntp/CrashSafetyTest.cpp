// A patrol dying at every file call, or the power failing after it ended:
// after the next start a patrol stores every article one uninterrupted run
// stores (a torn append may leave junk between them), and the deletion of
// read articles that follows keeps every unread article. fj.b's log holds lines over the limit and an unfinished block no
// pass marked: both stay. Its first article is read; that mark lies in the
// header's sector, and a cut that tears the sector may take it.
#include <gtest/gtest.h>
#include <memory>
#include "nntp/PatrolHarness.h"
#include "store/DataFolder.h"
#include "store/FileOps.h"
#include "store/GroupMaintenance.h"
#include "store/IndexRecord.h"
#include "support/KillPoints.h"
#include "support/StoreFiles.h"

namespace {

const wchar_t* const kGroups[] = {L"fj.a", L"fj.b"};

const std::string kRead = ArticleBlock("Subject: read", 4, "fine");
const std::string kOldLog = kRead + ArticleBlock("References: <" + std::string(5000, 'r') + ">\nSubject: long", 5,
                                                 std::string(3000, 'l'))
                          + ArticleBlock("Subject: after", 6, "x") + ArticleBlock("Subject: more", 7, "y")
                          + ArticleBlock("Subject: last", 8, "z") + "Subject: cut off\r\n";

std::unique_ptr<PatrolHarness> NewStore(bool markRead = true)
{
    std::unique_ptr<PatrolHarness> harness(new PatrolHarness);
    harness->AddGroup(kGroups[0]);
    harness->AddRow(kGroups[1]);
    WriteBytes(harness->DataPath() + L"fj.b.log", kOldLog);
    WriteBytes(harness->DataPath() + L"group.dat", "fj.a\r\nfj.b\r\n");
    EXPECT_TRUE(InitializeDataFolder(harness->DataPath().c_str())) << GetLastError();
    if (!markRead)
        return harness;
    std::string index = harness->Group(L"fj.b", L".idx");
    index[IndexRecordOffset(0)] |= kRecordRead;
    index.replace(88, 4, U32(4));
    WriteBytes(harness->DataPath() + L"fj.b.idx", index);
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

// The group as its reader sees it: the header without its state text, then
// each record but for its offsets, with its article's bytes.
std::string Articles(const PatrolHarness& store, const wchar_t* name)
{
    std::string index = store.Group(name, L".idx"), log = store.Group(name, L".log");
    std::string seen = Comparable(index.substr(0, kIndexHeaderSize));
    for (size_t at = kIndexHeaderSize; at + kIndexRecordSize <= index.size(); at += kIndexRecordSize) {
        seen += index.substr(at, 8) + index.substr(at + 12, 72) + index.substr(at + 88, 4) + "\n"
              + log.substr(WordAt(index, at + 8), WordAt(index, at + 12));
    }
    return seen;
}

}  // namespace

TEST(CrashSafety, PatrolOfTwoGroupsHoldsAtEveryKillPoint)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(120000));
    server.On("GROUP fj.a", "211 3 1 3 fj.a\r\n");
    server.On("GROUP fj.b", "211 2 9 10 fj.b\r\n");
    for (unsigned n : {1u, 2u, 3u, 9u, 10u})
        AddSimple(server, n);
    // Each group's index and log after a patrol, and after the deletion;
    // [1]: with the read mark lost.
    std::string patrolled[2][2], compacted[2][2], log;
    std::unique_ptr<PatrolHarness> store;
    for (int lost = 0; lost < 2; ++lost) {
        std::unique_ptr<PatrolHarness> reference = NewStore(!lost);
        const wchar_t* path = reference->DataPath().c_str();
        ASSERT_EQ((DWORD)StatusOk, reference->RunDirect(server.Port()).status);
        ASSERT_TRUE(InitializeDataFolder(path)) << GetLastError();
        for (int g = 0; g < 2; ++g)
            patrolled[lost][g] = Articles(*reference, kGroups[g]);
        log = reference->Group(L"fj.b", L".log");
        ASSERT_TRUE(CompactAllGroups(path, NULL, NULL));
        ASSERT_TRUE(InitializeDataFolder(path)) << GetLastError();
        for (int g = 0; g < 2; ++g)
            compacted[lost][g] = Articles(*reference, kGroups[g]);
    }
    EXPECT_EQ(kOldLog + SimpleBlock(9) + SimpleBlock(10), log);
    EXPECT_EQ(7u, WordAt(patrolled[0][1], 16));
    EXPECT_EQ(6u, WordAt(compacted[0][1], 16));
    EXPECT_EQ(7u, WordAt(compacted[1][1], 16));

    // The file calls of a whole patrol: a cut at or past that many falls
    // after its end, when every article it fetched is on the medium.
    int calls = 0;
    store = NewStore();
    SetFileOpHook([](const FileOpCall& call, void* count) {
        *(int*)count += call.kind != kFileOpOpened && call.kind != kFileOpProbe;
        return TRUE;
    }, &calls);
    store->RunDirect(server.Port());
    SetFileOpHook(NULL, NULL);
    int points = ForEachKillPoint(
        [&] { store = NewStore(); },
        [&] { store->RunDirect(server.Port()); },
        [&](int k) {
            SCOPED_TRACE(k);
            const wchar_t* path = store->DataPath().c_str();
            ASSERT_TRUE(InitializeDataFolder(path)) << GetLastError();
            for (int g = 0; k >= calls && g < 2; ++g)
                EXPECT_EQ(patrolled[Articles(*store, kGroups[1]) == patrolled[1][1]][g], Articles(*store, kGroups[g]));
            EXPECT_EQ((DWORD)StatusOk, store->RunDirect(server.Port()).status);
            int lost = Articles(*store, kGroups[1]) == patrolled[1][1];
            for (int g = 0; g < 2; ++g)
                EXPECT_EQ(patrolled[lost][g], Articles(*store, kGroups[g]));
            ASSERT_TRUE(CompactAllGroups(path, NULL, NULL));
            ASSERT_TRUE(InitializeDataFolder(path)) << GetLastError();
            for (int g = 0; g < 2; ++g)
                EXPECT_EQ(compacted[lost][g], Articles(*store, kGroups[g]));
        });
    EXPECT_GT(points, 20);
}
