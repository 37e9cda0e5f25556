// Patrol throughput against our demo news server on loopback: a generated
// spool of ISO-2022-JP articles, one pass over every group into a fresh data
// folder, and the time split between waiting on the network (inside recv and
// send) and our own work (parsing, conversion, writing the log and index).
//
//   bench_PatrolBench.exe [--articles N] [--groups G] [--size BYTES]
//                         [--runs N] [--spool DIR] [--demonews PATH] [--steps] [--keep]
//                         [--mime] [--utf8]
//                         [--port P --group-names A,B,...] [--pipelining 0|1] [--compress 0|1] [--pace]
//                         [--again [--again]]
//
// --spool patrols an existing spool (such as the demo server's sample)
// instead of generating one. --mime makes each run two passes, with the
// setting ConvertMime off and on (in turns, so neither always goes first),
// and compares them; --utf8 generates UTF-8 articles (8bit, quoted-printable
// and base64 in turn) instead of ISO-2022-JP ones. --port patrols a server
// that already runs on 127.0.0.1 (bench/patrol-inn.sh: INN, directly or
// behind a slow line), with the Pipelining and Compress settings given (the
// bytes received are then those on the wire, deflated); --pace there only
// asks HEAD and BODY (one at a time, or all at once with --pipelining 1)
// and reads the replies, storing nothing: the protocol's own pace. --again
// times a second pass into the same folder, which finds nothing new; given
// twice, a third, after a pass that found nothing new either.
//
// The pass is the download worker's RunPatrol over a hidden list view of the
// groups (it needs a display: xvfb-run); --steps runs the same steps from the
// connection, conversions and writer alone, for comparison.
#include <winsock2.h>
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <commctrl.h>
#include <algorithm>
#include <string>
#include <vector>
#include "nntp/CompressLayer.h"
#include "nntp/DownloadJob.h"
#include "nntp/GroupCursor.h"
#include "nntp/NntpConnection.h"
#include "nntp/Patrol.h"
#include "nntp/ProgressState.h"
#include "store/ArticleWriter.h"
#include "store/DataFolder.h"
#include "store/GroupRecord.h"
#include "text/Jis.h"

namespace {

// ---- timing of the socket calls --------------------------------------------

typedef int(WSAAPI* RecvFunction)(SOCKET, char*, int, int);
typedef int(WSAAPI* SendFunction)(SOCKET, const char*, int, int);
RecvFunction g_realRecv;
SendFunction g_realSend;
LONGLONG g_waitTicks;
LONGLONG g_bytesReceived;
LONGLONG g_recvCalls;
int g_longWaits;

LONGLONG Now()
{
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    return value.QuadPart;
}

// User plus kernel time of a process, in seconds.
double CpuSeconds(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    ULARGE_INTEGER k, u;
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    return (double)(k.QuadPart + u.QuadPart) / 1e7;
}

double Seconds(LONGLONG ticks)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (double)ticks / (double)frequency.QuadPart;
}

int WSAAPI TimedRecv(SOCKET s, char* buffer, int length, int flags)
{
    LONGLONG start = Now();
    int got = g_realRecv(s, buffer, length, flags);
    g_waitTicks += Now() - start;
    ++g_recvCalls;
    if (got > 0)
        g_bytesReceived += got;
    // A wait this long is a timer (the server's Nagle against our delayed
    // acknowledgement), not the server's work.
    if (Seconds(Now() - start) > 0.02)
        ++g_longWaits;
    return got;
}

int WSAAPI TimedSend(SOCKET s, const char* buffer, int length, int flags)
{
    LONGLONG start = Now();
    int sent = g_realSend(s, buffer, length, flags);
    g_waitTicks += Now() - start;
    return sent;
}

// Points this program's import slots for `original` at `replacement`; the
// product code calls winsock through them, so it is measured unchanged.
int PatchImports(void* original, void* replacement)
{
    BYTE* base = (BYTE*)GetModuleHandleW(NULL);
    IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0)
        return 0;
    int patched = 0;
    for (IMAGE_IMPORT_DESCRIPTOR* d = (IMAGE_IMPORT_DESCRIPTOR*)(base + directory.VirtualAddress); d->Name; ++d) {
        for (IMAGE_THUNK_DATA* t = (IMAGE_THUNK_DATA*)(base + d->FirstThunk); t->u1.Function; ++t) {
            if ((void*)t->u1.Function != original)
                continue;
            DWORD old;
            VirtualProtect(&t->u1.Function, sizeof t->u1.Function, PAGE_READWRITE, &old);
            t->u1.Function = (ULONG_PTR)replacement;
            VirtualProtect(&t->u1.Function, sizeof t->u1.Function, old, &old);
            ++patched;
        }
    }
    return patched;
}

