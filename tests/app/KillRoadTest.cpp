// The real program killed (TerminateProcess) at a few instants of a patrol
// and of a deletion of read articles, then started again: every group's
// index and log agree, nothing stored before is lost, and no temporary file
// is left.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>
#include <string.h>
#include <string>
#include <vector>
#include "support/RealProgram.h"
#include "resource.h"
#include "store/GroupMaintenance.h"
#include "store/IndexHeader.h"
#include "support/ScriptedNntpServer.h"
#include "support/StoreFiles.h"

namespace {

const wchar_t* const kGroups[] = {L"fj.a", L"fj.b"};
const DWORD kAtFirstLeftover = 0xFFFFFFFF;

// Every record covers the next whole block of the log, with its number in
// it, the numbers rising to the header's last article; the header counts
// the records and their read marks; the records of `before`, an earlier
// copy of the index, come first still, read marks and all. Bytes past the
// last block may stay until the next patrol cuts them.
void ExpectAgree(const std::wstring& stem, const std::string& before)
{
    SCOPED_TRACE(stem);
    std::string index = ReadBytes(stem + L".idx"), log = ReadBytes(stem + L".log");
    ASSERT_GE(index.size(), (size_t)kIndexHeaderSize);
    EXPECT_EQ((DWORD)kIndexVersion, WordAt(index, 0));
    DWORD count = WordAt(index, 16), unread = 0, offset = 0, number = 0;
    ASSERT_GE(index.size(), kIndexHeaderSize + (size_t)kIndexRecordSize * count);
    for (DWORD i = 0; i < count; ++i) {
        IndexRecord record;
        memcpy(&record, index.data() + kIndexHeaderSize + kIndexRecordSize * i, sizeof record);
        ASSERT_EQ(offset, record.articleOffset) << i;
        ASSERT_LE((size_t)offset + record.articleLength, log.size()) << i;
        std::string block = log.substr(offset, record.articleLength);
        EXPECT_NE(std::string::npos, block.find("X-Local-Seq: " + std::to_string(record.articleNumber) + "\r\n"));
        EXPECT_EQ("================\r\n", block.substr(block.size() - 18));
        EXPECT_TRUE(i == 0 || record.articleNumber > number) << i;
        number = record.articleNumber;
        unread += !(record.flags & kRecordRead);
        offset += record.articleLength;
    }
    EXPECT_EQ(number, WordAt(index, 4));
    EXPECT_EQ(unread, WordAt(index, 88));
    if (before.size() >= kIndexHeaderSize) {
        size_t kept = kIndexRecordSize * WordAt(before, 16);
        EXPECT_EQ(before.substr(kIndexHeaderSize, kept), index.substr(kIndexHeaderSize, kept));
    }
}

// Every other record marked read by hand, as reading would.
void MarkEveryOtherRead(const std::wstring& stem)
{
    std::string index = ReadBytes(stem + L".idx");
    DWORD count = WordAt(index, 16), unread = 0;
    for (DWORD i = 0; i < count; ++i) {
        DWORD* flags = (DWORD*)&index[kIndexHeaderSize + kIndexRecordSize * i];
        *flags = (*flags & ~(DWORD)kRecordRead) | (i % 2 ? (DWORD)kRecordRead : 0);
        unread += !(i % 2);
    }
    memcpy(&index[88], &unread, 4);
    ASSERT_TRUE(WriteBytes(stem + L".idx", index));
}

bool HasLeftovers(const std::wstring& folder)
{
    for (const std::wstring& name : FilesIn(folder))
        if (name.back() == L'~')
            return true;
    return false;
}

std::string GroupFiles(const std::wstring& stem)
{
    return ReadBytes(stem + L".idx") + "\n--- log ---\n" + ReadBytes(stem + L".log");
}

class KillRoad : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start(300000));   // a watchdog only
        std::string body;
        for (int line = 0; line < 40; ++line)
            body += "A body line long enough to give the files some weight, number " + std::to_string(line) + "\r\n";
        server.On("GROUP fj.a", "211 30 1 30 fj.a\r\n");
        server.On("GROUP fj.b", "211 30 101 130 fj.b\r\n");
        for (unsigned n = 1; n <= 130; n = n == 30 ? 101 : n + 1)
            server.AddArticle(n, "From: a@b\r\nSubject: s" + std::to_string(n) + "\r\n", body);
        ASSERT_TRUE(WriteBytes(folder.File(L"group.dat"), "fj.a\r\nfj.b\r\n"));
    }

    // Starts the program and waits for its frame; the copy ends with the test.
    HWND StartCopy(StartedCopy* copy)
    {
        return Start(ProgramPath(), &copy->info) ? WaitForFrame(copy->info.dwProcessId, 20000) : NULL;
    }
    void Kill(StartedCopy* copy)
    {
        TerminateProcess(copy->info.hProcess, 9);
        WaitForSingleObject(copy->info.hProcess, 10000);
    }
    // A start after the kill: its data initialisation settles the files.
    void Restart()
    {
        StartedCopy copy;
        ASSERT_TRUE(StartCopy(&copy) != NULL) << "no frame after the kill";
        Kill(&copy);
        EXPECT_FALSE(HasLeftovers(folder.Path()));
    }

    ScriptedNntpServer server;
    TempDataFolder folder;
};

}  // namespace

