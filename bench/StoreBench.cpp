// Timings of the store's passes over realistic files: the data
// initialisation, the subject list's load, the rebuild of an index and the
// compaction of a log, each beside a plain copy of the same log. Prints
// figures only; files live in a scratch folder that is removed at the end.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>
#include "store/ArticleLog.h"
#include "store/DataFolder.h"
#include "store/FileOps.h"
#include "store/GroupMaintenance.h"
#include "store/GroupRecord.h"
#include "store/IndexHeader.h"
#include "store/SubjectList.h"

namespace {

const DWORD kBigLogBytes = 50u * 1024 * 1024;
const int kRepeats = 5;

double g_ticksPerSecond;

double Now()
{
    LARGE_INTEGER ticks;
    QueryPerformanceCounter(&ticks);
    return (double)ticks.QuadPart / g_ticksPerSecond;
}

struct Timing {
    std::vector<double> runs;
    double Best() const { return *std::min_element(runs.begin(), runs.end()); }
    double Median() const
    {
        std::vector<double> sorted = runs;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

std::wstring g_folder;

std::wstring PathOf(const std::wstring& name) { return g_folder + name; }

bool WriteWhole(const std::wstring& path, const std::string& bytes)
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

// One stored article of about 2 KB: the kept header lines, some Japanese
// text, quoted lines, the separator.
std::string Article(unsigned number)
{
    char line[256];
    std::string block;
    snprintf(line, sizeof line, "From: \x8e\x52\x93\x63 %u <user%u@example.jp>\r\n", number % 97, number % 97);
    block += line;
    snprintf(line, sizeof line, "Subject: Re: \x8e\xbf\x96\xe2 %u about%s the store\r\n", number,
             number % 7 == 0 ? " keyword" : "");
    block += line;
    block += "Newsgroups: fj.bench\r\n";
    snprintf(line, sizeof line, "Date: Sat, %u Dec 2026 15:08:39 +0900\r\n", 1 + number % 28);
    block += line;
    snprintf(line, sizeof line, "Message-ID: <%u.bench@example.jp>\r\n", number);
    block += line;
    snprintf(line, sizeof line, "X-Local-Seq: %u\r\n\r\n", number);
    block += line;
    for (int i = 0; i < 28; ++i) {
        if (i % 5 == 0)
            block += "> \x82\xb1\x82\xea\x82\xcd\x88\xf8\x97\x70\x82\xb3\x82\xea\x82\xbd\x8d\x73\x82\xc5\x82\xb7 quoted text of an earlier article\r\n";
        else
            block += "Body text of the article, written in plain words for the bench run.\r\n";
    }
    block += "================\r\n";
    return block;
}

// A log of at least `bytes` bytes and the number of articles in it.
std::string BigLog(DWORD bytes, DWORD* articles)
{
    std::string log;
    log.reserve(bytes + 4096);
    DWORD number = 1;
    while (log.size() < bytes)
        log += Article((unsigned)number++);
    *articles = number - 1;
    return log;
}

std::string HeaderBytes(DWORD records, DWORD unread, DWORD high, DWORD low)
{
    IndexHeader header;
    memset(&header, 0, sizeof header);
    header.version = kIndexVersion;
    header.lastArticle = records;
    header.serverLast = records;
    header.recordCount = records;
    header.unreadCount = unread;
    header.highCount = high;
    header.lowCount = low;
    return std::string((const char*)&header, sizeof header);
}

// An index of `count` records: a tenth high, a tenth low, a third read.
std::string SyntheticIndex(DWORD count)
{
    std::string records;
    records.reserve((size_t)count * sizeof(IndexRecord));
    DWORD unread = 0, high = 0, low = 0;
    for (DWORD i = 0; i < count; ++i) {
        IndexRecord record;
        memset(&record, 0, sizeof record);
        DWORD priority = i % 10 == 3 ? kPriorityHigh : i % 10 == 7 ? kPriorityLow : kPriorityNormal;
        record.flags = (priority << kRecordPriorityShift) | (i % 3 == 0 ? (DWORD)kRecordRead : 0u);
        record.articleNumber = i + 1;
        record.articleOffset = i * 2000;
        record.articleLength = 2000;
        snprintf(record.subject, sizeof record.subject, "Subject of article %u", (unsigned)i);
        memcpy(record.date, "1205", 4);
        strcpy(record.sender, "Sender");
        record.subjectOffset = i * 2000 + 40;
        record.subjectLength = 24;
        records.append((const char*)&record, sizeof record);
        unread += !(record.flags & kRecordRead);
        high += priority == kPriorityHigh;
        low += priority == kPriorityLow;
    }
    return HeaderBytes(count, unread, high, low) + records;
}

void RemoveFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolder(folder + name + L"\\");
            else
                DeleteFileW((folder + name).c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

bool Fail(const char* what)
{
    printf("FAILED: %s (error %lu)\n", what, GetLastError());
    return false;
}

bool BenchDataInitialisation()
{
    std::wstring folder = g_folder + L"init\\";
    CreateDirectoryW(folder.c_str(), NULL);
    std::string groupList;
    std::string log;
    for (DWORD n = 1; n <= 50; ++n)
        log += Article(n);
    for (int g = 0; g < 100; ++g) {
        char name[64];
        snprintf(name, sizeof name, "fj.bench.group%02d", g);
        groupList += std::string(name) + "\r\n";
        std::wstring stem = folder + std::wstring(name, name + strlen(name));
        if (!WriteWhole(stem + L".log", log))
            return Fail("writing a group log");
    }
    if (!WriteWhole(folder + L"group.dat", groupList))
        return Fail("writing group.dat");

    // First run: no index anywhere, so every group is rebuilt from its log.
    double start = Now();
    if (!InitializeDataFolder(folder.c_str()))
        return Fail("data initialisation (rebuild)");
    double rebuilt = Now() - start;
    Timing checked;
    for (int i = 0; i < kRepeats; ++i) {
        start = Now();
        if (!InitializeDataFolder(folder.c_str()))
            return Fail("data initialisation");
        checked.runs.push_back(Now() - start);
    }
    printf("Data initialisation, 100 groups of 50 articles:\n");
    printf("  indexes present (start-up):  best %7.1f ms, median %7.1f ms\n",
           checked.Best() * 1e3, checked.Median() * 1e3);
    printf("  indexes missing (rebuilt):        %7.1f ms\n", rebuilt * 1e3);
    RemoveFolder(folder);
    return true;
}

bool BenchSubjectListLoad()
{
    printf("SubjectList open + load (page of 20; a third read, shown at level 1 without read):\n");
    const DWORD sizes[] = {1000, 10000, 100000};
    for (DWORD size : sizes) {
        if (!WriteWhole(PathOf(L"fj.list.idx"), SyntheticIndex(size))
            || !WriteWhole(PathOf(L"fj.list.log"), ""))
            return Fail("writing the list's index");
        Timing timing;
        DWORD visible = 0;
        for (int i = 0; i < kRepeats; ++i) {
            SubjectList list;
            list.SetPriorityLevel(kLevelAll);
            double start = Now();
            if (!list.Open(g_folder.c_str(), L"fj.list") || !list.Load(20))
                return Fail("subject list load");
            timing.runs.push_back(Now() - start);
            visible = list.VisibleCount();
            list.Close();
            list.Destroy();
        }
        printf("  %6lu records (%6lu listed): best %7.2f ms, median %7.2f ms\n",
               size, visible, timing.Best() * 1e3, timing.Median() * 1e3);
    }
    return true;
}

// A group of `count` articles in conversations: about one in six starts a
// thread, the others answer an article a little earlier, so that threads
// interleave as they do on a busy group.
std::string ThreadedLog(DWORD count)
{
    std::string log;
    log.reserve((size_t)count * 700);
    char line[256];
    for (DWORD i = 0; i < count; ++i) {
        DWORD parent = i % 6 == 0 || i < 20 ? 0xFFFFFFFF : i - 1 - (i * 7) % 19;
        std::string block = "From: \x8e\x52\x93\x63 <user@example.jp>\r\n";
        snprintf(line, sizeof line, "Subject: %s\x8e\xbf\x96\xe2 %u\r\n", parent == 0xFFFFFFFF ? "" : "Re: ",
                 (unsigned)(parent == 0xFFFFFFFF ? i : parent));
        block += line;
        block += "Newsgroups: fj.bench\r\nDate: Sat, 5 Dec 2026 15:08:39 +0900\r\n";
        snprintf(line, sizeof line, "Message-ID: <%u.thread@example.jp>\r\n", (unsigned)i);
        block += line;
        if (parent != 0xFFFFFFFF) {
            snprintf(line, sizeof line, "References: <%u.root@example.jp> <%u.thread@example.jp>\r\n",
                     (unsigned)(parent / 6), (unsigned)parent);
            block += line;
        }
        snprintf(line, sizeof line, "X-Local-Seq: %u\r\n\r\n", (unsigned)(i + 1));
        block += line;
        for (int k = 0; k < 6; ++k)
            block += "\x96\x7b\x95\xb6\x82\xcc\x8d\x73 body text of the article\r\n";
        block += "================\r\n";
        log += block;
    }
    return log;
}

bool OpenFirstScreen(BOOL threaded, double* seconds, DWORD* visible, DWORD* bytes)
{
    SubjectList list;
    list.SetPriorityLevel(kLevelAll);
    list.SetThreaded(threaded);
    double start = Now();
    if (!list.Open(g_folder.c_str(), L"fj.thread") || !list.Load(20))
        return Fail("subject list load");
    *seconds = Now() - start;
    *visible = list.VisibleCount();
    *bytes = list.HeldBytesPerArticle();
    if (threaded && !list.InThreadOrder())
        return Fail("thread order");
    list.Close();
    list.Destroy();
    return true;
}

bool BenchThreadOrder()
{
    const DWORD count = 20000;
    printf("Thread order, %lu articles (open + load of the first screen of 20 rows):\n", count);
    if (!WriteWhole(PathOf(L"fj.thread.log"), ThreadedLog(count)))
        return Fail("writing the threaded log");
    DeleteFileW(PathOf(L"fj.thread.idx").c_str());
    GroupRecord group;
    group.Reset();
    if (!group.SetNames(g_folder.c_str(), L"fj.thread") || !RebuildIndex(&group))
        return Fail("indexing the threaded log");
    group.Release();
    double seconds = 0;
    DWORD visible = 0, bytes = 0;
    if (!OpenFirstScreen(TRUE, &seconds, &visible, &bytes))
        return false;
    printf("  thread file built from the log:  %7.2f ms\n", seconds * 1e3);
    Timing flat, threads;
    for (int i = 0; i < kRepeats * 3; ++i) {
        if (!OpenFirstScreen(FALSE, &seconds, &visible, &bytes))
            return false;
        flat.runs.push_back(seconds);
        if (!OpenFirstScreen(TRUE, &seconds, &visible, &bytes))
            return false;
        threads.runs.push_back(seconds);
    }
    printf("  flat order:    best %7.2f ms, median %7.2f ms\n", flat.Best() * 1e3, flat.Median() * 1e3);
    printf("  thread order:  best %7.2f ms, median %7.2f ms  (%lu listed)\n", threads.Best() * 1e3,
           threads.Median() * 1e3, visible);
    printf("  thread order takes %.2fx the flat order's time, best against best; %.2fx median against"
           " median (goal at most 1.5x)\n", threads.Best() / flat.Best(), threads.Median() / flat.Median());
    printf("  thread order holds %lu bytes per article, its order list included (goal at most 12)\n",
           bytes);
    return true;
}

// A plain read/write loop with the same 64 KB pieces the compaction uses.
bool CopyFileOnce(const std::wstring& from, const std::wstring& to, bool flush, double* seconds)
{
    DeleteFileW(to.c_str());
    static char buffer[65536];
    double start = Now();
    HANDLE in = CreateFileW(from.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    HANDLE out = CreateFileW(to.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE)
        return Fail("opening the copy");
    DWORD read = 0, written = 0;
    bool ok = true;
    while (ok && ReadFile(in, buffer, sizeof buffer, &read, NULL) && read > 0)
        ok = WriteFile(out, buffer, read, &written, NULL) && written == read;
    if (flush)
        FlushFileBuffers(out);
    CloseHandle(in);
    CloseHandle(out);
    *seconds = Now() - start;
    DeleteFileW(to.c_str());
    return ok || Fail("copying");
}

// Marks every `stride`-th record read, or none with stride 0.
bool MarkEvery(GroupRecord* group, DWORD stride)
{
    if (!group->ReadHeader() || !group->OpenIndex())
        return Fail("opening the big index");
    DWORD total = group->RecordCount(), read = 0;
    std::vector<IndexRecord> records(total);
    DWORD count = total;
    bool ok = group->ReadRecords(0, records.data(), &count) && count == total;
    for (DWORD i = 0; ok && i < total; ++i) {
        records[i].flags &= ~(DWORD)kRecordRead;
        if (stride && i % stride == 0) {
            records[i].flags |= kRecordRead;
            ++read;
        }
    }
    LARGE_INTEGER to;
    to.QuadPart = kIndexHeaderSize;
    ok = ok && SetFilePointerEx(group->IndexHandle(), to, NULL, FILE_BEGIN)
         && WriteAll(group->IndexHandle(), records.data(), (DWORD)(sizeof(IndexRecord) * total));
    group->CloseIndex();
    group->SetUnreadCount(total - read);
    return (ok && group->WriteHeader()) || Fail("marking the big index");
}

bool BenchBigLog()
{
    DWORD articles = 0;
    std::string log = BigLog(kBigLogBytes, &articles);
    double megabytes = log.size() / (1024.0 * 1024.0);
    std::wstring logPath = PathOf(L"fj.big.log");
    if (!WriteWhole(logPath, log))
        return Fail("writing the big log");
    log.clear();
    log.shrink_to_fit();
    printf("Log of %.1f MB, %lu articles (files in the system's cache):\n", megabytes, articles);

    Timing copy, copyFlushed, rebuild, compactHalf, compactNone;
    GroupRecord group;
    group.Reset();
    if (!group.SetNames(g_folder.c_str(), L"fj.big"))
        return Fail("naming the big group");
    for (int i = 0; i < 3; ++i) {
        double seconds;
        if (!CopyFileOnce(logPath, PathOf(L"fj.big.copy"), false, &seconds))
            return false;
        copy.runs.push_back(seconds);
        if (!CopyFileOnce(logPath, PathOf(L"fj.big.copy"), true, &seconds))
            return false;
        copyFlushed.runs.push_back(seconds);

        DeleteFileW(group.IndexPath());
        group.Clear();
        if (!group.WriteHeader())
            return Fail("fresh header");
        double start = Now();
        if (!RebuildIndex(&group))
            return Fail("rebuild");
        rebuild.runs.push_back(Now() - start);
        group.CloseLog();
    }
    if (group.RecordCount() != articles)
        printf("  (rebuild found %lu records)\n", group.RecordCount());

    // Compaction with nothing read copies the whole log; with every other
    // article read it writes half of it. The log is put back between runs.
    std::wstring master = PathOf(L"fj.big.master");
    std::wstring masterIndex = PathOf(L"fj.big.masteridx");
    if (!CopyFileW(logPath.c_str(), master.c_str(), FALSE))
        return Fail("keeping the big log");
    for (int i = 0; i < 3; ++i) {
        for (DWORD stride : {0u, 2u}) {
            if (!CopyFileW(master.c_str(), logPath.c_str(), FALSE))
                return Fail("restoring the big log");
            if (i == 0 && stride == 0) {
                if (!MarkEvery(&group, 0) || !CopyFileW(group.IndexPath(), masterIndex.c_str(), FALSE))
                    return false;
            } else if (!CopyFileW(masterIndex.c_str(), group.IndexPath(), FALSE)) {
                return Fail("restoring the big index");
            }
            if (stride && !MarkEvery(&group, stride))
                return false;
            double start = Now();
            if (!CompactGroup(&group))
                return Fail("compaction");
            (stride ? compactHalf : compactNone).runs.push_back(Now() - start);
        }
    }
    group.Release();

    double copyRate = megabytes / copy.Best();
    double flushedRate = megabytes / copyFlushed.Best();
    printf("  plain copy (64 KB pieces):              %7.1f MB/s\n", copyRate);
    printf("  plain copy, flushed to disk:            %7.1f MB/s\n", flushedRate);
    printf("  rebuild of the index:                   %7.1f MB/s  (%.2f of the copy)\n",
           megabytes / rebuild.Best(), copy.Best() / rebuild.Best());
    // The compaction flushes its new files before they replace the old ones.
    printf("  compaction, nothing read:               %7.1f MB/s  (%.2f of the copy, %.2f of the flushed copy)\n",
           megabytes / compactNone.Best(), copy.Best() / compactNone.Best(),
           copyFlushed.Best() / compactNone.Best());
    printf("  compaction, every other article read:   %7.1f MB/s  (%.2f of the copy, %.2f of the flushed copy)\n",
           megabytes / compactHalf.Best(), copy.Best() / compactHalf.Best(),
           copyFlushed.Best() / compactHalf.Best());
    printf("  (best of 3; MB/s counts the old log's size)\n");
    return true;
}

}  // namespace

int main()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    g_ticksPerSecond = (double)frequency.QuadPart;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    g_folder = std::wstring(temp) + L"pelora-storebench-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    if (!CreateDirectoryW(g_folder.c_str(), NULL)) {
        printf("cannot create %ls\n", g_folder.c_str());
        return 1;
    }
    bool ok = BenchDataInitialisation() && BenchSubjectListLoad() && BenchThreadOrder() && BenchBigLog();
    RemoveFolder(g_folder);
    return ok ? 0 : 1;
}
