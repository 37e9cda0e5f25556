// The deletion of read articles and the marks stopping at every file call,
// and leftover names: the next start leaves each group with its old pair or
// its new pair, and the deletion then runs to its end.
#include "GroupFilesFixture.h"
#include <algorithm>
#include <map>
#include "store/DataFolder.h"
#include "store/FileOps.h"
#include "store/FileRewrite.h"
#include "store/GroupMaintenance.h"
#include "store/SubjectList.h"
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
    int points = ForEachKillPoint(
        [&] { Lay(groups); },
        [&] { CompactAllGroups(Dir(), NULL, NULL); },
        [&](int k) {
            std::map<std::wstring, std::string> interrupted;
            for (const std::wstring& name : FilesIn(folder.Path()))
                interrupted[name] = ReadBytes(folder.File(name));
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

TEST_F(CrashSafety, LeftoverNamesGiveTheOldPairOrTheNew)
{
    // An earlier release's order: log -> lb~, lo~ -> log, index -> ib~,
    // id~ -> index, delete lb~, delete ib~. Every state after a move gives
    // back the old pair, or keeps the new one once the backup of the log is
    // gone. Then a committed index beside that backup, and a new index whose
    // rename the card lost while the log's replace reached it.
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
        {L"fj.a.ic~", L"fj.a.idx", L"fj.a.log", L"fj.a.lb~", false},
        {L"fj.a.id~", L"fj.a.idx", L"fj.a.log", NULL, true},
    };
    for (const State& s : states) {
        SCOPED_TRACE(s.index + std::wstring(L" ") + s.log);
        auto lay = [&] {
            Clean();
            for (const wchar_t* list : {L"active.dat", L"category.dat"})
                ASSERT_TRUE(WriteBytes(folder.File(list), ""));
            ASSERT_TRUE(WriteBytes(folder.File(L"group.dat"), "fj.a\r\n"));
            ASSERT_TRUE(WriteBytes(folder.File(s.index), fresh.IndexBytes()));
            ASSERT_TRUE(WriteBytes(folder.File(s.oldIndex), old.IndexBytes()));
            ASSERT_TRUE(WriteBytes(folder.File(s.log), fresh.LogBytes()));
            if (s.oldLog) {
                ASSERT_TRUE(WriteBytes(folder.File(s.oldLog), old.LogBytes()));
            }
        };
        // A look-up that fails for another cause than a missing file stops
        // the start with that cause, and nothing is changed.
        lay();
        std::vector<std::wstring> before = FilesIn(folder.Path());
        SetFileOpHook([](const FileOpCall& call, void*) { return (BOOL)(call.kind != kFileOpProbe); }, NULL);
        EXPECT_FALSE(InitializeDataFolder(Dir()));
        EXPECT_EQ((DWORD)ERROR_WRITE_FAULT, GetLastError());
        SetFileOpHook(NULL, NULL);
        EXPECT_EQ(before, FilesIn(folder.Path()));
        // Also when the start that settles it stops on the way.
        ForEachKillPoint(
            lay,
            [&] { InitializeDataFolder(Dir()); },
            [&](int k) {
                SCOPED_TRACE(k);
                ASSERT_TRUE(InitializeDataFolder(Dir())) << GetLastError();
                EXPECT_TRUE(Holds(L"fj.a", s.keepsNew ? fresh : old));
                ExpectOldOrNew({old});
            });
    }
}

// Marking one article read (the list closed after it) and marking all read:
// after the next start each mark is there or lost, nothing else in the
// records changed, and the counts agree with the marks once the list is open.
TEST_F(CrashSafety, MarkingReadHoldsAtEveryKillPoint)
{
    HandGroup hand = Mixed(100);
    for (bool all : {false, true}) {
        EXPECT_GT(ForEachKillPoint(
            [&] {
                Lay({hand});
                // The filter that gave the priorities, for a torn mark's repair.
                ASSERT_TRUE(WriteBytes(folder.File(L"fj.a.flt"), "+ high\r\n- low\r\n"));
            },
            [&] {
                SubjectList list;
                if (all && list.SetNames(Dir(), L"fj.a"))
                    MarkAllRead(&list);
                if (!all && list.Open(Dir(), L"fj.a") && list.Load(20) && list.SetFlags(0, kRecordRead))
                    list.Close();
            },
            [&](int k) {
                SCOPED_TRACE(std::to_string(all) + "/" + std::to_string(k));
                ASSERT_TRUE(InitializeDataFolder(Dir())) << GetLastError();
                SubjectList list;
                list.SetShowRead(TRUE);
                ASSERT_TRUE(list.Open(Dir(), L"fj.a") && list.Load(20));
                std::string index = Index(L"fj.a"), old = hand.IndexBytes();
                DWORD unread = 0;
                for (size_t at = kIndexHeaderSize; at < old.size(); at += kIndexRecordSize) {
                    unread += !(index[at] & kRecordRead);
                    index[at] |= kRecordRead;
                    old[at] |= kRecordRead;
                    EXPECT_EQ(old.substr(at, kIndexRecordSize), index.substr(at, kIndexRecordSize));
                }
                EXPECT_EQ(unread, list.UnreadCount());
            }), 2);
    }
}

// Indexes a cut damaged, beside a whole log: the start takes every article
// in again, keeping each intact read mark (a torn record or flags word
// gives an unread article with the filter's priority); what it makes, the
// next start keeps as it is; the deletion then keeps every unread article.
// Some cases run the deletion before any start.
TEST_F(CrashSafety, DamagedIndexesLoseNoArticleAndNoIntactReadMark)
{
    HandGroup hand = Mixed(100);
    std::string index = hand.IndexBytes(), records = index.substr(kIndexHeaderSize);
    // The header of the first `count` records, before the rest were added.
    auto counted = [&](DWORD count, DWORD unread, DWORD high) {
        return index.substr(0, 16) + U32(count) + index.substr(20, 68) + U32(unread) + U32(high) + U32(0);
    };
    std::string sector0 = std::string(512, (char)0xE7) + index.substr(512);
    std::string tornFlags = index;
    tornFlags.replace(IndexRecordOffset(1), 4, 4, (char)0xE7);
    std::string oldVersion = index;
    oldVersion[0] = 3;
    struct Case {
        std::string index;
        std::vector<size_t> fresh;   // records made again from the log
        bool headerTorn, deleteFirst;
    } cases[] = {
        {counted(3, 2, 2) + records, {}, false, false},
        {sector0, {0, 1, 2, 3, 4}, true, false},
        {std::string(kIndexHeaderSize, (char)0xE7) + tornFlags.substr(kIndexHeaderSize), {1}, true, false},
        {U32(kIndexVersion) + std::string(kIndexHeaderSize - 4, '\0') + records, {}, true, false},
        {oldVersion, {}, true, false},
        {tornFlags, {1}, false, true},
        {counted(2, 1, 1) + records.substr(0, 2 * kIndexRecordSize), {2, 3, 4, 5}, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        HandGroup want;
        for (size_t i = 0; i < hand.articles.size(); ++i) {
            const HandArticle& a = hand.articles[i];
            bool fresh = std::find(c.fresh.begin(), c.fresh.end(), i) != c.fresh.end();
            want.Add(a.number, a.subject, fresh ? a.flags & ~(DWORD)kRecordRead : a.flags, a.body);
        }
        if (c.headerTorn) {
            want.header.lastArticle = want.header.serverLast = 106;
            want.header.reservedWord = want.header.savedPosition = 0;
            memset(want.header.stateText, 0, kStateTextFieldSize);
        }
        Lay({hand});
        ASSERT_TRUE(WriteBytes(folder.File(L"fj.a.idx"), c.index));
        ASSERT_TRUE(WriteBytes(folder.File(L"fj.a.flt"), "+ high\r\n- low\r\n"));
        if (!c.deleteFirst) {
            for (int start = 0; start < 2; ++start) {
                ASSERT_TRUE(InitializeDataFolder(Dir())) << GetLastError();
                EXPECT_EQ(want.IndexBytes(), Index(L"fj.a")) << start;
                EXPECT_EQ(want.LogBytes(), Log(L"fj.a"));
            }
        }
        ASSERT_TRUE(CompactAllGroups(Dir(), NULL, NULL));
        ASSERT_TRUE(InitializeDataFolder(Dir())) << GetLastError();
        EXPECT_EQ(want.Unread().IndexBytes(), Index(L"fj.a"));
        EXPECT_EQ(want.Unread().LogBytes(), Log(L"fj.a"));
    }
}

// Leftovers no start can settle (a lone new index without a log, a list's
// temporary file beside a read-only list) stay for the user, and no start
// fails on them; a save after a replace failed half-way moves the only
// copy in before it begins.
TEST_F(CrashSafety, UnsettledLeftoversNeverStopAStart)
{
    Lay({Mixed(100)});
    ASSERT_TRUE(DeleteFileW(folder.File(L"fj.a.log").c_str()));
    ASSERT_TRUE(WriteBytes(folder.File(L"fj.a.id~"), Mixed(100).IndexBytes()));
    ASSERT_TRUE(WriteBytes(folder.File(L"category.dat"), "old\r\n"));
    ASSERT_TRUE(WriteBytes(folder.File(L"category.dat~"), "new\r\n"));
    SetFileAttributesW(folder.File(L"category.dat").c_str(), FILE_ATTRIBUTE_READONLY);
    for (int start = 0; start < 2; ++start) {
        ASSERT_TRUE(InitializeDataFolder(Dir())) << GetLastError();
        EXPECT_TRUE(FileExists(folder.File(L"fj.a.id~")) && FileExists(folder.File(L"category.dat~")));
    }
    SetFileAttributesW(folder.File(L"category.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(DeleteFileW(folder.File(L"group.dat").c_str()));
    ASSERT_TRUE(WriteBytes(folder.File(L"group.dat~"), "fj.a\r\n"));
    FileRewrite save;
    save.Construct();
    ASSERT_TRUE(save.Open(folder.File(L"group.dat").c_str()));
    save.Abandon();
    EXPECT_EQ("fj.a\r\n", ReadBytes(folder.File(L"group.dat")));
}
