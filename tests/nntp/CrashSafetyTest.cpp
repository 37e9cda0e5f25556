// A patrol dying at every file call: after the next start a patrol run
// stores exactly what one uninterrupted run stores.
#include <gtest/gtest.h>
#include <memory>
#include "nntp/PatrolHarness.h"
#include "store/DataFolder.h"
#include "support/KillPoints.h"
#include "support/StoreFiles.h"

namespace {

const wchar_t* const kGroups[] = {L"fj.a", L"fj.b"};

std::unique_ptr<PatrolHarness> NewStore()
{
    std::unique_ptr<PatrolHarness> harness(new PatrolHarness);
    for (const wchar_t* name : kGroups)
        harness->AddGroup(name);
    WriteBytes(harness->DataPath() + L"group.dat", "fj.a\r\nfj.b\r\n");
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