bool InstallTiming()
{
    HMODULE winsock = GetModuleHandleW(L"ws2_32.dll");
    if (!winsock)
        return false;
    g_realRecv = (RecvFunction)(void*)GetProcAddress(winsock, "recv");
    g_realSend = (SendFunction)(void*)GetProcAddress(winsock, "send");
    return g_realRecv && g_realSend && PatchImports((void*)g_realRecv, (void*)TimedRecv) > 0 &&
           PatchImports((void*)g_realSend, (void*)TimedSend) > 0;
}

// ---- the spool -------------------------------------------------------------

const char* const kBodyLines[] = {
    "\x1b" "$B=d2s$NB.$5$rB,$k$\x3f" "$a$N5-;v$G$9!#%k!<%W%P%C%/$G<hF@$7$^$9!#\x1b" "(B",
    "\x1b" "$BK\x5c" "J8$O\x1b" "(B ISO-2022-JP \x1b" "$B$G!\x22" "0l9T$O$*$h$=O;==%P%$%H$K$J$C$F$$$^$9!#\x1b" "(B",
    "\x1b" "(IJ]686@6E\x1b" "$B$N9T$b$H$-$I$-:.$6$j$^$9!#\x1b" "(B",
    "> \x1b" "$B0zMQ$5$l$\x3f" "9T$G$9!#A0$N5-;v$+$i>/$7$@$10z$$$F$$$^$9!#\x1b" "(B",
};

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    return ok && written == bytes.size();
}

// The body of a UTF-8 article (--utf8): "巡回の速さを測るための記事です。"
// and more, in the transfer encoding given by `kind` (0 8bit, 1
// quoted-printable, 2 base64).
std::string Utf8Body(int kind, int size)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string line =
        "\xe5\xb7\xa1\xe5\x9b\x9e\xe3\x81\xae\xe9\x80\x9f\xe3\x81\x95\xe3\x82\x92\xe6\xb8\xac"
        "\xe3\x82\x8b\xe3\x81\x9f\xe3\x82\x81\xe3\x81\xae\xe8\xa8\x98\xe4\xba\x8b\xe3\x81\xa7"
        "\xe3\x81\x99\xe3\x80\x82 UTF-8 \xe3\x80\x9c\r\n";
    std::string text;
    while ((int)text.size() < size * 2 / 3)
        text += line;
    std::string body;
    if (kind == 0)
        return text;
    if (kind == 1) {
        std::string encoded;
        for (unsigned char c : text) {
            char hex[4];
            if (c == '\r')
                continue;
            if (c == '\n') {
                body += encoded + "\r\n";
                encoded.clear();
                continue;
            }
            if (c < 0x80 && c != '=') {
                encoded += (char)c;
            } else {
                snprintf(hex, sizeof hex, "=%02X", c);
                encoded += hex;
            }
            if (encoded.size() >= 72) {
                body += encoded + "=\r\n";
                encoded.clear();
            }
        }
        return body + encoded;
    }
    std::string encoded;
    for (size_t i = 0; i < text.size(); i += 3) {
        unsigned v = (unsigned char)text[i] << 16;
        if (i + 1 < text.size()) v |= (unsigned char)text[i + 1] << 8;
        if (i + 2 < text.size()) v |= (unsigned char)text[i + 2];
        for (int k = 0; k < 4; ++k)
            encoded += k <= (int)(text.size() - i) ? alphabet[(v >> (18 - 6 * k)) & 63] : '=';
    }
    for (size_t at = 0; at < encoded.size(); at += 76)
        body += encoded.substr(at, 76) + "\r\n";
    return body;
}

bool g_utf8;   // --utf8

// The groups of a given spool (--spool); empty for a generated one.
std::vector<std::string> g_spoolGroups;

std::string GroupName(int g)
{
    if (!g_spoolGroups.empty())
        return g_spoolGroups[g];
    static const char* const names[] = {"japan.comp.handheld", "japan.comp.misc", "fj.rec.travel", "fj.comp.misc"};
    if (g < 4)
        return names[g];
    return "fj.bench.g" + std::to_string(g);
}

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());   // ASCII only
}

