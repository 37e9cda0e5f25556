// The data initialisation over a whole data folder, and the index header.
#include "GroupFilesFixture.h"
#include "support/MessageBoxRecorder.h"
#include "store/DataFolder.h"
#include "store/GroupListReader.h"

namespace {

class DataFolder : public StoreTest {
protected:
    BOOL Init() { return InitializeDataFolder(Dir()); }
};

TEST_F(DataFolder, InitialisationMakesTheFolderAndItsGroupsWholeAMissingFolderFails)
{
    ASSERT_TRUE(Init());
    for (const wchar_t* name : {L"active.dat", L"category.dat", L"group.dat"})
        EXPECT_EQ("", ReadBytes(folder.File(name))) << name;
    DWORD attributes = GetFileAttributesW(folder.File(L"draft").c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    // A second run keeps the lists and deletes the backups in the draft
    // folder; a new group gets an index and an empty log, and an index too
    // short to hold a version is rebuilt from the log.
    ASSERT_TRUE(WriteBytes(folder.File(L"active.dat"), "fj.test\r\n"));
    for (const wchar_t* name : {L"draft\\a.bak", L"draft\\b.BAK", L"draft\\keep.txt"})
        ASSERT_TRUE(WriteBytes(folder.File(name), "x"));
    ASSERT_TRUE(WriteBytes(folder.File(L"group.dat"), "fj.test\r\nfj.other\r\n"));
    ASSERT_TRUE(WriteBytes(folder.File(L"fj.other.log"), ArticleBlock("Subject: s", 5, "b")));
    ASSERT_TRUE(WriteBytes(folder.File(L"fj.other.idx"), "\x05"));
    ASSERT_TRUE(Init());
    EXPECT_EQ("fj.test\r\n", ReadBytes(folder.File(L"active.dat")));
    EXPECT_EQ(std::vector<std::wstring>{L"keep.txt"}, FilesIn(folder.File(L"draft\\")));
    EXPECT_EQ(IndexHeaderBytes(0, 0, 0, 0, 0, "", 0, 0, 0), Index());
    EXPECT_EQ("", Log());
    EXPECT_EQ(kIndexHeaderSize + kIndexRecordSize, Index(L"fj.other").size());

    // A missing data folder fails.
    std::wstring missing = folder.Path() + L"nowhere\\";
    EXPECT_FALSE(InitializeDataFolder(missing.c_str()));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
}

TEST_F(DataFolder, GroupListSkipsCommentsAndShortLinesAndOneThatCannotBeReadFailsTheStart)
{
    const char* lists[] = {"# fj.comment\r\n\r\nfj.test\r\nx\r\n\x83\x65\x83\x58\x83\x67\r\nab",
                           "fj.test\r\nabc"};
    std::vector<std::wstring> expected[] = {{L"fj.test", L"x", L"\x30C6\x30B9\x30C8"}, {L"fj.test", L"abc"}};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(WriteBytes(folder.File(L"group.dat"), lists[i]));
        GroupListReader* reader = GroupListReader::Open(Dir());
        ASSERT_TRUE(reader != NULL);
        std::vector<std::wstring> names;
        for (const wchar_t* name; (name = reader->Next()) != NULL;)
            names.push_back(name);
        reader->Close();
        EXPECT_EQ(expected[i], names);
    }
    // A list that cannot be read to its end fails the start; the groups
    // after the bad line are not visited.
    const std::string bad[] = {"fj.test\r\n" + std::string(1100, 'x') + "\r\nfj.after\r\n",
                               std::string("fj.test\r\nfj\0x\r\nfj.after\r\n", 23)};
    const DWORD errors[] = {ERROR_MORE_DATA, ERROR_INVALID_DATA};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(WriteBytes(folder.File(L"group.dat"), bad[i]));
        EXPECT_FALSE(Init());
        EXPECT_EQ(errors[i], GetLastError());
        EXPECT_FALSE(FileExists(folder.File(L"fj.after.idx")));
    }
}

TEST_F(DataFolder, UnknownVersionStopsWithAMessageAHeldIndexFailsAndTheHeaderRoundTrips)
{
    MessageBoxRecorder boxes;
    ASSERT_TRUE(WriteBytes(folder.File(L"group.dat"), "fj.test\r\nfj.after\r\n"));
    std::string index = U32(6) + std::string(96, '\0');
    ASSERT_TRUE(WriteBytes(folder.File(L"fj.test.idx"), index));
    EXPECT_FALSE(Init());
    EXPECT_TRUE(boxes.Showed(1, 0, L"インデックスが不正です。", L"PELORA", MB_ICONEXCLAMATION));
    EXPECT_EQ(index, ReadBytes(folder.File(L"fj.test.idx")));
    EXPECT_FALSE(FileExists(folder.File(L"fj.after.idx")));

    ASSERT_TRUE(WriteBytes(folder.File(L"fj.test.idx"), IndexHeaderBytes(0, 0, 0, 0, 0, "", 0, 0, 0)));
    HANDLE held = CreateFileW(folder.File(L"fj.test.idx").c_str(), GENERIC_READ, 0, NULL,
                              OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_FALSE(Init());
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    CloseHandle(held);
    EXPECT_EQ(1u, boxes.Boxes().size());

    group.SetLastArticle(0xFFFFFFFF);
    group.SetServerLast(77);
    group.SetReservedWord(0x12345678);
    group.SetSavedPosition(4);
    // The end of a pass that reached its limit: 72 bytes, of which 63 would
    // end in half a character, so the field keeps 62.
    ASSERT_TRUE(group.SetStateText(L"制限数の50件の記事を取得しました。サーバには未取得の記事が残っています。"));
    ASSERT_TRUE(group.WriteHeader());
    std::string cut = Sjis(L"制限数の50件の記事を取得しました。サーバには未取得の記事が残っ");
    std::string header = IndexHeaderBytes(0xFFFFFFFF, 77, 0x12345678, 0, 4, cut, 0, 0, 0);
    EXPECT_EQ(header, Index());
    group.Clear();
    ASSERT_TRUE(group.ReadHeader() && group.WriteHeader());
    EXPECT_EQ(header, Index());
    SetIndex(header.substr(0, 99));
    EXPECT_FALSE(group.ReadHeader());
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
    EXPECT_STREQ(L"", group.StateText());
}

} // namespace
