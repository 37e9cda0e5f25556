// Index files of earlier releases brought to the current format, and steps
// that fail leaving the old index in place.
#include "StoreTestGroup.h"
#include "store/DataFolder.h"
#include "store/IndexUpgrade.h"
#include "support/KillPoints.h"

namespace {

class Upgrade : public StoreGroupTest {
protected:
    void SetUp() override
    {
        StoreGroupTest::SetUp();
        ASSERT_TRUE(WriteBytes(folder.File(L"group.dat"), "fj.test\r\n"));
        a = ArticleBlock("From: Taro <t@x>\nSubject: one", 1, "a");
        b = ArticleBlock("Subject: two\nDate: 5 Dec 2026", 2, "b");
        c = ArticleBlock("Subject: three", 3, "c");
        bo = (DWORD)a.size();
        co = bo + (DWORD)b.size();
        SetLog(a + b + c);
    }
    // Header fields common to versions 2 to 4.
    std::string OldHeader(DWORD version, DWORD records) const
    {
        return U32(version) + U32(30) + U32(40) + U32(9) + U32(records) + U32(2) + Field("state", 64);
    }
    // The three records as version 5 has them, with the given flags.
    std::string Records(DWORD f1, DWORD f2, DWORD f3, int count = 3) const
    {
        std::string r[3] = {
            IndexRecordBytes(f1, 1, 0, (DWORD)a.size(), "one", "0000", "Taro", 18 + 9, 3),
            IndexRecordBytes(f2, 2, bo, (DWORD)b.size(), "two", "1205", "(Unknown)", bo + 9, 3),
            IndexRecordBytes(f3, 3, co, (DWORD)c.size(), "three", "0000", "(Unknown)", co + 9, 5)};
        std::string all;
        for (int i = 0; i < count; i++)
            all += r[i];
        return all;
    }
    // Versions 2 and 3 keep only the first 16 bytes of a record.
    static std::string Short(const std::string& records, size_t size)
    {
        std::string out;
        for (size_t at = 0; at + 92 <= records.size(); at += 92)
            out += records.substr(at, 16) + std::string(size - 16, 'g');
        return out;
    }
    static std::string Version4(const std::string& records)
    {
        std::string out;
        for (size_t at = 0; at + 92 <= records.size(); at += 92)
            out += records.substr(at, 84);
        return out;
    }
    std::wstring Temp() const { return folder.File(L"fj.test.idx~"); }
    BOOL Init() { return InitializeDataFolder(folder.Path().c_str()); }

