// A group in a throw-away data folder, for the store tests.
#pragma once
#include <gtest/gtest.h>
#include "support/StoreFiles.h"
#include "store/GroupRecord.h"

class StoreGroupTest : public testing::Test {
protected:
    void SetUp() override
    {
        group.Reset();
        ASSERT_TRUE(group.SetNames(folder.Path().c_str(), L"fj.test"));
    }
    void TearDown() override
    {
        group.CloseLog();
        group.Release();
    }
    std::string Index() const { return ReadBytes(folder.File(L"fj.test.idx")); }
    std::string Log() const { return ReadBytes(folder.File(L"fj.test.log")); }
    void SetLog(const std::string& bytes) { ASSERT_TRUE(WriteBytes(folder.File(L"fj.test.log"), bytes)); }
    void SetIndex(const std::string& bytes) { ASSERT_TRUE(WriteBytes(folder.File(L"fj.test.idx"), bytes)); }
    void SetFilter(const std::string& bytes) { ASSERT_TRUE(WriteBytes(folder.File(L"fj.test.flt"), bytes)); }

    TempDataFolder folder;
    GroupRecord group;
};
