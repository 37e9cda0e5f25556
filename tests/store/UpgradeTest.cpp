// Index files of earlier releases brought to the current format, and steps
// that fail leaving the old index in place.
#include "GroupFilesFixture.h"
#include "store/DataFolder.h"
#include "store/IndexUpgrade.h"
#include "support/KillPoints.h"

namespace {

class Upgrade : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        ASSERT_TRUE(WriteBytes(folder.File(L"group.dat"), "fj.test\r\n"));
        a = ArticleBlock("From: Taro <t@x>\nSubject: one", 1, "a");
        b = ArticleBlock("Subject: two\nDate: 5 Dec 2026", 2, "b");
        c = ArticleBlock("Subject: three", 3, "c");
    }
    // Header fields common to versions 2 to 4.
    std::string OldHeader(DWORD version, DWORD records) const
    {
        return U32(version) + U32(30) + U32(40) + U32(9) + U32(records) + U32(2) + Field("state", 64);
    }
    // The three records as version 5 has them, with the given flags.
    std::string Records(DWORD f1, DWORD f2, DWORD f3) const
    {
        DWORD bo = (DWORD)a.size(), co = bo + (DWORD)b.size();
        return IndexRecordBytes(f1, 1, 0, (DWORD)a.size(), "one", "0000", "Taro", 18 + 9, 3)
             + IndexRecordBytes(f2, 2, bo, (DWORD)b.size(), "two", "1205", "(Unknown)", bo + 9, 3)
             + IndexRecordBytes(f3, 3, co, (DWORD)c.size(), "three", "0000", "(Unknown)", co + 9, 5);
    }
    // Records as older versions hold them: the first `kept` bytes of each in
    // `size` (versions 2 and 3: 16 in 64, version 4: 84 in 84).
    static std::string Cut(const std::string& records, size_t kept, size_t size)
    {
        std::string out;
        for (size_t at = 0; at + 92 <= records.size(); at += 92)
            out += records.substr(at, kept) + std::string(size - kept, 'g');
        return out;
    }
    std::wstring Temp() const { return folder.File(L"fj.test.idx~"); }

    std::string a, b, c;
};

TEST_F(Upgrade, EveryStepCompletesAfterAKillAtAnyPoint)
{
    // Version 3 drops the records whose article the log lacks, and counts
    // what it kept.
    std::string all = a + b + c;
    struct Case {
        std::string log, index, upgraded;   // an empty index: none at all
        std::string temp = "";
    } cases[] = {
        {all, "", IndexHeaderBytes(3, 3, 0, 3, 0, "", 3, 0, 0) + Records(0, 0, 0)},
        {all, "123\r\n\x82\xa0\x82\xa2\r\n77\r\n5\r\n",
         IndexHeaderBytes(123, 77, 5, 3, 0, "\x82\xa0\x82\xa2", 3, 0, 0) + Records(0, 0, 0)},
        {all, "0\r\nOK\r\nx250\r\n", IndexHeaderBytes(3, 3, 0, 3, 0, "OK", 3, 0, 0) + Records(0, 0, 0)},
        {all, OldHeader(2, 3) + Cut(Records(4, 1, 2), 16, 64),
         IndexHeaderBytes(30, 40, 9, 3, 2, "state", 2, 1, 1) + Records(4, 1, 2)},
        {a + b, OldHeader(3, 3) + U32(2) + Cut(Records(1, 0, 2), 16, 64),
         IndexHeaderBytes(30, 40, 9, 2, 2, "state", 1, 0, 0) + Records(1, 0, 2).substr(0, 2 * 92)},
        {all, OldHeader(4, 3) + U32(3) + Cut(Records(0, 0, 0), 84, 84),
         IndexHeaderBytes(30, 40, 9, 3, 2, "state", 3, 0, 0) + Records(0, 0, 0)},
        // An earlier release deleted the old index before moving the new one in.
        {all, "", IndexHeaderBytes(30, 40, 9, 3, 2, "state", 2, 1, 0) + Records(1, 4, 0),
         OldHeader(4, 3) + U32(2) + Cut(Records(1, 4, 0), 84, 84)},
    };
    for (const Case& one : cases) {
        SCOPED_TRACE(&one - cases);
        int points = ForEachKillPoint(
            [&] {
                SetLog(one.log);
                DeleteFileW(Temp().c_str());
                if (!one.temp.empty()) {
                    ASSERT_TRUE(WriteBytes(Temp(), one.temp));
                }
                if (one.index.empty())
                    DeleteFileW(group.IndexPath());
                else
                    SetIndex(one.index);
            },
            [&] { InitializeDataFolder(Dir()); },
            [&](int k) {
                SCOPED_TRACE(k);
                ASSERT_TRUE(InitializeDataFolder(Dir())) << GetLastError();
                EXPECT_EQ(one.upgraded, Index());
                EXPECT_EQ(one.log, Log());
                EXPECT_FALSE(FileExists(Temp()));
            });
        EXPECT_GT(points, 5);
    }
}

TEST_F(Upgrade, FailingStepLeavesTheOldIndexWhole)
{
    std::string v2 = OldHeader(2, 3) + Cut(Records(0, 0, 0), 16, 64);
    std::string v4 = OldHeader(4, 3) + U32(3) + Cut(Records(0, 0, 0), 84, 84);
    enum { kNothing, kReadOnlyIndex, kFolderAsTemporaryFile };
    auto start = [](const wchar_t* dataPath, const wchar_t*) { return InitializeDataFolder(dataPath); };
    struct Case {
        std::string log, index;
        BOOL (*step)(const wchar_t*, const wchar_t*);
        int obstacle;
        DWORD error;   // 0: whatever the system says
    } cases[] = {
        {a + b, v4, start, kNothing, ERROR_INVALID_DATA},   // the log lacks an article
        {a + b + c, "12x\r\nstate\r\n", start, kNothing, ERROR_INVALID_DATA},
        {a + b + c, v4.substr(0, 50), UpgradeIndex4To5, kNothing, ERROR_INVALID_DATA},
        {a + b + c, v4, UpgradeIndex4To5, kReadOnlyIndex, 0},
        {a + b + c, v2, UpgradeIndex2To3, kFolderAsTemporaryFile, 0},
    };
    for (const Case& one : cases) {
        SCOPED_TRACE(&one - cases);
        SetLog(one.log);
        SetIndex(one.index);
        if (one.obstacle == kReadOnlyIndex)
            SetFileAttributesW(group.IndexPath(), FILE_ATTRIBUTE_READONLY);
        if (one.obstacle == kFolderAsTemporaryFile)
            CreateDirectoryW(Temp().c_str(), NULL);
        EXPECT_FALSE(one.step(Dir(), L"fj.test"));
        if (one.error) {
            EXPECT_EQ(one.error, GetLastError());
        }
        SetFileAttributesW(group.IndexPath(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(one.index, Index());
        EXPECT_EQ(one.obstacle == kFolderAsTemporaryFile, FileExists(Temp()));
        RemoveDirectoryW(Temp().c_str());
    }
}

} // namespace