    std::string a, b, c;
    DWORD bo, co;
};

TEST_F(Upgrade, Version1IsReadFieldByFieldAndRebuilt)
{
    SetIndex("0\r\nOK\r\n250\r\n");
    ASSERT_TRUE(Init());
    EXPECT_EQ(IndexHeaderBytes(0, 250, 0, 3, 0, "OK", 3, 0, 0) + Records(0, 0, 0), Index());
    EXPECT_EQ(a + b + c, Log());

    SetIndex("123\r\n\x82\xa0\x82\xa2\r\n77\r\n5\r\n");
    ASSERT_TRUE(ReadVersion1Index(&group));
    EXPECT_EQ(123u, group.LastArticle());
    EXPECT_STREQ(L"\x3042\x3044", group.StateText());
    EXPECT_EQ(77u, group.ServerLast());
    EXPECT_EQ(5u, group.ReservedWord());
    SetIndex("12x\r\nstate\r\n");
    EXPECT_FALSE(ReadVersion1Index(&group));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
    SetIndex("12\r\nstate\r\nnot a number\r\n");
    ASSERT_TRUE(ReadVersion1Index(&group));
    EXPECT_EQ(0u, group.ServerLast());
}

TEST_F(Upgrade, Version2To3CountsUnreadAndVersion5IsReachedInOneInitialisation)
{
    std::string records = Short(Records(0, 1, 0), 64);
    SetIndex(OldHeader(2, 3) + records);
    ASSERT_TRUE(UpgradeIndex2To3(folder.Path().c_str(), L"fj.test"));
    EXPECT_EQ(U32(3) + OldHeader(2, 3).substr(4) + U32(2) + records, Index());
    EXPECT_FALSE(FileExists(Temp()));

    // Priority bits survive; the counters are taken from the flags.
    SetIndex(OldHeader(2, 3) + Short(Records(4, 1, 2), 64));
    ASSERT_TRUE(Init());
    EXPECT_EQ(IndexHeaderBytes(30, 40, 9, 3, 2, "state", 2, 1, 1) + Records(4, 1, 2), Index());
    EXPECT_EQ(a + b + c, Log());
}

TEST_F(Upgrade, Version3DropsRecordsWithoutArticleAndCountsWhatItKept)
{
    SetLog(a + b);
    SetIndex(OldHeader(3, 3) + U32(3) + Short(Records(0, 0, 0), 64));
    ASSERT_TRUE(UpgradeIndex3To4(folder.Path().c_str(), L"fj.test"));
    EXPECT_EQ(OldHeader(4, 2) + U32(2) + Version4(Records(0, 0, 0, 2)), Index());
    ASSERT_TRUE(UpgradeIndex4To5(folder.Path().c_str(), L"fj.test"));
    EXPECT_EQ(IndexHeaderBytes(30, 40, 9, 2, 2, "state", 2, 0, 0) + Records(0, 0, 0, 2), Index());
}

TEST_F(Upgrade, Version4WhoseLogLacksAnArticleFailsAndKeepsTheOldIndex)
{
    SetLog(a + b);
    std::string old = OldHeader(4, 3) + U32(3) + Version4(Records(0, 0, 0));
    SetIndex(old);
    EXPECT_FALSE(Init());
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
    EXPECT_EQ(old, Index());
    EXPECT_FALSE(FileExists(Temp()));
}

TEST_F(Upgrade, LeftoverTemporaryFileIsDiscardedOrFinishedWhenTheOldIndexIsGone)
{
    SetIndex(OldHeader(4, 3) + U32(3) + Version4(Records(0, 0, 0)));
    ASSERT_TRUE(WriteBytes(Temp(), "half"));
    ASSERT_TRUE(Init());
    EXPECT_EQ(IndexHeaderBytes(30, 40, 9, 3, 2, "state", 3, 0, 0) + Records(0, 0, 0), Index());
    EXPECT_FALSE(FileExists(Temp()));
    // The new version-4 index was complete, the old one deleted, the move
    // not done: the read flag and priority survive.
    ASSERT_TRUE(DeleteFileW(group.IndexPath()));
    ASSERT_TRUE(WriteBytes(Temp(), OldHeader(4, 3) + U32(2) + Version4(Records(1, 4, 0))));
    ASSERT_TRUE(Init());
    EXPECT_EQ(IndexHeaderBytes(30, 40, 9, 3, 2, "state", 2, 1, 0) + Records(1, 4, 0), Index());
    EXPECT_FALSE(FileExists(Temp()));
}

TEST_F(Upgrade, EveryStepCompletesAfterAKillAtAnyPoint)
{
    struct Case {
        std::string index;      // empty: no index at all
        std::string upgraded;
    } cases[] = {
        {"", IndexHeaderBytes(0, 0, 0, 3, 0, "", 3, 0, 0) + Records(0, 0, 0)},
        {"0\r\nOK\r\n250\r\n", IndexHeaderBytes(0, 250, 0, 3, 0, "OK", 3, 0, 0) + Records(0, 0, 0)},
        {OldHeader(2, 3) + Short(Records(4, 1, 2), 64),
         IndexHeaderBytes(30, 40, 9, 3, 2, "state", 2, 1, 1) + Records(4, 1, 2)},
        {OldHeader(3, 3) + U32(2) + Short(Records(1, 0, 2), 64),
         IndexHeaderBytes(30, 40, 9, 3, 2, "state", 2, 0, 1) + Records(1, 0, 2)},
        {OldHeader(4, 3) + U32(3) + Version4(Records(0, 0, 0)),
         IndexHeaderBytes(30, 40, 9, 3, 2, "state", 3, 0, 0) + Records(0, 0, 0)},
    };
    for (const Case& one : cases) {
        SCOPED_TRACE(one.index.substr(0, 4));
        int points = ForEachKillPoint(
            [&] {
                DeleteFileW(Temp().c_str());
                if (one.index.empty())
                    DeleteFileW(group.IndexPath());
                else
                    SetIndex(one.index);
            },
            [&] { Init(); },
            [&](int k) {
                SCOPED_TRACE(k);
                ASSERT_TRUE(Init()) << GetLastError();
                EXPECT_EQ(one.upgraded, Index());
                EXPECT_EQ(a + b + c, Log());
                EXPECT_FALSE(FileExists(Temp()));
            });
        EXPECT_GT(points, 5);
    }
}

TEST_F(Upgrade, ReadOnlyTruncatedOrUnreplaceableIndexIsLeftWhole)
{
    std::string old = OldHeader(4, 3) + U32(3) + Version4(Records(0, 0, 0));
    SetIndex(old);
    ASSERT_TRUE(SetFileAttributesW(group.IndexPath(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(UpgradeIndex4To5(folder.Path().c_str(), L"fj.test"));
    EXPECT_EQ(old, Index());
    EXPECT_FALSE(FileExists(Temp()));
    SetFileAttributesW(group.IndexPath(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(UpgradeIndex4To5(folder.Path().c_str(), L"fj.test"));
    EXPECT_EQ(IndexHeaderBytes(30, 40, 9, 3, 2, "state", 3, 0, 0) + Records(0, 0, 0), Index());

    // A truncated old header, and a temporary file that cannot be created.
    SetIndex(OldHeader(4, 3).substr(0, 50));
    EXPECT_FALSE(UpgradeIndex4To5(folder.Path().c_str(), L"fj.test"));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
    EXPECT_EQ(OldHeader(4, 3).substr(0, 50), Index());
    EXPECT_FALSE(FileExists(Temp()));
    std::string v2 = OldHeader(2, 3) + Short(Records(0, 0, 0), 64);
    SetIndex(v2);
    ASSERT_TRUE(CreateDirectoryW(Temp().c_str(), NULL));
    EXPECT_FALSE(UpgradeIndex2To3(folder.Path().c_str(), L"fj.test"));
    EXPECT_EQ(v2, Index());
    EXPECT_TRUE(GetFileAttributesW(Temp().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    RemoveDirectoryW(Temp().c_str());
}

TEST_F(Upgrade, DamagedLogFailsEveryLogReadingStep)
{
    SetLog(a + std::string("Subject: z\r\n\r\nz\0z\r\n================\r\n", 37) + c);
    std::string v3 = OldHeader(3, 3) + U32(3) + Short(Records(0, 0, 0), 64);
    SetIndex(v3);
    EXPECT_FALSE(UpgradeIndex3To4(folder.Path().c_str(), L"fj.test"));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
    EXPECT_EQ(v3, Index());
    std::string v4 = OldHeader(4, 3) + U32(3) + Version4(Records(0, 0, 0));
    SetIndex(v4);
    EXPECT_FALSE(UpgradeIndex4To5(folder.Path().c_str(), L"fj.test"));
    EXPECT_EQ(v4, Index());
    EXPECT_FALSE(FileExists(Temp()));
}



} // namespace