// Articles numbered from 1001 in each group, about `size` bytes each.
bool MakeSpool(const std::wstring& spool, int articles, int groups, int size, LONGLONG* spoolBytes)
{
    CreateDirectoryW(spool.c_str(), NULL);
    *spoolBytes = 0;
    for (int g = 0; g < groups; ++g) {
        std::string group = GroupName(g);
        std::wstring folder = spool + Wide(group) + L"\\";
        CreateDirectoryW(folder.c_str(), NULL);
        int count = articles / groups + (g < articles % groups ? 1 : 0);
        for (int i = 0; i < count; ++i) {
            unsigned number = 1001 + i;
            char head[1024];
            snprintf(head, sizeof head,
                     "Path: bench.pelora.example!not-for-mail\r\n"
                     "From: =?ISO-2022-JP?B?GyRCQixEahsoQiAbJEJCQE86GyhC?= <bench%u@example.jp>\r\n"
                     "Newsgroups: %s\r\n"
                     "Subject: =?iso-2022-jp?B?GyRCQi5FWUIsRGokTjUtO3YbKEI=?= %u\r\n"
                     "Date: Sun, 06 Dec 2026 12:%02u:%02u +0900\r\n"
                     "Message-ID: <bench.%d.%u@pelora.example>\r\n"
                     "References: <bench.%d.%u@pelora.example>\r\n"
                     "MIME-Version: 1.0\r\n"
                     "Content-Type: text/plain; charset=ISO-2022-JP\r\n"
                     "X-Newsreader: bench\r\n"
                     "\tcontinued\r\n"
                     "\r\n",
                     number, group.c_str(), number, (number / 60) % 60, number % 60, g, number, g,
                     number > 1001 ? number - 1 : number);
            std::string article(head);
            if (g_utf8) {
                static const char* const encodings[] = {"8bit", "quoted-printable", "base64"};
                size_t type = article.find("Content-Type: ");
                article = article.substr(0, type) + "Content-Type: text/plain; charset=UTF-8\r\n" +
                          "Content-Transfer-Encoding: " + encodings[i % 3] + "\r\n\r\n";
                size_t subject = article.find("Subject: ");
                size_t end = article.find("\r\n", subject);
                article.replace(subject, end - subject,
                                "Subject: =?UTF-8?B?5beh5Zue44Gu6YCf44GV44KS5ris44KL6KiY5LqL?= " +
                                    std::to_string(number));
                article += Utf8Body(i % 3, size);
            }
            for (int line = 0; !g_utf8 && (int)article.size() < size - 80; ++line) {
                if (line % 9 == 5)
                    article += ".\x1b" "$BE@$G;O$^$k9T\x1b" "(B\r\n";
                else
                    article += std::string(kBodyLines[(line + i) % 4]) + "\r\n";
            }
            if (!WriteBytes(folder + std::to_wstring(number), article))
                return false;
            *spoolBytes += (LONGLONG)article.size();
        }
    }
    return true;
}

// Reads the groups and counts the articles of an existing spool.
int ScanSpool(const std::wstring& spool, LONGLONG* spoolBytes)
{
    int articles = 0;
    WIN32_FIND_DATAW found;
    HANDLE groups = FindFirstFileW((spool + L"*").c_str(), &found);
    if (groups == INVALID_HANDLE_VALUE)
        return 0;
    do {
        std::wstring name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name[0] == L'.')
            continue;
        g_spoolGroups.push_back(std::string(name.begin(), name.end()));
        WIN32_FIND_DATAW article;
        HANDLE files = FindFirstFileW((spool + name + L"\\*").c_str(), &article);
        if (files == INVALID_HANDLE_VALUE)
            continue;
        do {
            if (!(article.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && iswdigit(article.cFileName[0])) {
                ++articles;
                *spoolBytes += article.nFileSizeLow;
            }
        } while (FindNextFileW(files, &article));
        FindClose(files);
    } while (FindNextFileW(groups, &found) && g_spoolGroups.size() < 64);
    FindClose(groups);
    return articles;
}

// ---- the server ------------------------------------------------------------

unsigned short FreePort()
{
    SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, (sockaddr*)&address, sizeof address);
    int length = sizeof address;
    getsockname(probe, (sockaddr*)&address, &length);
    closesocket(probe);
    return ntohs(address.sin_port);
}

bool WaitForServer(unsigned short port)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        NntpConnection probe;
        char line[1024];
        if (probe.Connect("127.0.0.1", port) && probe.ReadLine(line, sizeof line, TRUE) && line[0] == '2')
            return true;
        probe.Close();
        Sleep(50);
    }
    return false;
}

