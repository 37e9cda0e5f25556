// Lines of the store's text files, across block boundaries and odd line ends.
#include "GroupFilesFixture.h"
#include "store/LineReader.h"
#include <vector>

namespace {

class Lines : public StoreTest {
protected:
    // Every line of `bytes` through a reader with the given block size.
    std::vector<std::string> Read(const std::string& bytes, DWORD block, bool inPlace,
                                  DWORD* lastError)
    {
        SetLog(bytes);
        HANDLE file = CreateFileW(group.LogPath(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                  OPEN_EXISTING, 0, NULL);
        std::vector<char> storage(block);
        LineReader reader;
        if (block == kLineReaderBufferSize)
            reader.Init(file);
        else
            reader.Init(file, storage.data(), block);
        std::vector<std::string> lines;
        char buffer[64];
        for (;;) {
            const char* line = buffer;
            DWORD length = 0;
            BOOL ok = inPlace ? reader.ReadLineInPlace(buffer, sizeof buffer, &line, &length)
                              : reader.ReadLine(buffer, sizeof buffer, FALSE, &length);
            if (!ok)
                break;
            lines.push_back(std::string(line, length));
        }
        *lastError = GetLastError();
        CloseHandle(file);
        return lines;
    }
};

TEST_F(Lines, SameLinesWhateverTheBlockSizeLongLinesAndZeroBytesFail)
{
    std::string bytes;
    std::vector<std::string> expected;
    for (int i = 0; i < 400; i++) {
        std::string line = std::string(i % 50, (char)('a' + i % 26));
        if (i % 7 == 0)
            line += "\rmid";        // a CR inside: the line ends at the next LF
        if (i % 11 == 0 && i % 7 != 0)
            line += "\nbare";       // an LF before any CR is an ordinary byte
        line += "\r\n";
        expected.push_back(line);
        bytes += line;
    }
    bytes += "last";
    expected.push_back("last");
    DWORD error;
    for (DWORD block : {7u, 64u, 4096u}) {
        for (bool inPlace : {false, true}) {
            EXPECT_EQ(expected, Read(bytes, block, inPlace, &error)) << block << " " << inPlace;
            EXPECT_EQ((DWORD)ERROR_HANDLE_EOF, error);
        }
    }

    std::vector<std::string> lines = Read("ok\r\n" + std::string(63, 'x') + "\r\n", 4096, true, &error);
    EXPECT_EQ(1u, lines.size());
    EXPECT_EQ((DWORD)ERROR_MORE_DATA, error);
    // 61 bytes and CR LF fill the buffer with its terminator exactly.
    lines = Read(std::string(61, 'x') + "\r\n", 16, false, &error);
    EXPECT_EQ(1u, lines.size());
    for (bool inPlace : {false, true}) {
        lines = Read(std::string("ok\r\nz\0z\r\nmore\r\n", 15), 4096, inPlace, &error);
        EXPECT_EQ(1u, lines.size()) << inPlace;
        EXPECT_EQ((DWORD)ERROR_INVALID_DATA, error) << inPlace;
    }
}

} // namespace
