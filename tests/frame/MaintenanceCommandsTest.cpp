#include "resource.h"
#include "frame/FrameFixture.h"
#include "frame/MaintenanceCommands.h"
#include "store/IndexRecord.h"
#include "support/DialogDriver.h"

namespace {

// Groups of two articles, the first one read, both of normal priority.
struct MaintenanceFixture : FrameFixture {
    std::string first = ArticleBlock("Subject: one\nFrom: a@example.jp\nDate: Sun, 6 Dec 2026", 1, "first body");
    std::string second = ArticleBlock("Subject: two\nFrom: b@example.jp\nDate: Sun, 6 Dec 2026", 2, "second body");
    std::string Log() const { return first + second; }
    // The index as written, or as a catch-up of both kinds leaves it.
    std::string Index(bool caughtUp = false) const
    {
        DWORD length = (DWORD)first.size(), flags = caughtUp ? (DWORD)kRecordRead : 0;
        return IndexHeaderBytes(caughtUp ? 0xFFFFFFFF : 2, 2, 0, 2, 1, "\x82\x51\x8C\x8F", caughtUp ? 0 : 1, 0, 0) +
               IndexRecordBytes(1, 1, 0, length, "one", "", "a@example.jp", 9, 3) +
               IndexRecordBytes(flags, 2, length, second.size(), "two", "", "b@example.jp", length + 9, 3);
    }
    void Group(const std::wstring& name)
    {
        ASSERT_TRUE(WriteBytes(folder.File(name + L".log"), Log()));
        ASSERT_TRUE(WriteBytes(folder.File(name + L".idx"), Index()));
    }
};

}  // namespace

TEST_F(MaintenanceFixture, DeletingReadArticlesAsksFirstAndNamesTheGroupThatFailed)
{
    WriteGroups({"fj.a", "fj.b"});
    Group(L"fj.a");
    Group(L"fj.b");
    // A log that cannot be replaced.
    ASSERT_TRUE(SetFileAttributesW(folder.File(L"fj.b.log").c_str(), FILE_ATTRIBUTE_READONLY));

    boxes.SetAnswer(IDNO);
    EXPECT_FALSE(DeleteReadArticlesCommand(folder.Path().c_str()));
    EXPECT_TRUE(boxes.Showed(1, 0, L"既読記事を削除しますか?", L"Delete read articles",
                             MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(Log(), ReadBytes(folder.File(L"fj.a.log")));

    boxes.Clear();
    boxes.SetAnswer(IDYES);
    EXPECT_TRUE(DeleteReadArticlesCommand(folder.Path().c_str()));
    // The bytes of a compaction, failed or not, are the store's to check.
    EXPECT_EQ(second, ReadBytes(folder.File(L"fj.a.log")));
    EXPECT_TRUE(boxes.Showed(2, 1, L"既読記事の削除に失敗しました(5)", L"fj.b", MB_ICONEXCLAMATION));
    SetFileAttributesW(folder.File(L"fj.b.log").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(MaintenanceFixture, CatchUpMarksReadOrSkipsTheServerAsTicked)
{
    WriteGroups({"fj.a"});
    Group(L"fj.a");
    WriteCompleteSettings();
    Open();
    EXPECT_EQ(L"1", GroupRow(0)[kGroupColumnUnread]);

    DialogDriver driver;
    // Cancel with a box ticked changes nothing.
    driver.Then([](HWND dialog) {
        DialogDriver::Click(dialog, IDC_CATCHUP_LOCAL);
        DialogDriver::Click(dialog, IDCANCEL);
    });
    EXPECT_FALSE(CatchUpCommand(GetModuleHandleW(NULL), frame->Window(), frame->Groups(), DataPath().c_str()));
    EXPECT_EQ(Index(), ReadBytes(folder.File(L"fj.a.idx")));

    driver.Then([](HWND dialog) {
        DialogDriver::Click(dialog, IDC_CATCHUP_LOCAL);
        DialogDriver::Click(dialog, IDC_CATCHUP_SERVER);
        DialogDriver::Click(dialog, IDOK);
    });
    EXPECT_TRUE(CatchUpCommand(GetModuleHandleW(NULL), frame->Window(), frame->Groups(), DataPath().c_str()));
    EXPECT_EQ(Index(true), ReadBytes(folder.File(L"fj.a.idx")));
    EXPECT_EQ(L"0", GroupRow(0)[kGroupColumnUnread]);
    EXPECT_TRUE(boxes.Boxes().empty());
}