std::wstring FromAnsi(const char* text)
{
    wchar_t wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, MAX_PATH) == 0)
        return L"";
    return wide;
}

std::wstring DefaultDemonews()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    std::wstring self(path, length);
    size_t slash = self.find_last_of(L"\\/");
    std::wstring folder = self.substr(0, slash == std::wstring::npos ? 0 : slash);   // build/bench
    slash = folder.find_last_of(L"\\/");
    return folder.substr(0, slash == std::wstring::npos ? 0 : slash) + L"\\tools\\demonews.exe";
}

// The host's load average when the benchmark runs under Wine on Linux, so
// that a slow figure on a busy machine can be told apart.
std::string LoadAverage()
{
    HANDLE file = CreateFileW(L"Z:\\proc\\loadavg", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return "unknown";
    char text[64] = {};
    DWORD got = 0;
    ReadFile(file, text, sizeof text - 1, &got, NULL);
    CloseHandle(file);
    std::string load(text, got);
    size_t end = load.find(' ', load.find(' ', load.find(' ') + 1) + 1);
    return end == std::string::npos ? load : load.substr(0, end);
}

// ---- the pass -----------------------------------------------------------

const char* const kKeptFields[] = {"From:", "Subject:", "Newsgroups:", "Date:", "Message-ID:", "References:"};

bool IsKept(const char* line)
{
    for (const char* field : kKeptFields)
        if (strncmp(line, field, strlen(field)) == 0)
            return true;
    return false;
}

// One article: HEAD (kept fields decoded and converted), BODY (unstuffed,
// converted), appended through the writer. 1 stored, 0 refused, -1 failed.
int FetchArticle(NntpConnection& c, ArticleWriter& writer, DWORD n, char* line, char* scratch)
{
    char command[64];
    writer.Begin(n);
    snprintf(command, sizeof command, "HEAD %lu", (unsigned long)n);
    if (!c.SendLine(command) || !c.ReadLine(line, 1024, FALSE))
        return -1;
    if (line[0] != '2')
        return 0;
    bool kept = false;
    for (;;) {
        if (!c.ReadLine(line, 1024, FALSE))
            return -1;
        if (line[0] == '.')
            break;
        bool continuation = line[0] == ' ' || line[0] == '\t';
        if (!continuation)
            kept = IsKept(line);
        if (!kept)
            continue;
        DecodeEncodedWords(scratch, 1024, line);
        JisToSjis(scratch, line, 1024);
        if (!(continuation ? writer.AddContinuationLine(line) : writer.AddHeaderLine(line)))
            return -1;
    }
    if (!writer.WriteHeader())
        return -1;
    snprintf(command, sizeof command, "BODY %lu", (unsigned long)n);
    if (!c.SendLine(command) || !c.ReadLine(line, 1024, FALSE))
        return -1;
    if (line[0] != '2')
        return 0;
    for (;;) {
        if (!c.ReadLine(line, 1024, FALSE))
            return -1;
        if (strcmp(line, ".\r\n") == 0)
            break;
        JisToSjis(line[0] == '.' ? line + 1 : line, scratch, 1024);
        if (!writer.WriteBodyLine(scratch))
            return -1;
    }
    return writer.Finish() ? 1 : -1;
}

// The pass over `groups` groups with the parts of the patrol that exist
// as library code: the connection, the conversions and the store's writer.
long RunPass(unsigned short port, const std::wstring& data, int groups, DWORD limit)
{
    NntpConnection c;
    char line[1024];
    char scratch[1024];
    long stored = 0;
    if (!c.Connect("127.0.0.1", port) || !c.ReadLine(line, sizeof line, FALSE) || line[0] != '2')
        return -1;
    for (int g = 0; g < groups; ++g) {
        std::string name = GroupName(g);
        GroupRecord group;
        group.Reset();
        if (!group.SetNames(data.c_str(), Wide(name).c_str()) || !group.ReadHeader())
            return -1;
        unsigned long code = 0, count = 0, first = 0, last = 0;
        if (!c.SendLine(("GROUP " + name).c_str()) || !c.ReadLine(line, sizeof line, FALSE) ||
            sscanf(line, "%lu %lu %lu %lu", &code, &count, &first, &last) != 4 || line[0] != '2')
            return -1;
        if (!group.OpenLog() || !group.OpenIndex())
            return -1;
        ArticleWriter writer;
        writer.Construct(&group);
        DWORD fetched = 0;
        DWORD n = first > group.LastArticle() + 1 ? first : group.LastArticle() + 1;
        for (; n <= last && fetched < limit; ++n) {
            int result = FetchArticle(c, writer, n, line, scratch);
            if (result < 0)
                return -1;
            fetched += result;
        }
        writer.Destroy();
        group.CloseIndex();
        group.CloseLog();
        group.SetLastArticle(n - 1);
        group.SetServerLast(last);
        if (!group.WriteHeader())
            return -1;
        group.Release();
        stored += fetched;
    }
    c.SendLine("QUIT");
    c.Close();
    return stored;
}

// The download worker's own pass, its group cursor on a hidden list view.
// -1 with `failure` when the pass ended fatally, -2 without a window.
// One command at a time, the replies read and dropped: the pace of the
// protocol and the server alone. The number of articles, -1 on failure.
DWORD g_pipelining;
DWORD g_compress;
// --security, --fingerprint, --user, --password: the secure line's settings.
DWORD g_security;
std::wstring g_fingerprint;
std::string g_user, g_password;
int g_again;   // untimed passes before the timed one

// With the Pipelining setting every command of a group goes out before its
// replies are read (in sends of at most one command line's size); with
// Compress the replies are inflated but still only read.
long RunPace(unsigned short port, int groups)
{
    NntpConnection c;
    CompressLayer layer;
    char line[1024];
    long articles = 0;
    if (!c.Connect("127.0.0.1", port) || !c.ReadLine(line, sizeof line, FALSE) || line[0] != '2')
        return -1;
    if (g_compress && StartCompression(&c, &layer, g_pipelining, line, sizeof line) != kCompressionReady)
        return -1;
    for (int g = 0; g < groups; ++g) {
        unsigned long code = 0, count = 0, first = 0, last = 0;
        if (!c.SendLine(("GROUP " + GroupName(g)).c_str()) || !c.ReadLine(line, sizeof line, FALSE) ||
            sscanf(line, "%lu %lu %lu %lu", &code, &count, &first, &last) != 4)
            return -1;
        std::string batch;
        for (unsigned long n = first; g_pipelining && count && n <= last; ++n) {
            char text[64];
            snprintf(text, sizeof text, "HEAD %lu\r\nBODY %lu\r\n", n, n);
            if (batch.size() + strlen(text) > kCommandLineSize) {
                if (!c.SendLines(batch.data(), (DWORD)batch.size()))
                    return -1;
                batch.clear();
            }
            batch += text;
        }
        if (!batch.empty() && !c.SendLines(batch.data(), (DWORD)batch.size()))
            return -1;
        for (unsigned long n = first; count && n <= last; ++n) {
            bool whole = true;
            for (const char* command : {"HEAD %lu", "BODY %lu"}) {
                char text[64];
                snprintf(text, sizeof text, command, n);
                if ((!g_pipelining && !c.SendLine(text)) || !c.ReadLine(line, sizeof line, FALSE))
                    return -1;
                if (line[0] != '2') {
                    whole = false;
                    if (g_pipelining)
                        continue;   // the BODY went out anyway
                    break;
                }
                do {
                    if (!c.ReadLine(line, sizeof line, FALSE))
                        return -1;
                } while (strcmp(line, ".\r\n") != 0);
            }
            articles += whole;
        }
    }
    c.SendLine("QUIT");
    c.Close();
    return articles;
}

long RunWorkerPass(unsigned short port, const std::wstring& data, int groups, DWORD limit, DWORD convertMime,
                   std::wstring* failure)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_POPUP | LVS_REPORT, 0, 0, 200, 100, NULL, NULL,
                                GetModuleHandleW(NULL), NULL);
    if (!list)
        return -2;
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 150;
    column.pszText = (wchar_t*)L"group";
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, (LPARAM)&column);
    std::vector<std::wstring> names(groups);
    for (int g = 0; g < groups; ++g) {
        names[g] = Wide(GroupName(g));
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = g;
        item.pszText = &names[g][0];
        SendMessageW(list, LVM_INSERTITEMW, 0, (LPARAM)&item);
    }
    GroupCursor cursor;
    cursor.Init(list);
    DownloadResult result = {};
    DownloadJob job = {};
    job.server = L"127.0.0.1";
    job.port = port;
    job.dataPath = data.c_str();
    job.cursor = &cursor;
    job.result = &result;
    job.limit = limit;
    job.convertMime = convertMime;
    job.pipelining = g_pipelining;
    job.compress = g_compress;
    job.security = g_security;
    job.tlsFingerprint = g_fingerprint.c_str();
    job.userId = g_user.empty() ? NULL : g_user.c_str();
    job.password = g_password.empty() ? NULL : g_password.c_str();
    InitProgressState(&job.progress);
    job.references = 1;
    RunPatrol(&job);
    DestroyWindow(list);
    if (result.status == StatusFatal) {
        *failure = std::wstring(result.caption) + L": " + result.text;
        return -1;
    }
    return 0;
}

