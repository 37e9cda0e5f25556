// Builds a group's log and index byte by byte in a fresh data folder, so
// that the passes' results can be compared with files made independently.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>
#include "store/IndexHeader.h"

struct HandArticle {
    std::string block;       // the article's bytes in the log
    DWORD subjectStart;      // offset of the subject text within the block
    DWORD subjectLength;
    DWORD flags;
    DWORD number;
    std::string subject;
};

inline HandArticle MakeArticle(DWORD number, const std::string& subject, DWORD flags,
                               const std::string& body = "body line\r\n")
{
    HandArticle article;
    std::string head = "From: Sender" + std::to_string(number % 100) + " <s@example.jp>\r\n";
    article.subjectStart = (DWORD)(head.size() + 9);
    head += "Subject: " + subject + "\r\n";
    head += "Date: Sat, 5 Dec 2026 15:08:39 +0900\r\n";
    head += "X-Local-Seq: " + std::to_string(number) + "\r\n\r\n";
    article.block = head + body + "================\r\n";
    article.subjectLength = (DWORD)subject.size();
    article.flags = flags;
    article.number = number;
    article.subject = subject;
    return article;
}

// A group as bytes: the header values, the articles in log order, and the
// records made from them with offsets counted from the start of the log.
struct HandGroup {
    IndexHeader header;
    std::vector<HandArticle> articles;
    std::string logPrefix;   // bytes before the first article (unindexed)

    HandGroup()
    {
        memset(&header, 0, sizeof header);
        header.version = kIndexVersion;
        header.lastArticle = 1234;
        header.serverLast = 1300;
        header.reservedWord = 0xA5A5A5A5;
        header.savedPosition = 7;
        strcpy(header.stateText, "OK");
    }

    void Add(const HandArticle& article) { articles.push_back(article); }

    std::vector<IndexRecord> Records() const
    {
        std::vector<IndexRecord> records;
        DWORD offset = (DWORD)logPrefix.size();
        for (const HandArticle& article : articles) {
            IndexRecord record;
            memset(&record, 0, sizeof record);
            record.flags = article.flags;
            record.articleNumber = article.number;
            record.articleOffset = offset;
            record.articleLength = (DWORD)article.block.size();
            strncpy(record.subject, article.subject.c_str(), kSubjectFieldSize - 1);
            memcpy(record.date, "1205", 4);
            std::string sender = "Sender" + std::to_string(article.number % 100);
            strncpy(record.sender, sender.c_str(), kSenderFieldSize - 1);
            record.subjectOffset = offset + article.subjectStart;
            record.subjectLength = article.subjectLength;
            records.push_back(record);
            offset += (DWORD)article.block.size();
        }
        return records;
    }

    // Counters that agree with the records.
    void Count()
    {
        header.recordCount = (DWORD)articles.size();
        header.unreadCount = header.highCount = header.lowCount = 0;
        for (const HandArticle& article : articles) {
            if (!(article.flags & kRecordRead))
                ++header.unreadCount;
            DWORD priority = (article.flags & kRecordPriorityMask) >> kRecordPriorityShift;
            if (priority == kPriorityHigh)
                ++header.highCount;
            else if (priority == kPriorityLow)
                ++header.lowCount;
        }
    }

    std::string IndexBytes() const
    {
        std::string bytes((const char*)&header, sizeof header);
        for (const IndexRecord& record : Records())
            bytes.append((const char*)&record, sizeof record);
        return bytes;
    }

    std::string LogBytes() const
    {
        std::string bytes = logPrefix;
        for (const HandArticle& article : articles)
            bytes += article.block;
        return bytes;
    }
};

inline std::string ReadBytes(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, NULL) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

inline bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    return ok && written == bytes.size();
}

inline bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A fresh data folder per test, removed with everything in it afterwards.
class DataFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        static int serial;
        folder = std::wstring(temp) + L"pelora-storeb-" + std::to_wstring(GetCurrentProcessId())
               + L"-" + std::to_wstring(++serial) + L"\\";
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), NULL));
    }

    void TearDown() override
    {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::wstring path = folder + found.cFileName;
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileW(path.c_str());
                }
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring Path(const std::wstring& group, const wchar_t* extension) const
    {
        return folder + group + extension;
    }

    void WriteGroup(const std::wstring& name, const HandGroup& group)
    {
        ASSERT_TRUE(WriteBytes(Path(name, L".idx"), group.IndexBytes()));
        ASSERT_TRUE(WriteBytes(Path(name, L".log"), group.LogBytes()));
    }

    // The names of every file in the folder, sorted.
    std::vector<std::wstring> Files() const
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    names.push_back(found.cFileName);
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::wstring folder;
};
