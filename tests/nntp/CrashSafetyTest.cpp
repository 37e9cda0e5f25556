// A patrol dying at every file call, or the power failing after it ended:
// the next start keeps what it stored (every article, after its end), the
// patrol after it stores every article one uninterrupted run stores (a torn
// append may leave junk between them), and the deletion of read articles
// that follows keeps every unread one. fj.b's log holds lines over the
// limit and an unfinished block no pass marked; its read mark lies outside
// the sectors a pass rewrites.
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

std::string OldLog()
{
    std::string log;
    for (DWORD n = 1; n <= 12; ++n)
        log += n == 2 ? ArticleBlock("References: <" + std::string(5000, 'r') + ">\nSubject: long", n, std::string(3000, 'l'))
                      : ArticleBlock("Subject: a", n, "x");
    return log + "Subject: cut off\r\n";
}

std::unique_ptr<PatrolHarness> NewStore()
{
    std::unique_ptr<PatrolHarness> harness(new PatrolHarness);
    harness->AddGroup(kGroups[0]);
    harness->AddRow(kGroups[1]);
    WriteBytes(harness->DataPath() + L"fj.b.log", OldLog());
    WriteBytes(harness->DataPath() + L"group.dat", "fj.a\r\nfj.b\r\n");
    EXPECT_TRUE(InitializeDataFolder(harness->DataPath().c_str())) << GetLastError();
    std::string index = harness->Group(L"fj.b", L".idx");
    index[IndexRecordOffset(6)] |= kRecordRead;
    index.replace(88, 4, U32(11));
    WriteBytes(harness->DataPath() + L"fj.b.idx", index);
    return harness;
}

// The group as its reader sees it: the header but for its state text (how
// the last pass went), then each record but for its offsets, with its
// article's bytes.
std::string Articles(const PatrolHarness& store, const wchar_t* name)
{
    std::string index = store.Group(name, L".idx"), log = store.Group(name, L".log");
    std::string seen = index.substr(0, 24) + index.substr(88, 12);
    for (size_t at = kIndexHeaderSize; at + kIndexRecordSize <= index.size(); at += kIndexRecordSize)
        seen += index.substr(at, 8) + index.substr(at + 12, 72) + index.substr(at + 88, 4) + "\n"
              + log.substr(WordAt(index, at + 8), WordAt(index, at + 12));
    return seen;
}

}  // namespace

TEST(CrashSafety, PatrolOfTwoGroupsHoldsAtEveryKillPoint)
{
    ScriptedNntpServer server;
    ASSERT_TRUE(server.Start(120000));
    server.On("GROUP fj.a", "211 3 1 3 fj.a\r\n");
    server.On("GROUP fj.b", "211 2 13 14 fj.b\r\n");
    for (unsigned n : {1u, 2u, 3u, 13u, 14u})
        AddSimple(server, n);
    // An uninterrupted patrol, and the file calls it makes: a cut at or
    // past that many falls after its end.
    std::unique_ptr<PatrolHarness> store = NewStore();
    const wchar_t* path = store->DataPath().c_str();
    int calls = 0;
    SetFileOpHook([](const FileOpCall& call, void* count) {
        *(int*)count += call.kind != kFileOpOpened && call.kind != kFileOpProbe;
        return TRUE;
    }, &calls);
    ASSERT_EQ((DWORD)StatusOk, store->RunDirect(server.Port()).status);
    SetFileOpHook(NULL, NULL);
    std::string patrolled[2], compacted[2];
    ASSERT_TRUE(InitializeDataFolder(path)) << GetLastError();
    EXPECT_EQ(OldLog() + SimpleBlock(13) + SimpleBlock(14), store->Group(L"fj.b", L".log"));
    for (int g = 0; g < 2; ++g)
        patrolled[g] = Articles(*store, kGroups[g]);
    ASSERT_TRUE(CompactAllGroups(path, NULL, NULL) && InitializeDataFolder(path)) << GetLastError();
    for (int g = 0; g < 2; ++g)
        compacted[g] = Articles(*store, kGroups[g]);
    EXPECT_EQ(13u, WordAt(compacted[1], 16));

    int points = ForEachKillPoint(
        [&] { store = NewStore(); },
        [&] { store->RunDirect(server.Port()); },
        [&](int k) {
            SCOPED_TRACE(k);
            path = store->DataPath().c_str();
            ASSERT_TRUE(InitializeDataFolder(path)) << GetLastError();
            for (int g = 0; k >= calls && g < 2; ++g)
                EXPECT_EQ(patrolled[g], Articles(*store, kGroups[g]));
            EXPECT_EQ((DWORD)StatusOk, store->RunDirect(server.Port()).status);
            for (int g = 0; g < 2; ++g)
                EXPECT_EQ(patrolled[g], Articles(*store, kGroups[g]));
            ASSERT_TRUE(CompactAllGroups(path, NULL, NULL) && InitializeDataFolder(path)) << GetLastError();
            for (int g = 0; g < 2; ++g)
                EXPECT_EQ(compacted[g], Articles(*store, kGroups[g]));
        });
    EXPECT_GT(points, 20);
}