TEST_F(KillRoad, KilledPatrolsAndDeletionsLeaveAgreeingFiles)
{
    RealSettings settings(folder.Path(), server.Port());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(ProgramPath().c_str())) << "build pelora_hpc first";
    // Kill instants by the number of commands the server has received; each
    // pass goes on from what the one before stored whole, and none ends.
    for (size_t after : {9u, 50u, 40u, 20u}) {
        SCOPED_TRACE(after);
        std::string before[2] = {ReadBytes(folder.File(kGroups[0]) + L".idx", ""),
                                 ReadBytes(folder.File(kGroups[1]) + L".idx", "")};
        StartedCopy copy;
        HWND frame = StartCopy(&copy);
        ASSERT_TRUE(frame != NULL);
        size_t sent = server.Commands().size();
        PostMessageW(frame, WM_COMMAND, IDM_DOWNLOAD, 0);
        // Generous: a loaded machine may start Wine slowly.
        ASSERT_TRUE(server.WaitForCommands(sent + after, 30000)) << "the patrol did not get that far";
        Kill(&copy);
        Restart();
        for (int g = 0; g < 2; ++g) {
            ExpectAgree(folder.File(kGroups[g]), before[g]);
            MarkEveryOtherRead(folder.File(kGroups[g]));
        }
    }

    // Every other article read; the deletion's result made beside, in a copy.
    TempDataFolder expected;
    for (const wchar_t* group : kGroups) {
        std::string index = ReadBytes(folder.File(group) + L".idx");
        ASSERT_TRUE(group != kGroups[0] || WordAt(index, 16) > 2) << "the patrols stored nothing";
        ASSERT_TRUE(WriteBytes(expected.File(group) + L".idx", index));
        ASSERT_TRUE(WriteBytes(expected.File(group) + L".log", ReadBytes(folder.File(group) + L".log")));
    }
    ASSERT_TRUE(WriteBytes(expected.File(L"group.dat"), "fj.a\r\nfj.b\r\n"));
    ASSERT_TRUE(CompactAllGroups(expected.Path().c_str(), NULL, NULL));

    // The first kill comes as soon as the deletion's first file appears.
    bool midway = false;
    for (DWORD wait : {kAtFirstLeftover, (DWORD)0, (DWORD)3, (DWORD)2000}) {
        SCOPED_TRACE(wait);
        std::string old[2] = {GroupFiles(folder.File(kGroups[0])), GroupFiles(folder.File(kGroups[1]))};
        StartedCopy copy;
        HWND frame = StartCopy(&copy);
        ASSERT_TRUE(frame != NULL);
        PostMessageW(frame, WM_COMMAND, IDM_DELETE_READ, 0);
        HWND box = WaitForWindow(copy.info.dwProcessId, L"#32770", 20000);
        ASSERT_TRUE(box != NULL) << "no confirmation";
        PostMessageW(box, WM_COMMAND, IDYES, 0);
        DWORD start = GetTickCount();
        while (wait == kAtFirstLeftover && GetTickCount() - start < 10000 && !HasLeftovers(folder.Path())) {
        }
        if (wait != kAtFirstLeftover)
            Sleep(wait);
        Kill(&copy);
        midway = midway || HasLeftovers(folder.Path());
        Restart();
        for (int g = 0; g < 2; ++g) {
            std::string now = GroupFiles(folder.File(kGroups[g]));
            EXPECT_TRUE(now == old[g] || now == GroupFiles(expected.File(kGroups[g]))) << g;
        }
    }
    EXPECT_TRUE(midway) << "no kill landed inside the deletion";
    // The last one had the time to finish.
    for (const wchar_t* group : kGroups)
        EXPECT_EQ(GroupFiles(expected.File(group)), GroupFiles(folder.File(group)));
}
