// The deletion of read articles dying at every file call, and leftovers of
// an earlier release's swap: the next start leaves each group with its old
// pair or its new pair, and the deletion then runs to its end.
#include "GroupFilesFixture.h"
#include <algorithm>
#include <map>
#include "store/DataFolder.h"
#include "store/GroupMaintenance.h"
#include "support/KillPoints.h"

namespace {

class CrashSafety : public DataFolderTest {
protected:
    void Clean()
    {
        for (const std::wstring& name : Files())
            DeleteFileW((folder + name).c_str());
    }
    std::map<std::wstring, std::string> Snapshot() const
    {
        std::map<std::wstring, std::string> files;
        for (const std::wstring& name : Files())
            files[name] = ReadBytes(folder + name);
        return files;
    }
    void Restore(const std::map<std::wstring, std::string>& files)
    {
        Clean();
        for (const auto& file : files)
            ASSERT_TRUE(WriteBytes(folder + file.first, file.second));
    }
    std::string Index(const wchar_t* name) const { return ReadBytes(Path(name, L".idx")); }
    std::string Log(const wchar_t* name) const { return ReadBytes(Path(name, L".log")); }
    bool Holds(const wchar_t* name, const HandGroup& group) const
    {
        return Index(name) == group.IndexBytes() && Log(name) == group.LogBytes();
    }
    std::vector<std::wstring> Expected(std::initializer_list<const wchar_t*> groups) const
    {
        std::vector<std::wstring> names = {L"active.dat", L"category.dat", L"group.dat"};
        for (const wchar_t* group : groups) {
            names.push_back(std::wstring(group) + L".idx");
            names.push_back(std::wstring(group) + L".log");
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

HandGroup Sample(DWORD base)
{
    HandGroup group;
    group.Add(base + 1, "first", 0).Add(base + 2, "read high", kRecordRead | kHighFlag);
    group.Add(base + 3, "kept high", kHighFlag, "line\r\n\r\n> quote\r\n");
    group.Add(base + 4, "read", kRecordRead).Add(base + 5, "low", kLowFlag);
    return group;
}

}  // namespace

TEST_F(CrashSafety, DeletionOfReadArticlesOverThreeGroupsHoldsAtEveryKillPoint)
{
    const wchar_t* names[] = {L"fj.a", L"fj.b", L"fj.c"};
    HandGroup groups[] = {Sample(100), Sample(200), HandGroup().Add(300, "all read", kRecordRead)};
    int points = ForEachKillPoint(
        [&] {
            Clean();
            ASSERT_TRUE(WriteBytes(folder + L"group.dat", "fj.a\r\nfj.b\r\nfj.c\r\n"));
            for (int g = 0; g < 3; ++g)
                WriteGroup(names[g], groups[g]);
        },
        [&] { CompactAllGroups(folder.c_str(), NULL, NULL); },
        [&](int k) {
            SCOPED_TRACE(k);
            ASSERT_TRUE(InitializeDataFolder(folder.c_str())) << GetLastError();
            for (int g = 0; g < 3; ++g)
                EXPECT_TRUE(Holds(names[g], groups[g]) || Holds(names[g], groups[g].Unread())) << g;
            EXPECT_EQ(Expected({L"fj.a", L"fj.b", L"fj.c"}), Files());
            ASSERT_TRUE(CompactAllGroups(folder.c_str(), NULL, NULL));
            for (int g = 0; g < 3; ++g)
                EXPECT_TRUE(Holds(names[g], groups[g].Unread())) << g;
        });
    EXPECT_GT(points, 30);
}

TEST_F(CrashSafety, AStartThatDiesWhileSettlingADeletionIsSettledByTheNext)
{
    const wchar_t* names[] = {L"fj.a", L"fj.b"};
    HandGroup groups[] = {Sample(100), Sample(200)};
    int inner = 0;
    ForEachKillPoint(
        [&] {
            Clean();
            ASSERT_TRUE(WriteBytes(folder + L"group.dat", "fj.a\r\nfj.b\r\n"));
            for (int g = 0; g < 2; ++g)
                WriteGroup(names[g], groups[g]);
        },
        [&] { CompactAllGroups(folder.c_str(), NULL, NULL); },
        [&](int k) {
            std::map<std::wstring, std::string> interrupted = Snapshot();
            inner += ForEachKillPoint(
                [&] { Restore(interrupted); },
                [&] { InitializeDataFolder(folder.c_str()); },
                [&](int j) {
                    SCOPED_TRACE(std::to_string(k) + "/" + std::to_string(j));
                    ASSERT_TRUE(InitializeDataFolder(folder.c_str())) << GetLastError();
                    for (int g = 0; g < 2; ++g)
                        EXPECT_TRUE(Holds(names[g], groups[g]) || Holds(names[g], groups[g].Unread())) << g;
                    EXPECT_EQ(Expected({L"fj.a", L"fj.b"}), Files());
                });
        });
    EXPECT_GT(inner, 40);
}

TEST_F(CrashSafety, AnEarlierReleasesInterruptedSwapIsUndone)
{
    // Its order: log -> lb~, lo~ -> log, index -> ib~, id~ -> index, delete
    // lb~, delete ib~. Every state after a move gives back the old pair, or
    // keeps the new one once the backup of the log is gone.
    HandGroup old = Sample(100), fresh = old.Unread();
    struct State {
        const wchar_t* index;   // file names holding the old/new index and log
        const wchar_t* oldIndex;
        const wchar_t* log;
        const wchar_t* oldLog;
        bool keepsNew;
    } states[] = {
        {L"fj.a.id~", L"fj.a.idx", L"fj.a.lo~", L"fj.a.lb~", false},
        {L"fj.a.id~", L"fj.a.idx", L"fj.a.log", L"fj.a.lb~", false},
        {L"fj.a.id~", L"fj.a.ib~", L"fj.a.log", L"fj.a.lb~", false},
        {L"fj.a.idx", L"fj.a.ib~", L"fj.a.log", L"fj.a.lb~", false},
        {L"fj.a.idx", L"fj.a.ib~", L"fj.a.log", NULL, true},
    };
    for (const State& s : states) {
        SCOPED_TRACE(s.index + std::wstring(L" ") + s.log);
        // Also when the start that settles it dies on the way.
        ForEachKillPoint(
            [&] {
                Clean();
                ASSERT_TRUE(WriteBytes(folder + L"group.dat", "fj.a\r\n"));
                ASSERT_TRUE(WriteBytes(folder + s.index, fresh.IndexBytes()));
                ASSERT_TRUE(WriteBytes(folder + s.oldIndex, old.IndexBytes()));
                ASSERT_TRUE(WriteBytes(folder + s.log, fresh.LogBytes()));
                if (s.oldLog)
                    ASSERT_TRUE(WriteBytes(folder + s.oldLog, old.LogBytes()));
            },
            [&] { InitializeDataFolder(folder.c_str()); },
            [&](int k) {
                SCOPED_TRACE(k);
                ASSERT_TRUE(InitializeDataFolder(folder.c_str())) << GetLastError();
                EXPECT_TRUE(Holds(L"fj.a", s.keepsNew ? fresh : old));
                EXPECT_EQ(Expected({L"fj.a"}), Files());
            });
    }
}