long CountStored(const std::wstring& data, int groups)
{
    long total = 0;
    for (int g = 0; g < groups; ++g) {
        GroupRecord group;
        group.Reset();
        if (group.SetNames(data.c_str(), Wide(GroupName(g)).c_str()) && group.ReadHeader())
            total += (long)group.RecordCount();
        group.Release();
    }
    return total;
}

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + name + L"\\");
            else
                DeleteFileW((folder + name).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

// --port: the passes against a server that runs already. The last line,
// "result: SECONDS ARTICLES BYTES", is the median run for a script to read.
int RunAgainst(unsigned short port, const std::wstring& data, int runs, bool pace)
{
    int groups = (int)g_spoolGroups.size();
    std::string groupList;
    for (int g = 0; g < groups; ++g)
        groupList += GroupName(g) + "\r\n";
    InstallTiming();
    std::vector<std::pair<double, long>> results;
    LONGLONG bytes = 0;
    for (int run = 0; run < runs; ++run) {
        std::wstring folder = data + L"run" + std::to_wstring(run) + L"\\";
        CreateDirectoryW(folder.c_str(), NULL);
        if (!WriteBytes(folder + L"group.dat", groupList) || !InitializeDataFolder(folder.c_str())) {
            fprintf(stderr, "data folder initialisation failed (%lu)\n", GetLastError());
            return 1;
        }
        g_bytesReceived = 0;
        g_waitTicks = 0;
        g_recvCalls = 0;
        g_longWaits = 0;
        std::wstring failure;
        for (int pass = 0; pass < g_again; ++pass) {
            if (RunWorkerPass(port, folder, groups, 100000, 0, &failure) < 0) {
                fprintf(stderr, "an untimed pass failed (%lu) %ls\n", GetLastError(), failure.c_str());
                return 1;
            }
        }
        g_bytesReceived = 0;
        g_waitTicks = 0;
        g_recvCalls = 0;
        g_longWaits = 0;
        LONGLONG begin = Now();
        long fetched = pace ? RunPace(port, groups) : RunWorkerPass(port, folder, groups, 100000, 0, &failure);
        double elapsed = Seconds(Now() - begin);
        if (fetched < 0) {
            fprintf(stderr, "the pass failed (%lu) %ls\n", GetLastError(), failure.c_str());
            return 1;
        }
        if (!pace)
            fetched = CountStored(folder, groups);
        bytes = g_bytesReceived;
        printf("run %d: %ld articles in %.3f s, %.0f articles/s, %lld bytes received, "
               "%.3f s in %lld receives, %d over 20 ms\n",
               run + 1, fetched, elapsed, fetched / elapsed, bytes, Seconds(g_waitTicks), g_recvCalls, g_longWaits);
        results.push_back({elapsed, fetched});
    }
    std::sort(results.begin(), results.end());
    printf("result: %.3f %ld %lld\n", results[results.size() / 2].first, results[results.size() / 2].second,
           bytes);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    int articles = 2000, groups = 4, size = 2048, runs = 3;
    bool keep = false, steps = false, mime = false, pace = false;
    unsigned short serverPort = 0;
    std::wstring givenSpool;
    std::wstring demonews = DefaultDemonews();
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        bool hasValue = i + 1 < argc;
        if (option == "--articles" && hasValue)
            articles = atoi(argv[++i]);
        else if (option == "--groups" && hasValue)
            groups = atoi(argv[++i]);
        else if (option == "--size" && hasValue)
            size = atoi(argv[++i]);
        else if (option == "--demonews" && hasValue)
            demonews = FromAnsi(argv[++i]);
        else if (option == "--spool" && hasValue)
            givenSpool = FromAnsi(argv[++i]);
        else if (option == "--runs" && hasValue)
            runs = atoi(argv[++i]);
        else if (option == "--steps")
            steps = true;
        else if (option == "--pace")
            pace = true;
        else if (option == "--port" && hasValue)
            serverPort = (unsigned short)atoi(argv[++i]);
        else if (option == "--pipelining" && hasValue)
            g_pipelining = (DWORD)atoi(argv[++i]);
        else if (option == "--compress" && hasValue)
            g_compress = (DWORD)atoi(argv[++i]);
        else if (option == "--security" && hasValue)
            g_security = (DWORD)atoi(argv[++i]);
        else if (option == "--fingerprint" && hasValue)
            g_fingerprint = FromAnsi(argv[++i]);
        else if (option == "--user" && hasValue)
            g_user = argv[++i];
        else if (option == "--password" && hasValue)
            g_password = argv[++i];
        else if (option == "--group-names" && hasValue) {
            std::string names = argv[++i];
            for (size_t at = 0; at <= names.size();) {
                size_t comma = names.find(',', at);
                if (comma == std::string::npos)
                    comma = names.size();
                if (comma > at)
                    g_spoolGroups.push_back(names.substr(at, comma - at));
                at = comma + 1;
            }
        }
        else if (option == "--keep")
            keep = true;
        else if (option == "--again")
            ++g_again;
        else if (option == "--mime")
            mime = true;
        else if (option == "--utf8")
            g_utf8 = true;
        else {
            fprintf(stderr, "usage: bench_PatrolBench [--articles N] [--groups G] [--size BYTES] "
                            "[--runs N] [--spool DIR] [--demonews PATH] [--steps] [--keep] [--mime] [--utf8]\n"
                            "       [--port P --group-names A,B,...] [--pipelining 0|1] [--compress 0|1] "
                            "[--pace] [--again [--again]]\n"
                            "       [--security 0|1|2 --fingerprint SHA256 --user U --password P]\n");
            return 2;
        }
    }
    if (articles < 1 || groups < 1 || groups > 64 || size < 256 || runs < 1)
        return 2;

    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring root = std::wstring(temp) + L"pelora-patrolbench-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    std::wstring spool = root + L"spool\\";
    std::wstring data = root + L"data\\";
    CreateDirectoryW(root.c_str(), NULL);
    CreateDirectoryW(data.c_str(), NULL);

    if (serverPort) {
        if (g_spoolGroups.empty()) {
            fprintf(stderr, "--port needs --group-names\n");
            return 2;
        }
        int status = RunAgainst(serverPort, data, runs, pace);
        if (!keep)
            RemoveTree(root);
        return status;
    }

    LONGLONG spoolBytes = 0;
    LONGLONG start = Now();
    if (!givenSpool.empty()) {
        spool = givenSpool + L"\\";
        articles = ScanSpool(spool, &spoolBytes);
        groups = (int)g_spoolGroups.size();
        if (articles == 0) {
            fprintf(stderr, "no articles in %ls\n", givenSpool.c_str());
            return 1;
        }
        printf("spool: %ls, %d articles in %d groups\n", givenSpool.c_str(), articles, groups);
    } else if (!MakeSpool(spool, articles, groups, size, &spoolBytes)) {
        fprintf(stderr, "cannot write the spool in %ls\n", spool.c_str());
        return 1;
    } else {
        printf("spool: %d articles in %d groups, %.1f KB each on average, written in %.2f s\n", articles,
               groups, spoolBytes / 1024.0 / articles, Seconds(Now() - start));
    }

    std::string groupList;
    for (int g = 0; g < groups; ++g)
        groupList += GroupName(g) + "\r\n";

    unsigned short port = FreePort();
    std::wstring commandLine = L"\"" + demonews + L"\" -p " + std::to_wstring(port) + L" -s \"" +
                               spool.substr(0, spool.size() - 1) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION server = {};
    if (!CreateProcessW(NULL, &commandLine[0], NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL, NULL, &startup, &server)) {
        fprintf(stderr, "cannot start %ls (%lu)\n", demonews.c_str(), GetLastError());
        return 1;
    }
    if (!WaitForServer(port)) {
        fprintf(stderr, "the demo server did not answer on 127.0.0.1:%u\n", port);
        TerminateProcess(server.hProcess, 1);
        return 1;
    }
    printf("server: demonews.exe (our demo news server, one reply per send, TCP_NODELAY) on 127.0.0.1:%u\n", port);
    if (steps)
        printf("pass: the patrol's steps from library code (connection, conversions, article writer)\n");
    else
        printf("pass: the download worker's RunPatrol, no progress dialog, limit 100000\n");

    if (mime && steps) {
        fprintf(stderr, "--mime compares the worker's passes; it does not go with --steps\n");
        return 2;
    }
    bool timed = InstallTiming();
    std::vector<double> rates, mimeRates[2], mimeOwnWork[2];
    bool whole = true;
    int passes = mime ? 2 : 1;
    for (int pass = 0; pass < runs * passes && whole; ++pass) {
        int run = pass / passes;
        DWORD convertMime = mime ? (DWORD)((pass + run) % 2) : 0;
        // Each pass starts from an empty data folder, so it fetches everything.
        std::wstring folder = data + L"run" + std::to_wstring(pass) + L"\\";
        CreateDirectoryW(folder.c_str(), NULL);
        if (!WriteBytes(folder + L"group.dat", groupList) || !InitializeDataFolder(folder.c_str())) {
            fprintf(stderr, "data folder initialisation failed (%lu)\n", GetLastError());
            whole = false;
            break;
        }
        g_waitTicks = 0;
        g_bytesReceived = 0;
        g_recvCalls = 0;
        double ourCpu = CpuSeconds(GetCurrentProcess());
        LONGLONG begin = Now();
        std::wstring failure;
        long fetched = steps ? RunPass(port, folder, groups, 100000)
                             : RunWorkerPass(port, folder, groups, 100000, convertMime, &failure);
        double elapsed = Seconds(Now() - begin);
        double waited = Seconds(g_waitTicks);
        DWORD error = GetLastError();
        ourCpu = CpuSeconds(GetCurrentProcess()) - ourCpu;
        if (fetched == -2) {
            fprintf(stderr, "no window for the group cursor: run under a display (xvfb-run), or with --steps\n");
            whole = false;
            break;
        }
        if (fetched < 0) {
            fprintf(stderr, "the pass failed (%lu) %ls\n", error, failure.c_str());
            whole = false;
            break;
        }
        long stored = CountStored(folder, groups);
        if (!steps)
            fetched = stored;   // a fresh data folder: what the indexes hold came in this pass
        whole = stored == fetched && fetched == articles;
        rates.push_back(fetched / elapsed);
        mimeRates[convertMime].push_back(fetched / elapsed);
        mimeOwnWork[convertMime].push_back(elapsed - waited);
        if (mime)
            printf("ConvertMime %lu, ", (unsigned long)convertMime);
        printf("run %d: %ld articles (%ld indexed) in %.3f s: %.0f articles/s, %.2f MB/s received (%.2f MB)\n",
               run + 1, fetched, stored, elapsed, fetched / elapsed, g_bytesReceived / 1e6 / elapsed,
               g_bytesReceived / 1e6);
        if (timed)
            printf("       network waits %.3f s (%.0f%%, %lld recv calls), own work %.3f s (%.0f%%), cpu %.3f s\n",
                   waited, 100.0 * waited / elapsed, g_recvCalls, elapsed - waited,
                   100.0 * (elapsed - waited) / elapsed, ourCpu);
        else
            printf("       the split was not measured (winsock imports not found)\n");
    }

    TerminateProcess(server.hProcess, 0);
    WaitForSingleObject(server.hProcess, 5000);
    CloseHandle(server.hProcess);
    CloseHandle(server.hThread);

    if (!rates.empty()) {
        std::vector<double> sorted = rates;
        std::sort(sorted.begin(), sorted.end());
        double median = sorted[sorted.size() / 2];
        printf("median %.0f articles/s (best %.0f, worst %.0f); machine load %s\n", median, sorted.back(),
               sorted.front(), LoadAverage().c_str());
        printf("goal 1000 articles/s: %s\n", median >= 1000.0 ? "met" : "NOT met");
    }
    if (mime && !mimeRates[0].empty() && !mimeRates[1].empty()) {
        double medians[2];
        for (int on = 0; on < 2; ++on) {
            std::sort(mimeRates[on].begin(), mimeRates[on].end());
            medians[on] = mimeRates[on][mimeRates[on].size() / 2];
            std::sort(mimeOwnWork[on].begin(), mimeOwnWork[on].end());
            printf("ConvertMime %d: median %.0f articles/s over %zu passes, own work (outside recv and "
                   "send) median %.3f s\n",
                   on, medians[on], mimeRates[on].size(), mimeOwnWork[on][mimeOwnWork[on].size() / 2]);
        }
        printf("ConvertMime 1 / 0: %.2f (goal at least 0.90: %s)\n", medians[1] / medians[0],
               medians[1] >= 0.9 * medians[0] ? "met" : "NOT met");
    }
    if (!whole)
        printf("not every article arrived whole in the indexes\n");
    if (keep)
        printf("kept: %ls\n", root.c_str());
    else
        RemoveTree(root);
    return whole ? 0 : 1;
}
