#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "store/GroupNameTable.h"

static std::vector<std::string> WalkAll(const GroupNameTable& table)
{
    std::vector<std::string> names;
    GroupNameWalk walk;
    for (GroupNameEntry* entry = walk.First(&table); entry; entry = walk.Next())
        names.push_back(walk.Name());
    return names;
}

TEST(GroupNameTable, BucketIsTheSignedByteXorModulo91WalkedInOrderNewestFirstAndAFullHeapLosesNothing)
{
    EXPECT_EQ(38u, GroupNameTable::BucketOf("\x81"));            // 0xFFFFFF81 % 91
    EXPECT_EQ(69u, GroupNameTable::BucketOf("\x82\xa0\x82"));    // 0xFFFFFFA0 % 91
    EXPECT_EQ(8u, GroupNameTable::BucketOf("\x93\xfa" "a"));     // sign bits cancel

    GroupNameTable table;
    EXPECT_EQ(NULL, table.Insert("fj"));  // before init
    ASSERT_TRUE(table.Init());
    EXPECT_TRUE(WalkAll(table).empty());
    for (const char* name : {"comp", "fj", "ab", "`c", "ba", "japan", "", "fj"})
        ASSERT_TRUE(table.Insert(name) != NULL);
    EXPECT_EQ((std::vector<std::string>{"", "ba", "`c", "ab", "fj", "fj", "comp", "japan"}), WalkAll(table));

    EXPECT_FALSE(table.Remove("zz"));
    EXPECT_FALSE(table.Remove("FJ"));
    EXPECT_TRUE(table.Remove("`c"));   // from the middle of its bucket
    EXPECT_TRUE(table.Remove("fj"));
    ASSERT_TRUE(table.Find("fj") != NULL);
    EXPECT_STREQ("fj", table.Find("fj")->name);
    EXPECT_EQ(NULL, table.Find("f"));
    EXPECT_EQ((std::vector<std::string>{"", "ba", "ab", "fj", "comp", "japan"}), WalkAll(table));
    ASSERT_TRUE(table.Init());  // a second init starts empty
    EXPECT_TRUE(WalkAll(table).empty());
    table.Destroy();

    // An exhausted heap fails without losing entries.
    ASSERT_TRUE(table.Init());
    std::string name(4000, 'x');
    int inserted = 0;
    for (; inserted < 1000; ++inserted) {
        name.replace(0, 4, std::to_string(1000 + inserted));
        if (!table.Insert(name.c_str()))
            break;
    }
    EXPECT_EQ((DWORD)ERROR_NOT_ENOUGH_MEMORY, GetLastError());
    EXPECT_GT(inserted, 100);
    EXPECT_LT(inserted, 1000);  // the heap's ceiling, not the device's memory
    EXPECT_EQ((size_t)inserted, WalkAll(table).size());
    name.replace(0, 4, "1000");
    EXPECT_TRUE(table.Remove(name.c_str()));
    EXPECT_TRUE(table.Insert("fj") != NULL);
    table.Destroy();
    table.Destroy();
}
