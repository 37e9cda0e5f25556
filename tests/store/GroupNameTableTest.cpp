#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "store/GroupNameTable.h"

namespace {

std::vector<std::string> WalkAll(const GroupNameTable& table)
{
    std::vector<std::string> names;
    GroupNameWalk walk;
    for (GroupNameEntry* entry = walk.First(&table); entry; entry = walk.Next())
        names.push_back(walk.Name());
    return names;
}

class GroupNameTableTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(table.Init()); }
    void TearDown() override { table.Destroy(); }
    GroupNameTable table;
};

}  // namespace

TEST(GroupNameTableHash, BucketsOfKnownNames)
{
    EXPECT_EQ(12u, GroupNameTable::BucketOf("fj"));
    EXPECT_EQ(17u, GroupNameTable::BucketOf("comp"));
    EXPECT_EQ(3u, GroupNameTable::BucketOf("ab"));
    EXPECT_EQ(GroupNameTable::BucketOf("ab"), GroupNameTable::BucketOf("ba"));
    EXPECT_EQ(38u, GroupNameTable::BucketOf("\x81"));
    EXPECT_EQ(0u, GroupNameTable::BucketOf(""));
    // Shift_JIS bytes hash like any other: 0x93 ^ 0xFA ^ 0x61 = 0x08.
    EXPECT_EQ(8u, GroupNameTable::BucketOf("\x93\xfa" "a"));
    // Three high bytes leave the sign bits set: 0xFFFFFFA0 modulo 91.
    EXPECT_EQ(69u, GroupNameTable::BucketOf("\x82\xa0\x82"));
}

TEST_F(GroupNameTableTest, EmptyTableWalksNothing)
{
    EXPECT_TRUE(WalkAll(table).empty());
    EXPECT_EQ(NULL, table.Find("fj"));
    EXPECT_FALSE(table.Remove("fj"));
}

TEST_F(GroupNameTableTest, WalkGoesByBucketThenNewestFirst)
{
    // Buckets: comp 17, fj 12, ab/ba 3, japan 0x6a^0x61^0x70^0x61^0x6e = 0x7f -> 36.
    ASSERT_TRUE(table.Insert("comp"));
    ASSERT_TRUE(table.Insert("fj"));
    ASSERT_TRUE(table.Insert("ab"));
    ASSERT_TRUE(table.Insert("ba"));
    ASSERT_TRUE(table.Insert("japan"));
    ASSERT_TRUE(table.Insert(""));
    std::vector<std::string> expected = {"", "ba", "ab", "fj", "comp", "japan"};
    EXPECT_EQ(expected, WalkAll(table));
}

TEST_F(GroupNameTableTest, FindIsExactAndCaseSensitive)
{
    ASSERT_TRUE(table.Insert("fj.comp.lang.c"));
    GroupNameEntry* entry = table.Find("fj.comp.lang.c");
    ASSERT_TRUE(entry != NULL);
    EXPECT_STREQ("fj.comp.lang.c", entry->name);
    EXPECT_EQ(NULL, table.Find("FJ.comp.lang.c"));
    EXPECT_EQ(NULL, table.Find("fj.comp.lang"));
    EXPECT_EQ(NULL, table.Find("fj.comp.lang.c+"));
}

TEST_F(GroupNameTableTest, DuplicatesAreKeptAndRemovedOneAtATime)
{
    ASSERT_TRUE(table.Insert("fj.news"));
    ASSERT_TRUE(table.Insert("fj.news"));
    EXPECT_EQ(2u, WalkAll(table).size());
    EXPECT_TRUE(table.Remove("fj.news"));
    EXPECT_TRUE(table.Find("fj.news") != NULL);
    EXPECT_TRUE(table.Remove("fj.news"));
    EXPECT_EQ(NULL, table.Find("fj.news"));
    EXPECT_FALSE(table.Remove("fj.news"));
}

TEST_F(GroupNameTableTest, RemoveUnlinksFromTheMiddleOfABucket)
{
    // All three share bucket 3 (0x61^0x62, 0x62^0x61, 0x60^0x63).
    ASSERT_TRUE(table.Insert("ab"));
    ASSERT_TRUE(table.Insert("`c"));
    ASSERT_TRUE(table.Insert("ba"));
    EXPECT_FALSE(table.Remove("zz"));
    EXPECT_TRUE(table.Remove("`c"));
    std::vector<std::string> expected = {"ba", "ab"};
    EXPECT_EQ(expected, WalkAll(table));
}

TEST_F(GroupNameTableTest, ExhaustedHeapFailsWithoutLosingEntries)
{
    std::string name(4000, 'x');
    int inserted = 0;
    while (inserted < 1000) {
        name[0] = (char)('a' + inserted % 26);
        name[1] = (char)('a' + inserted / 26 % 26);
        name[2] = (char)('a' + inserted / 676);
        if (!table.Insert(name.c_str()))
            break;
        ++inserted;
    }
    EXPECT_EQ((DWORD)ERROR_NOT_ENOUGH_MEMORY, GetLastError());
    EXPECT_GT(inserted, 100);
    EXPECT_LT(inserted, 1000);
    EXPECT_EQ((size_t)inserted, WalkAll(table).size());
    // A small name may still fit; either way the table stays usable.
    name[0] = name[1] = name[2] = 'a';
    EXPECT_TRUE(table.Find(name.c_str()) != NULL);
    EXPECT_TRUE(table.Remove(name.c_str()));
    EXPECT_TRUE(table.Insert("fj") != NULL);
}

TEST(GroupNameTableLife, UnreadyTableRefusesWork)
{
    GroupNameTable table;
    EXPECT_FALSE(table.IsReady());
    EXPECT_EQ(NULL, table.Insert("fj"));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_TRUE(WalkAll(table).empty());
    ASSERT_TRUE(table.Init());
    ASSERT_TRUE(table.Insert("fj"));
    ASSERT_TRUE(table.Init());  // a second init starts empty
    EXPECT_TRUE(WalkAll(table).empty());
    table.Destroy();
    table.Destroy();
    EXPECT_FALSE(table.IsReady());
}
