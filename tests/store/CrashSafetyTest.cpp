// The deletion of read articles dying at every file call, and leftovers of
// an earlier release's swap: the next start leaves each group with its old
// pair or its new pair, and the deletion then runs to its end.
#include "GroupFilesFixture.h"
#include <algorithm>
#include <map>
#include <set>
#include "store/DataFolder.h"
#include "store/GroupMaintenance.h"
#include "support/KillPoints.h"

namespace {

class CrashSafety : public StoreTest {
protected:
    static std::wstring Name(size_t g) { return L"fj." + std::wstring(1, (wchar_t)(L'a' + g)); }
    void Clean()
    {
        for (const std::wstring& name : FilesIn(folder.Path()))
            DeleteFileW(folder.File(name).c_str());
    }
    // Groups fj.a, fj.b, ... listed in group.dat, and nothing else.
    void Lay(const std::vector<HandGroup>& groups)
    {
        Clean();
        std::string list;
        for (size_t g = 0; g < groups.size(); ++g) {
            list += Sjis(Name(g)) + "\r\n";
            WriteGroup(Name(g), groups[g]);
        }
        ASSERT_TRUE(WriteBytes(folder.File(L"group.dat"), list));
    }
    bool Holds(const std::wstring& name, const HandGroup& hand) const
    {
        return Index(name) == hand.IndexBytes() && Log(name) == hand.LogBytes();
    }
    // Each group whole, before or after the deletion, and no other file.
    void ExpectOldOrNew(const std::vector<HandGroup>& groups) const
    {
        std::vector<std::wstring> names = {L"active.dat", L"category.dat", L"group.dat"};
        for (size_t g = 0; g < groups.size(); ++g) {
            EXPECT_TRUE(Holds(Name(g), groups[g]) || Holds(Name(g), groups[g].Unread())) << g;
            names.push_back(Name(g) + L".idx");
            names.push_back(Name(g) + L".log");
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, FilesIn(folder.Path()));
    }
};

}  // namespace

// The start after a killed deletion may die in turn; the next settles it.
TEST_F(CrashSafety, DeletionOfReadArticlesAndTheStartAfterItHoldAtEveryKillPoint)
{
    std::vector<HandGroup> groups = {Mixed(100), Mixed(200), HandGroup().Add(300, "all read", kRecordRead)};
    int inner = 0;
    // The start takes the same road for every state with the same names: it
    // is stopped at each of its own points once per such state.
    std::set<std::wstring> seen;
    int points = ForEachKillPoint(
        [&] { Lay(groups); },
        [&] { CompactAllGroups(Dir(), NULL, NULL); },
        [&](int k) {
            std::map<std::wstring, std::string> interrupted;
            std::wstring shape;
            for (const std::wstring& name : FilesIn(folder.Path())) {
                interrupted[name] = ReadBytes(folder.File(name));
                shape += name + L";";
            }
            if (seen.insert(shape).second)
                inner += ForEachKillPoint(
                [&] {
                    Clean();
                    for (const auto& file : interrupted)
                        ASSERT_TRUE(WriteBytes(folder.File(file.first), file.second));
                },
                [&] { InitializeDataFolder(Dir()); },
                [&](int j) {
                    SCOPED_TRACE(std::to_string(k) + "/" + std::to_string(j));
                    ASSERT_TRUE(InitializeDataFolder(Dir())) << GetLastError();
                    ExpectOldOrNew(groups);
                });
            SCOPED_TRACE(k);
            ASSERT_TRUE(CompactAllGroups(Dir(), NULL, NULL));
            for (size_t g = 0; g < groups.size(); ++g)
                EXPECT_TRUE(Holds(Name(g), groups[g].Unread())) << g;
        });
    EXPECT_GT(points, 30);
    EXPECT_GT(inner, 40);
}

TEST_F(CrashSafety, AnEarlierReleasesInterruptedSwapIsUndone)
{
    // Its order: log -> lb~, lo~ -> log, index -> ib~, id~ -> index, delete
    // lb~, delete ib~. Every state after a move gives back the old pair, or
    // keeps the new one once the backup of the log is gone.
    HandGroup old = Mixed(100), fresh = old.Unread();
    struct State {
        // File names holding the new and old index and log.
        const wchar_t *index, *oldIndex, *log, *oldLog;
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
                ASSERT_TRUE(WriteBytes(folder.File(L"group.dat"), "fj.a\r\n"));
                ASSERT_TRUE(WriteBytes(folder.File(s.index), fresh.IndexBytes()));
                ASSERT_TRUE(WriteBytes(folder.File(s.oldIndex), old.IndexBytes()));
                ASSERT_TRUE(WriteBytes(folder.File(s.log), fresh.LogBytes()));
                if (s.oldLog) {
                    ASSERT_TRUE(WriteBytes(folder.File(s.oldLog), old.LogBytes()));
                }
            },
            [&] { InitializeDataFolder(Dir()); },
            [&](int k) {
                SCOPED_TRACE(k);
                ASSERT_TRUE(InitializeDataFolder(Dir())) << GetLastError();
                EXPECT_TRUE(Holds(L"fj.a", s.keepsNew ? fresh : old));
                ExpectOldOrNew({old});
            });
    }
}
