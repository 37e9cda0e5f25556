#include "nntp/Sockets.h"   // before windows.h on the host
#include "nntp/GroupPlan.h"
#include <stdlib.h>
#include <string.h>
#include <new>
#include "nntp/GroupCursor.h"
#include "nntp/NntpConnection.h"
#include "store/ArticleHeader.h"
#include "store/GroupRecord.h"
#include "store/IndexHeader.h"
#include "text/CodePage.h"

namespace {

const char kListActive[] = "LIST ACTIVE ";
// A command's text, as servers take it (512 bytes with its CR LF).
enum { kListTextMax = 510 };

// A name that stands for itself as a pattern and on a LIST ACTIVE line:
// plain printable ASCII, no wildcard, no list or negation mark.
BOOL IsPlainName(const char* name)
{
    if (!name[0] || strlen(name) > kListTextMax - (sizeof kListActive - 1))
        return FALSE;
    for (const unsigned char* p = (const unsigned char*)name; *p; ++p) {
        if (*p <= ' ' || *p >= 0x7F || strchr("*?[]\\,!", *p))
            return FALSE;
    }
    return TRUE;
}

}  // namespace

BOOL ParseReplyNumber(const char** cursor, DWORD* value)
{
    if (!*cursor)
        return FALSE;
    const char* digits = *cursor;
    size_t count = 0;
    while (digits[count] >= '0' && digits[count] <= '9')
        ++count;
    if (count == 0 || count > 10)
        return FALSE;
    // 0xFFFFFFFF is ParseNumber's own mark for malformed, and means "catch
    // up pending" in the index; no server number may take it.
    if (count == 10 && strncmp(digits, "4294967294", 10) > 0)
        return FALSE;
    *value = ParseNumber(cursor);
    return *cursor != NULL;
}

DWORD FirstToFetch(DWORD lastArticle, DWORD first, DWORD last)
{
    if (lastArticle == kCatchUpPending)
        return last + 1;   // nothing fetched: caught up to the server's end
    return first > lastArticle + 1 ? first : lastArticle + 1;
}

void GroupPlan::Destroy()
{
    for (DWORD i = 0; i < count_; ++i)
        free(groups_[i].name);
    delete[] groups_;
    Init();
}

BOOL GroupPlan::Collect(GroupCursor* cursor, GroupRecord* record, const wchar_t* dataPath)
{
    DWORD rows = 0;
    for (cursor->Reset(); cursor->Next(); cursor->Advance())
        ++rows;
    groups_ = new (std::nothrow) PlannedGroup[rows ? rows : 1];
    if (!groups_)
        return FALSE;
    count_ = rows;
    memset(groups_, 0, rows * sizeof groups_[0]);
    DWORD row = 0;
    for (cursor->Reset(); row < rows; cursor->Advance(), ++row) {
        const wchar_t* name = cursor->Next();
        if (!name || !name[0])
            continue;
        record->Reset();
        if (record->SetNames(dataPath, name) && record->ReadHeader()) {
            groups_[row].lastArticle = record->LastArticle();
            groups_[row].name = ToMultiByte(name);
            if (groups_[row].name && !IsPlainName(groups_[row].name)) {
                free(groups_[row].name);
                groups_[row].name = NULL;
            }
        }
        record->Release();
    }
    return TRUE;
}

// The names, as many to a command as the command limit takes, the commands
// in as few sends as the send limit takes.
BOOL GroupPlan::SendLists(NntpConnection* connection, DWORD* commands)
{
    char lines[kCommandLineSize];
    DWORD length = 0;
    DWORD lineStart = 0;
    *commands = 0;
    for (DWORD row = 0; row <= count_; ++row) {
        const char* name = row < count_ ? groups_[row].name : NULL;
        if (row < count_ && !name)
            continue;
        size_t size = name ? strlen(name) : 0;
        BOOL open = length > lineStart;   // a command is being filled
        // The command ends when the name would pass the limit, or at the end.
        if (open && (!name || length - lineStart + 1 + size > kListTextMax)) {
            lines[length++] = '\r';
            lines[length++] = '\n';
            ++*commands;
            lineStart = length;
            open = FALSE;
        }
        if (!name)
            break;
        size_t needed = (open ? 1 : sizeof kListActive - 1) + size + 2;
        if (length + needed > sizeof lines) {
            // Send the whole commands so far; the open one moves to the front.
            if (lineStart && !connection->SendLines(lines, lineStart))
                return FALSE;
            memmove(lines, lines + lineStart, length - lineStart);
            length -= lineStart;
            lineStart = 0;
        }
        if (!open) {
            memcpy(lines + length, kListActive, sizeof kListActive - 1);
            length += sizeof kListActive - 1;
        } else {
            lines[length++] = ',';
        }
        memcpy(lines + length, name, size);
        length += (DWORD)size;
    }
    return length == 0 || connection->SendLines(lines, length);
}

void GroupPlan::TakeLine(const char* line)
{
    const char* end = strchr(line, ' ');
    if (!end)
        return;
    size_t size = end - line;
    const char* cursor = end + 1;
    DWORD last, first;
    if (!ParseReplyNumber(&cursor, &last) || !ParseReplyNumber(&cursor, &first))
        return;
    for (DWORD row = 0; row < count_; ++row) {
        PlannedGroup& group = groups_[row];
        if (group.name && strlen(group.name) == size && strncmp(group.name, line, size) == 0) {
            group.first = first;
            group.last = last;
            group.from = FirstToFetch(group.lastArticle, first, last);
            group.listed = TRUE;
            group.known = TRUE;
        }
    }
}

// One reply: a refusal, or the list up to its "." line. A line too long
// for a group's line is passed over.
PlanResult GroupPlan::ReadList(NntpConnection* connection, BOOL* refused)
{
    BOOL status = TRUE, lineStart = TRUE, listed = FALSE;
    for (;;) {
        BOOL whole;
        if (!connection->ReadPiece(line_, sizeof line_, &whole))
            return kPlanBroken;
        if (lineStart && status) {
            listed = line_[0] == '2';
        } else if (lineStart && whole) {
            if (strcmp(line_, ".\r\n") == 0)
                return kPlanReady;
            TakeLine(line_);
        }
        if (whole && status) {
            if (!listed) {
                *refused = TRUE;
                return kPlanReady;
            }
            status = FALSE;
        }
        lineStart = whole;
    }
}

PlanResult GroupPlan::Build(NntpConnection* connection, GroupCursor* cursor, GroupRecord* record,
                            const wchar_t* dataPath)
{
    if (!Collect(cursor, record, dataPath)) {
        Destroy();
        return kPlanNone;
    }
    // A lone group's GROUP tells as much as a list would, one exchange sooner.
    DWORD named = 0;
    for (DWORD row = 0; row < count_; ++row)
        named += groups_[row].name ? 1 : 0;
    if (named < 2) {
        Destroy();
        return kPlanNone;
    }
    DWORD commands;
    if (!SendLists(connection, &commands))
        return kPlanBroken;
    BOOL refused = FALSE;
    for (DWORD i = 0; i < commands; ++i) {
        if (ReadList(connection, &refused) == kPlanBroken)
            return kPlanBroken;
    }
    if (refused) {
        Destroy();
        return kPlanNone;
    }
    return kPlanReady;
}
