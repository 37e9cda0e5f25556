// demonews: a small news server over a spool folder, for trying the reader
// and for benchmarks on loopback.
//
//   demonews.exe [-p port] [-s spool] [-a address] [-u user -w password] [-v]
//
// The spool holds one folder per group, named after the group, and in it one
// file per article named by its article number (raw bytes, CR LF or LF line
// ends). The folder is scanned again at every GROUP and LIST, and articles are
// read at every HEAD and BODY, so a file copied in while the server runs shows
// up at the client's next patrol. CAPABILITIES offers COMPRESS DEFLATE, after
// which both directions are raw deflate, each reply flushed by itself. POST
// adds the article to each of its groups the spool has, as the next number
// (with a Path and a Date of its own); one whose Message-ID a group already
// has is answered "441 435 Duplicate". STAT <message-id> tells whether any
// group has it.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>
#include <zlib.h>
#include <string>

namespace {

const int kCommandCapacity = 512;       // longest command line taken
const int kPostLineCapacity = 1000;     // longest article line taken after POST
const int kGroupNameCapacity = 1024;
const DWORD kArticleCapacity = 4u << 20; // larger spool files are refused

struct Options {
    wchar_t spool[MAX_PATH];
    char address[64];
    unsigned short port;
    char user[128];
    char password[128];
    bool authRequired;
    bool verbose;
};

Options g_options;

struct GroupRange {
    DWORD count;
    DWORD low;
    DWORD high;
};

struct Session {
    SOCKET socket;
    bool authorised;
    bool userGiven;
    char userName[128];
    char group[kGroupNameCapacity];  // empty until a GROUP succeeded
    DWORD current;
    // The article last read, as a reader asks for HEAD and then BODY of the
    // same number; dropped at every GROUP.
    bool cached;
    DWORD cachedNumber;
    std::string cachedArticle;
    // The command line being received, or a line of a posted article.
    char line[kPostLineCapacity + 1];
    int length;
    bool overlong;
    // After a 340: the article's lines, up to the "." that ends it.
    bool posting;
    bool postTooLong;
    std::string posted;
    // After COMPRESS DEFLATE: what goes out is deflated, what comes in
    // inflated.
    bool compressing;
    z_stream deflater;
    z_stream inflater;
};

bool SendAll(SOCKET s, const char* data, size_t length)
{
    while (length > 0) {
        int chunk = length > 0x40000000 ? 0x40000000 : (int)length;
        int sent = send(s, data, chunk, 0);
        if (sent == SOCKET_ERROR || sent == 0)
            return false;
        data += sent;
        length -= (size_t)sent;
    }
    return true;
}

// One whole reply; compressed, it is flushed as it ends, so the client can
// read it without waiting for the next.
bool SendReply(Session& session, const char* data, size_t length)
{
    if (!session.compressing)
        return SendAll(session.socket, data, length);
    z_stream& z = session.deflater;
    z.next_in = (Bytef*)data;
    z.avail_in = (uInt)length;
    char out[16384];
    do {
        z.next_out = (Bytef*)out;
        z.avail_out = sizeof out;
        int status = deflate(&z, Z_PARTIAL_FLUSH);
        if ((status != Z_OK && status != Z_BUF_ERROR) || !SendAll(session.socket, out, sizeof out - z.avail_out))
            return false;
    } while (z.avail_out == 0 || z.avail_in > 0);
    return true;
}

bool Reply(Session& session, const char* line)
{
    std::string text(line);
    text += "\r\n";
    if (g_options.verbose)
        printf("> %s\n", line);
    return SendReply(session, text.data(), text.size());
}

// A group name becomes a folder name: keep it to printable bytes that cannot
// leave the spool.
bool IsSafeGroupName(const char* name)
{
    size_t length = strlen(name);
    if (length == 0 || length >= kGroupNameCapacity || name[0] == '.')
        return false;
    if (strstr(name, "..") != nullptr)
        return false;
    for (const unsigned char* p = (const unsigned char*)name; *p != 0; ++p) {
        if (*p <= 0x20 || *p == 0x7F || strchr("/\\:*?\"<>|", *p) != nullptr)
            return false;
    }
    return true;
}

bool ParseArticleNumber(const wchar_t* text, DWORD* number)
{
    unsigned long long value = 0;
    if (*text == 0)
        return false;
    for (; *text != 0; ++text) {
        if (*text < L'0' || *text > L'9')
            return false;
        value = value * 10 + (unsigned)(*text - L'0');
        if (value > 0xFFFFFFFFull)
            return false;
    }
    *number = (DWORD)value;
    return true;
}

bool GroupFolder(const char* group, wchar_t* folder, size_t capacity)
{
    wchar_t wide[kGroupNameCapacity];
    if (MultiByteToWideChar(CP_ACP, 0, group, -1, wide, kGroupNameCapacity) == 0)
        return false;
    int written = _snwprintf(folder, capacity, L"%ls\\%ls", g_options.spool, wide);
    return written > 0 && (size_t)written < capacity;
}

// Counts the numbered files of a group folder; false when there is no folder.
bool ScanGroup(const char* group, GroupRange* range)
{
    wchar_t folder[MAX_PATH * 2];
    wchar_t pattern[MAX_PATH * 2 + 4];
    if (!GroupFolder(group, folder, MAX_PATH * 2))
        return false;
    DWORD attributes = GetFileAttributesW(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    _snwprintf(pattern, MAX_PATH * 2 + 4, L"%ls\\*", folder);
    pattern[MAX_PATH * 2 + 3] = 0;
    range->count = 0;
    range->low = 0;
    range->high = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return true;
    do {
        DWORD number;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !ParseArticleNumber(found.cFileName, &number))
            continue;
        if (range->count == 0 || number < range->low)
            range->low = number;
        if (range->count == 0 || number > range->high)
            range->high = number;
        ++range->count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

// Reads a whole article file; false when it is missing or too large.
bool ReadArticle(const char* group, DWORD number, std::string* bytes)
{
    wchar_t folder[MAX_PATH * 2];
    wchar_t path[MAX_PATH * 2 + 16];
    if (!GroupFolder(group, folder, MAX_PATH * 2))
        return false;
    _snwprintf(path, MAX_PATH * 2 + 16, L"%ls\\%lu", folder, (unsigned long)number);
    path[MAX_PATH * 2 + 15] = 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = GetFileSize(file, nullptr);
    bool ok = size != INVALID_FILE_SIZE && size <= kArticleCapacity;
    if (ok) {
        bytes->resize(size);
        DWORD got = 0;
        ok = size == 0 || (ReadFile(file, &(*bytes)[0], size, &got, nullptr) && got == size);
    }
    CloseHandle(file);
    return ok;
}

// Splits the article into lines (LF or CR LF), and appends the head or the
// body, each line with CR LF, body lines starting with '.' doubled.
void AppendPart(const std::string& article, bool head, std::string* out)
{
    size_t position = 0;
    bool inBody = false;
    while (position < article.size()) {
        size_t end = article.find('\n', position);
        size_t next = end == std::string::npos ? article.size() : end + 1;
        size_t length = (end == std::string::npos ? article.size() : end) - position;
        if (length > 0 && article[position + length - 1] == '\r')
            --length;
        if (!inBody && length == 0) {
            inBody = true;
            if (head)
                return;
        } else if (inBody == !head) {
            if (inBody && length > 0 && article[position] == '.')
                *out += '.';
            out->append(article, position, length);
            *out += "\r\n";
        }
        position = next;
    }
}

// The value of field `name` (with its colon) in an article's header.
std::string HeaderField(const std::string& article, const char* name)
{
    size_t nameLength = strlen(name);
    for (size_t position = 0; position < article.size();) {
        size_t end = article.find('\n', position);
        if (end == std::string::npos)
            end = article.size();
        std::string line = article.substr(position, end - position);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            break;
        if (_strnicmp(line.c_str(), name, nameLength) == 0) {
            size_t start = line.find_first_not_of(" \t", nameLength);
            return start == std::string::npos ? "" : line.substr(start);
        }
        position = end + 1;
    }
    return "";
}

std::string MessageId(const std::string& article)
{
    std::string field = HeaderField(article, "Message-ID:");
    size_t start = field.find('<');
    size_t stop = field.find('>', start == std::string::npos ? 0 : start);
    if (start == std::string::npos || stop == std::string::npos)
        return "<0>";
    return field.substr(start, stop - start + 1);
}

// One wildmat pattern ("*", "?" and plain characters) against a name.
bool Matches(const char* pattern, size_t length, const char* name)
{
    if (length == 0)
        return *name == 0;
    if (*pattern == '*')
        return Matches(pattern + 1, length - 1, name) || (*name && Matches(pattern, length, name + 1));
    if (*name == 0 || (*pattern != '?' && *pattern != *name))
        return false;
    return Matches(pattern + 1, length - 1, name + 1);
}

// A wildmat list ("a.*,!a.b"): the last pattern that matches decides, a
// negated one refusing; none given matches every name.
bool MatchesList(const char* list, const char* name)
{
    if (*list == 0)
        return true;
    bool matched = false;
    for (const char* start = list;;) {
        const char* end = strchr(start, ',');
        size_t length = end ? (size_t)(end - start) : strlen(start);
        bool negated = length > 0 && *start == '!';
        if (Matches(start + negated, length - negated, name))
            matched = !negated;
        if (!end)
            return matched;
        start = end + 1;
    }
}

bool CommandList(Session& session, const char* patterns)
{
    std::string out("215 list of newsgroups follows\r\n");
    wchar_t pattern[MAX_PATH + 4];
    _snwprintf(pattern, MAX_PATH + 4, L"%ls\\*", g_options.spool);
    pattern[MAX_PATH + 3] = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            char name[kGroupNameCapacity];
            GroupRange range;
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || found.cFileName[0] == L'.')
                continue;
            if (WideCharToMultiByte(CP_ACP, 0, found.cFileName, -1, name, sizeof name, nullptr, nullptr) == 0)
                continue;
            if (!IsSafeGroupName(name) || !MatchesList(patterns, name) || !ScanGroup(name, &range))
                continue;
            char line[kGroupNameCapacity + 64];
            DWORD high = range.count ? range.high : 0;
            DWORD low = range.count ? range.low : 1;
            _snprintf(line, sizeof line, "%s %010lu %010lu y\r\n", name, (unsigned long)high, (unsigned long)low);
            line[sizeof line - 1] = 0;
            out += line;
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    out += ".\r\n";
    if (g_options.verbose)
        printf("> 215 (%u bytes)\n", (unsigned)out.size());
    return SendReply(session, out.data(), out.size());
}

bool CommandGroup(Session& session, const char* argument)
{
    GroupRange range;
    if (!IsSafeGroupName(argument) || !ScanGroup(argument, &range))
        return Reply(session, "411 no such group");
    strcpy(session.group, argument);
    session.cached = false;
    session.current = range.count ? range.low : 0;
    char line[kGroupNameCapacity + 64];
    if (range.count == 0)
        _snprintf(line, sizeof line, "211 0 1 0 %s", argument);
    else
        _snprintf(line, sizeof line, "211 %lu %lu %lu %s", (unsigned long)range.count,
                  (unsigned long)range.low, (unsigned long)range.high, argument);
    line[sizeof line - 1] = 0;
    return Reply(session, line);
}

bool CommandArticlePart(Session& session, const char* argument, bool head)
{
    if (session.group[0] == 0)
        return Reply(session, "412 no newsgroup selected");
    DWORD number = session.current;
    if (argument[0] != 0) {
        wchar_t wide[32];
        if (strlen(argument) >= 16 || MultiByteToWideChar(CP_ACP, 0, argument, -1, wide, 32) == 0 ||
            !ParseArticleNumber(wide, &number))
            return Reply(session, "501 bad article number");
    } else if (number == 0) {
        return Reply(session, "420 no current article");
    }
    if (!session.cached || session.cachedNumber != number) {
        session.cached = false;
        if (!ReadArticle(session.group, number, &session.cachedArticle))
            return Reply(session, "423 no such article number in this group");
        session.cached = true;
        session.cachedNumber = number;
    }
    const std::string& article = session.cachedArticle;
    session.current = number;
    char status[128];
    _snprintf(status, sizeof status, "%d %lu %s %s\r\n", head ? 221 : 222, (unsigned long)number,
              MessageId(article).c_str(), head ? "head" : "body");
    status[sizeof status - 1] = 0;
    std::string out(status);
    out.reserve(article.size() + article.size() / 16 + 160);
    AppendPart(article, head, &out);
    out += ".\r\n";
    if (g_options.verbose)
        printf("> %.3s %lu (%u bytes)\n", status, (unsigned long)number, (unsigned)out.size());
    return SendReply(session, out.data(), out.size());
}

bool CommandAuthinfo(Session& session, const char* argument)
{
    const char* value = strchr(argument, ' ');
    value = value ? value + 1 : "";
    if (_strnicmp(argument, "USER ", 5) == 0 || _stricmp(argument, "USER") == 0) {
        _snprintf(session.userName, sizeof session.userName, "%s", value);
        session.userName[sizeof session.userName - 1] = 0;
        session.userGiven = true;
        return Reply(session, "381 password required");
    }
    if (_strnicmp(argument, "PASS ", 5) == 0 || _stricmp(argument, "PASS") == 0) {
        if (!session.userGiven)
            return Reply(session, "482 authentication commands issued out of sequence");
        session.userGiven = false;
        if (!g_options.authRequired ||
            (strcmp(session.userName, g_options.user) == 0 && strcmp(value, g_options.password) == 0)) {
            session.authorised = true;
            return Reply(session, "281 authentication accepted");
        }
        return Reply(session, "481 authentication failed");
    }
    return Reply(session, "501 unknown AUTHINFO variant");
}

bool CommandCapabilities(Session& session)
{
    std::string out("101 Capability list:\r\nVERSION 2\r\nREADER\r\nLIST ACTIVE\r\n");
    if (!session.compressing)
        out += "COMPRESS DEFLATE\r\n";
    if (g_options.authRequired && !session.authorised)
        out += "AUTHINFO USER\r\n";
    out += ".\r\n";
    return SendReply(session, out.data(), out.size());
}

bool CommandCompress(Session& session, const char* argument)
{
    if (_stricmp(argument, "DEFLATE") != 0)
        return Reply(session, "503 only DEFLATE is supported");
    if (session.compressing)
        return Reply(session, "502 compression already active");
    z_stream& out = session.deflater;
    z_stream& in = session.inflater;
    if (deflateInit2(&out, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return Reply(session, "403 cannot compress now");
    if (inflateInit2(&in, -15) != Z_OK) {
        deflateEnd(&out);
        return Reply(session, "403 cannot compress now");
    }
    bool open = Reply(session, "206 compression active");
    session.compressing = true;
    return open;
}

// Whether the article `number` of `group` carries `id`.
bool GroupHas(const char* group, const std::string& id)
{
    GroupRange range;
    if (!ScanGroup(group, &range))
        return false;
    std::string article;
    for (DWORD number = range.low; range.count && number <= range.high; ++number)
        if (ReadArticle(group, number, &article) && MessageId(article) == id)
            return true;
    return false;
}

bool FindMessageId(const char* id)
{
    wchar_t pattern[MAX_PATH + 4];
    _snwprintf(pattern, MAX_PATH + 4, L"%ls\\*", g_options.spool);
    pattern[MAX_PATH + 3] = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    bool has = false;
    if (search == INVALID_HANDLE_VALUE)
        return false;
    do {
        char group[kGroupNameCapacity];
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && found.cFileName[0] != L'.' &&
            WideCharToMultiByte(CP_ACP, 0, found.cFileName, -1, group, sizeof group, nullptr, nullptr) > 0)
            has = GroupHas(group, id);
    } while (!has && FindNextFileW(search, &found));
    FindClose(search);
    return has;
}

// Writes the article as the next number of `group`, through a temporary
// file so that a reader never sees half of it.
bool AddToGroup(const char* group, const std::string& article)
{
    GroupRange range;
    wchar_t folder[MAX_PATH * 2], path[MAX_PATH * 2 + 16], temp[MAX_PATH * 2 + 16];
    if (!ScanGroup(group, &range) || !GroupFolder(group, folder, MAX_PATH * 2))
        return false;
    _snwprintf(path, MAX_PATH * 2 + 16, L"%ls\\%lu", folder, (unsigned long)(range.count ? range.high + 1 : 1));
    _snwprintf(temp, MAX_PATH * 2 + 16, L"%ls\\posting.tmp", folder);
    HANDLE file = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, article.data(), (DWORD)article.size(), &written, nullptr) && written == article.size();
    CloseHandle(file);
    return ok && MoveFileW(temp, path);
}

// Files a posted article in each of its groups the spool has.
const char* Post(const std::string& article)
{
    std::string id = HeaderField(article, "Message-ID:");
    std::string groups = HeaderField(article, "Newsgroups:");
    if (id.empty() || id[0] != '<' || groups.empty())
        return "441 article lacks Message-ID or Newsgroups";
    SYSTEMTIME now;
    GetSystemTime(&now);
    const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char date[64];
    _snprintf(date, sizeof date, "Date: %s, %d %s %d %02d:%02d:%02d +0000\r\n", days[now.wDayOfWeek], now.wDay,
              months[now.wMonth - 1], now.wYear, now.wHour, now.wMinute, now.wSecond);
    date[sizeof date - 1] = 0;
    std::string filed = "Path: demonews!not-for-mail\r\n" +
                        (HeaderField(article, "Date:").empty() ? std::string(date) : std::string()) + article;
    int carried = 0, added = 0;
    for (size_t start = 0; start <= groups.size();) {
        size_t end = groups.find(',', start);
        if (end == std::string::npos)
            end = groups.size();
        std::string group = groups.substr(start, end - start);
        group.erase(0, group.find_first_not_of(" \t"));
        group.erase(group.find_last_not_of(" \t") + 1);
        GroupRange range;
        if (IsSafeGroupName(group.c_str()) && ScanGroup(group.c_str(), &range)) {
            ++carried;
            if (GroupHas(group.c_str(), id))
                return "441 435 Duplicate";
            added += AddToGroup(group.c_str(), filed) ? 1 : 0;
        }
        start = end + 1;
    }
    if (!carried)
        return "441 no such newsgroup";
    return added ? "240 article posted ok" : "441 posting failed";
}

// One line of the article after POST; "." ends it and files it.
bool TakePostedLine(Session& session, const char* line)
{
    if (strcmp(line, ".") != 0) {
        session.posted += (line[0] == '.' ? line + 1 : line);
        session.posted += "\r\n";
        if (session.posted.size() > kArticleCapacity)
            session.postTooLong = true;
        if (session.postTooLong)
            session.posted.clear();
        return true;
    }
    session.posting = false;
    const char* answer = session.postTooLong ? "441 line or article too long" : Post(session.posted);
    session.posted.clear();
    return Reply(session, answer);
}

// Runs one command line; false when the session is over.
bool Dispatch(Session& session, char* line)
{
    if (g_options.verbose)
        printf("< %s\n", _strnicmp(line, "AUTHINFO PASS", 13) == 0 ? "AUTHINFO PASS ****" : line);
    char* argument = strchr(line, ' ');
    if (argument != nullptr) {
        *argument++ = 0;
        while (*argument == ' ' || *argument == '\t')
            ++argument;
        size_t length = strlen(argument);
        while (length > 0 && (argument[length - 1] == ' ' || argument[length - 1] == '\t'))
            argument[--length] = 0;
    } else {
        argument = line + strlen(line);
    }
    if (_stricmp(line, "QUIT") == 0) {
        Reply(session, "205 closing connection");
        return false;
    }
    if (_stricmp(line, "AUTHINFO") == 0)
        return CommandAuthinfo(session, argument);
    if (_stricmp(line, "CAPABILITIES") == 0)
        return CommandCapabilities(session);
    if (_stricmp(line, "COMPRESS") == 0)
        return CommandCompress(session, argument);
    bool known = _stricmp(line, "LIST") == 0 || _stricmp(line, "GROUP") == 0 || _stricmp(line, "HEAD") == 0 ||
                 _stricmp(line, "BODY") == 0 || _stricmp(line, "POST") == 0 || _stricmp(line, "STAT") == 0;
    if (!known)
        return Reply(session, "500 command not recognized");
    if (g_options.authRequired && !session.authorised)
        return Reply(session, "480 authentication required");
    if (_stricmp(line, "LIST") == 0) {
        // LIST, LIST ACTIVE, or LIST ACTIVE with a wildmat.
        const char* patterns = argument + (_strnicmp(argument, "ACTIVE", 6) == 0 ? 6 : 0);
        if (patterns != argument && *patterns == ' ')
            ++patterns;
        else if (*patterns != 0)
            return Reply(session, "500 command not recognized");
        return CommandList(session, patterns);
    }
    if (_stricmp(line, "GROUP") == 0)
        return CommandGroup(session, argument);
    if (_stricmp(line, "POST") == 0) {
        session.posting = true;
        session.postTooLong = false;
        session.posted.clear();
        return Reply(session, "340 send article to be posted, end with <CR-LF>.<CR-LF>");
    }
    if (_stricmp(line, "STAT") == 0 && argument[0] == '<')
        return Reply(session, FindMessageId(argument) ? (std::string("223 0 ") + argument).c_str()
                                                      : "430 no such article");
    if (_stricmp(line, "STAT") == 0)
        return Reply(session, "501 message-id expected");
    return CommandArticlePart(session, argument, _stricmp(line, "HEAD") == 0);
}

// Takes plain command bytes; how many it took: all of them, or those up to
// the command that turned compression on, after which the rest is deflated.
int TakeCommands(Session& session, const char* bytes, int count, bool* open)
{
    bool plain = !session.compressing;
    int i = 0;
    while (i < count && *open && !(plain && session.compressing)) {
        char c = bytes[i++];
        if (c == '\n') {
            if (session.overlong && session.posting) {
                session.postTooLong = true;
            } else if (session.overlong) {
                *open = Reply(session, "501 command line too long");
            } else {
                if (session.length > 0 && session.line[session.length - 1] == '\r')
                    --session.length;
                session.line[session.length] = 0;
                if (session.posting)
                    *open = TakePostedLine(session, session.line);
                else if (session.length > 0)
                    *open = Dispatch(session, session.line);
            }
            session.length = 0;
            session.overlong = false;
        } else if (session.length < (session.posting ? kPostLineCapacity : kCommandCapacity)) {
            session.line[session.length++] = c;
        } else {
            session.overlong = true;  // the rest of this line is dropped
        }
    }
    return i;
}

bool TakeDeflated(Session& session, const char* bytes, int count, bool* open)
{
    z_stream& z = session.inflater;
    z.next_in = (Bytef*)bytes;
    z.avail_in = (uInt)count;
    char plain[4096];
    do {
        z.next_out = (Bytef*)plain;
        z.avail_out = sizeof plain;
        int status = inflate(&z, Z_SYNC_FLUSH);
        if (status != Z_OK && status != Z_BUF_ERROR)
            return false;
        TakeCommands(session, plain, (int)(sizeof plain - z.avail_out), open);
    } while (*open && (z.avail_in > 0 || z.avail_out == 0));
    return true;
}

DWORD WINAPI ServeClient(void* parameter)
{
    Session* session = (Session*)parameter;
    char received[4096];
    bool open = Reply(*session, g_options.authRequired ? "200 demonews ready (authentication required)"
                                                        : "200 demonews ready");
    while (open) {
        int got = recv(session->socket, received, sizeof received, 0);
        if (got <= 0)
            break;
        int taken = session->compressing ? 0 : TakeCommands(*session, received, got, &open);
        if (open && taken < got && !TakeDeflated(*session, received + taken, got - taken, &open))
            break;   // a broken stream ends the session
    }
    if (session->compressing) {
        deflateEnd(&session->deflater);
        inflateEnd(&session->inflater);
    }
    shutdown(session->socket, SD_SEND);
    closesocket(session->socket);
    if (g_options.verbose)
        printf("connection closed\n");
    delete session;
    return 0;
}

void Usage()
{
    fprintf(stderr, "usage: demonews [-p port] [-s spool] [-a address] [-u user -w password] [-v]\n");
}

bool ParseOptions(int argc, wchar_t** argv)
{
    g_options.port = 1119;
    strcpy(g_options.address, "127.0.0.1");
    // Default spool: the folder "spool" in the current folder.
    wcscpy(g_options.spool, L"spool");
    for (int i = 1; i < argc; ++i) {
        const wchar_t* option = argv[i];
        const wchar_t* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (wcscmp(option, L"-v") == 0) {
            g_options.verbose = true;
            continue;
        }
        if (value == nullptr) {
            Usage();
            return false;
        }
        ++i;
        if (wcscmp(option, L"-p") == 0) {
            DWORD port;
            if (!ParseArticleNumber(value, &port) || port == 0 || port > 65535) {
                fprintf(stderr, "demonews: bad port\n");
                return false;
            }
            g_options.port = (unsigned short)port;
        } else if (wcscmp(option, L"-s") == 0) {
            if (wcslen(value) >= MAX_PATH - 32) {
                fprintf(stderr, "demonews: spool path too long\n");
                return false;
            }
            wcscpy(g_options.spool, value);
        } else if (wcscmp(option, L"-a") == 0) {
            if (WideCharToMultiByte(CP_ACP, 0, value, -1, g_options.address, sizeof g_options.address, nullptr,
                                    nullptr) == 0)
                return false;
        } else if (wcscmp(option, L"-u") == 0 || wcscmp(option, L"-w") == 0) {
            char* target = option[1] == L'u' ? g_options.user : g_options.password;
            if (WideCharToMultiByte(CP_ACP, 0, value, -1, target, 128, nullptr, nullptr) == 0) {
                fprintf(stderr, "demonews: user or password too long\n");
                return false;
            }
            g_options.authRequired = true;
        } else {
            Usage();
            return false;
        }
    }
    size_t length = wcslen(g_options.spool);
    while (length > 1 && (g_options.spool[length - 1] == L'\\' || g_options.spool[length - 1] == L'/'))
        g_options.spool[--length] = 0;
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (!ParseOptions(argc, argv))
        return 2;
    DWORD attributes = GetFileAttributesW(g_options.spool);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        fprintf(stderr, "demonews: spool folder %ls not found\n", g_options.spool);
        return 1;
    }
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        fprintf(stderr, "demonews: no socket library\n");
        return 1;
    }
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address;
    memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(g_options.port);
    address.sin_addr.s_addr = inet_addr(g_options.address);
    if (listener == INVALID_SOCKET || bind(listener, (sockaddr*)&address, sizeof address) != 0 ||
        listen(listener, 8) != 0) {
        fprintf(stderr, "demonews: cannot listen on %s:%u (%d)\n", g_options.address, g_options.port,
                WSAGetLastError());
        WSACleanup();
        return 1;
    }
    printf("demonews: serving %ls on %s:%u%s\n", g_options.spool, g_options.address, g_options.port,
           g_options.authRequired ? " (AUTHINFO required)" : "");
    for (;;) {
        SOCKET client = accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) {
            Sleep(10);
            continue;
        }
        BOOL noDelay = TRUE;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, (const char*)&noDelay, sizeof noDelay);
        Session* session = new Session();
        session->socket = client;
        HANDLE thread = CreateThread(nullptr, 0, ServeClient, session, 0, nullptr);
        if (thread == nullptr) {
            closesocket(client);
            delete session;
            continue;
        }
        CloseHandle(thread);
    }
}
