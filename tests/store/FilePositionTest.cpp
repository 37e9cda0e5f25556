// Sizes and positions through the 32-bit-halves calls.
#include <gtest/gtest.h>
#include "support/StoreFiles.h"
#include "store/FileOps.h"
#include "store/FilePosition.h"

TEST(FilePosition, MeasuresAndSeeksLeavingTheErrorCodeAloneAndFailsOnABadHandle)
{
    TempDataFolder folder;
    std::wstring path = folder.File(L"f.log");
    ASSERT_TRUE(WriteBytes(path, "abcdefgh"));
    HANDLE file = FileCreate(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    ULONGLONG size = 0, at = 99;
    SetLastError(ERROR_HANDLE_EOF);
    EXPECT_TRUE(FileGetSize(file, &size));
    EXPECT_EQ(8u, size);
    EXPECT_TRUE(FileSeek(file, 3, FILE_BEGIN, NULL));
    EXPECT_TRUE(FileSeek(file, 2, FILE_CURRENT, &at));
    EXPECT_EQ(5u, at);
    EXPECT_TRUE(FileSeek(file, 0, FILE_END, &at));
    EXPECT_EQ(8u, at);
    EXPECT_EQ((DWORD)ERROR_HANDLE_EOF, GetLastError());
    CloseHandle(file);

    // A failure keeps the call's own code, which the store reports.
    for (int seek = 0; seek < 2; seek++) {
        SetLastError(NO_ERROR);
        EXPECT_FALSE(seek ? FileSeek(NULL, 0, FILE_BEGIN, &at) : FileGetSize(NULL, &size));
        EXPECT_NE((DWORD)NO_ERROR, GetLastError());
    }
}
