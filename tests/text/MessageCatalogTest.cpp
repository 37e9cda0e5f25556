#include <gtest/gtest.h>
#include "text/MessageCatalog.h"
#include "resource.h"
#include "support/MessageBoxRecorder.h"

TEST(MessageCatalog, TableHoldsEveryOddIdButNineteenSixtyOneAndSixtyNineInOneBufferCutAt1023AndFormatsTheLastError)
{
    // 69 was never given a text either.
    for (UINT id = 0; id <= 160; ++id) {
        bool expected = (id % 2 == 1) && id <= 149 && id != 19 && id != 61 && id != 69;
        EXPECT_EQ(expected, MessageCatalog::Load(id) != NULL) << "id " << id;
    }
    // Half-width katakana stays half-width.
    EXPECT_STREQ(L"ﾎﾟｰﾄを開きます...", MessageCatalog::Load(IDS_DIAL_OPENING_PORT));
    EXPECT_STREQ(L"ﾆｭｰｽｸﾞﾙｰﾌﾟ", MessageCatalog::Load(IDS_COLUMN_NEWSGROUP));
    EXPECT_STREQ(L" ", MessageCatalog::Load(IDS_COLUMN_MARK));

    const wchar_t* first = MessageCatalog::Load(IDS_PAGE_MAIN);
    const wchar_t* second = MessageCatalog::Load(IDS_PAGE_AUTH);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(L"認証", second);

    // Long texts go into a copy of this program whose string table is
    // rewritten, so that the cut is seen through the real resource lookup.
    wchar_t self[MAX_PATH], directory[MAX_PATH], copy[MAX_PATH];
    ASSERT_TRUE(GetModuleFileNameW(NULL, self, MAX_PATH));
    ASSERT_TRUE(GetTempPathW(MAX_PATH, directory));
    ASSERT_TRUE(GetTempFileNameW(directory, L"pel", 0, copy));
    ASSERT_TRUE(CopyFileW(self, copy, FALSE));

    // Ids 2000, 2001, 2002 share block 126: 1023, 1024 and 1500 characters.
    const UINT lengths[3] = {1023, 1024, 1500};
    std::wstring block;
    for (int i = 0; i < 16; ++i) {
        UINT length = i < 3 ? lengths[i] : 0;
        block += (wchar_t)length;
        for (UINT c = 0; c < length; ++c)
            block += (wchar_t)(L'A' + (c % 26));
    }
    HANDLE update = BeginUpdateResourceW(copy, FALSE);
    ASSERT_TRUE(update != NULL);
    ASSERT_TRUE(UpdateResourceW(update, (LPCWSTR)RT_STRING, MAKEINTRESOURCEW(2000 / 16 + 1),
                                MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), &block[0],
                                (DWORD)(block.size() * sizeof(wchar_t))));
    ASSERT_TRUE(EndUpdateResourceW(update, FALSE));

    HMODULE module = LoadLibraryExW(copy, NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module != NULL);
    HINSTANCE program = MessageCatalog::Instance();
    MessageCatalog::SetInstance((HINSTANCE)module);
    for (UINT i = 0; i < 3; ++i) {
        const wchar_t* text = MessageCatalog::Load(2000 + i);
        EXPECT_EQ(block.substr(1, 1023), text ? text : L"<none>") << "id " << 2000 + i;
    }
    MessageCatalog::SetInstance(program);
    FreeLibrary(module);
    DeleteFileW(copy);

    // The last error goes in place of %d, in texts and in the error box.
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_STREQ(L"送信に失敗しました(5).", FormatLastError(MessageCatalog::Load(IDS_SEND_FAILED)));
    // A signed decimal, as the code is shown everywhere.
    SetLastError(0x80004005);
    EXPECT_STREQ(L"(-2147467259) 100%", FormatLastError(L"(%d) 100%%"));
    // A text meant for a string argument gets no stray pointer read.
    SetLastError(ERROR_PATH_NOT_FOUND);
    EXPECT_STREQ(L"x : %s", FormatLastError(L"x : %s"));
    EXPECT_STREQ(L"", FormatLastError(NULL));
    std::wstring longer(1100, L'w');
    EXPECT_EQ(1023u, wcslen(FormatLastError(longer.c_str())));

    // The error box: the last error formatted into a hand box.
    MessageBoxRecorder boxes;
    SetLastError(ERROR_SHARING_VIOLATION);
    ShowErrorBox(IDS_DATA_INIT_FAILED);
    ASSERT_TRUE(boxes.Showed(1, 0, L"データファイルの初期化に失敗しました(32)", L"PELORA", MB_ICONHAND));
    EXPECT_TRUE(boxes.Boxes()[0].owner == NULL);

    // An id without a text shows the code alone, under the given caption.
    SetLastError(ERROR_FILE_NOT_FOUND);
    ShowErrorBox(19, L"fj.comp", MB_ICONEXCLAMATION);
    EXPECT_TRUE(boxes.Showed(2, 1, L"(2)", L"fj.comp", MB_ICONEXCLAMATION));
}
