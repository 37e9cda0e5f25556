// A group's log and index built byte by byte in a fresh data folder, so the
// passes' results can be compared with files made independently of them.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <string>
#include <vector>
#include "store/GroupRecord.h"
#include "store/IndexHeader.h"
#include "support/StoreFiles.h"

const DWORD kHighFlag = kPriorityHigh << kRecordPriorityShift;
const DWORD kLowFlag = kPriorityLow << kRecordPriorityShift;

struct HandArticle {
    DWORD flags;
    DWORD number;
    std::string subject;
    std::string body;
    std::string block;     // the article's bytes in the log
    DWORD subjectStart;    // offset of the subject text in the block
    std::string extra;     // further header lines (Message-ID:, References:)
};

struct HandGroup {
    IndexHeader header;
    std::vector<HandArticle> articles;
    std::string log;

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

    // Appends an article and recounts the header. An empty subject: no
    // Subject line, and the record points at the article's start.
    HandGroup& Add(DWORD number, const std::string& subject, DWORD flags,
                   const std::string& body = "body line\r\n", const std::string& extra = "")
    {
        std::string head = "From: Sender" + std::to_string(number % 100) + " <s@example.jp>\r\n"
                         + "Date: Sat, 5 Dec 2026 15:08:39 +0900\r\n";
        DWORD subjectStart = subject.empty() ? 0 : (DWORD)head.size() + 9;
        if (!subject.empty())
            head += "Subject: " + subject + "\r\n";
        head += extra;
        HandArticle article = {flags, number, subject, body, "", subjectStart, extra};
        article.block = head + "X-Local-Seq: " + std::to_string(number) + "\r\n\r\n" + body
                      + "================\r\n";
        articles.push_back(article);
        log += article.block;
        header.recordCount = (DWORD)articles.size();
        header.unreadCount += !(flags & kRecordRead);
        header.highCount += (flags & kRecordPriorityMask) == kHighFlag;
        header.lowCount += (flags & kRecordPriorityMask) == kLowFlag;
        return *this;
    }

    // The group holding only the unread articles, as a compaction leaves it.
    HandGroup Unread() const
    {
        HandGroup kept;
        kept.header = header;
        kept.header.recordCount = kept.header.unreadCount = kept.header.highCount = kept.header.lowCount = 0;
        kept.header.savedPosition = 0;
        for (const HandArticle& a : articles)
            if (!(a.flags & kRecordRead))
                kept.Add(a.number, a.subject, a.flags, a.body, a.extra);
        return kept;
    }

    std::string IndexBytes() const
    {
        std::string bytes((const char*)&header, sizeof header);
        DWORD offset = 0;
        for (const HandArticle& a : articles) {
            std::string sender = "Sender" + std::to_string(a.number % 100);
            bytes += IndexRecordBytes(a.flags, a.number, offset, (DWORD)a.block.size(),
                                      a.subject.empty() ? "(none)" : a.subject.substr(0, 47), "1205", sender, offset + a.subjectStart,
                                      (DWORD)a.subject.size());
            offset += (DWORD)a.block.size();
        }
        return bytes;
    }

    std::string LogBytes() const { return log; }
};

// Six articles from base + 1: two read, every priority, one without a subject.
inline HandGroup Mixed(DWORD base = 100)
{
    HandGroup group;
    group.Add(base + 1, "first normal", 0).Add(base + 2, "read high", kRecordRead | kHighFlag);
    group.Add(base + 3, "\x93\xfa\x96\x7b\x8c\xea high", kHighFlag, "line\r\n\r\n> quote\r\n");
    group.Add(base + 4, "read normal", kRecordRead).Add(base + 5, "low one", kLowFlag).Add(base + 6, "", 0);
    return group;
}

// A fresh data folder per test, removed with its files afterwards, and the
// group fj.test in it.
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        group.Reset();
        ASSERT_TRUE(group.SetNames(Dir(), L"fj.test"));
    }
    void TearDown() override
    {
        group.CloseLog();
        group.Release();
    }
    const wchar_t* Dir() const { return folder.Path().c_str(); }
    std::string Index(std::wstring name = L"fj.test") const { return ReadBytes(folder.File(name + L".idx")); }
    std::string Log(std::wstring name = L"fj.test") const { return ReadBytes(folder.File(name + L".log")); }
    void SetIndex(const std::string& bytes) { ASSERT_TRUE(WriteBytes(group.IndexPath(), bytes)); }
    void SetLog(const std::string& bytes) { ASSERT_TRUE(WriteBytes(group.LogPath(), bytes)); }
    void SetFilter(const std::string& bytes) { ASSERT_TRUE(WriteBytes(group.FilterPath(), bytes)); }
    void WriteGroup(const std::wstring& name, const HandGroup& hand)
    {
        ASSERT_TRUE(WriteBytes(folder.File(name + L".idx"), hand.IndexBytes()));
        ASSERT_TRUE(WriteBytes(folder.File(name + L".log"), hand.LogBytes()));
    }
    // Record i of the group's index, as the group reads it.
    IndexRecord Record(DWORD i)
    {
        IndexRecord record;
        DWORD count = 1;
        EXPECT_TRUE(group.ReadRecords(i, &record, &count));
        EXPECT_EQ(1u, count);
        return record;
    }

    TempDataFolder folder;
    GroupRecord group;
};
