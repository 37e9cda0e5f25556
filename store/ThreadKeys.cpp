#include "store/ThreadKeys.h"
#include <string.h>
#include "store/ArticleLog.h"

namespace {

BOOL IsBlank(char c) { return c == ' ' || c == '\t'; }

BOOL StartsWithField(const char* line, const char* end, const char* field)
{
    size_t length = strlen(field);
    return (size_t)(end - line) >= length && _strnicmp(line, field, length) == 0;
}

void Trim(const char** start, const char** end)
{
    while (*start < *end && IsBlank(**start))
        ++*start;
    while (*end > *start && (IsBlank((*end)[-1]) || (*end)[-1] == '\r'))
        --*end;
}

// "<...>" from `start` on; `next` gets where the search goes on.
BOOL NextMessageId(const char* start, const char* end, const char** id, const char** idEnd,
                   const char** next)
{
    const char* open = (const char*)memchr(start, '<', end - start);
    if (!open)
        return FALSE;
    const char* close = (const char*)memchr(open, '>', end - open);
    if (!close) {
        *next = end;
        return FALSE;
    }
    *id = open;
    *idEnd = close + 1;
    *next = close + 1;
    return TRUE;
}

ULONGLONG IdHash(const char* value, const char* end)
{
    const char* id;
    const char* idEnd;
    const char* next;
    if (NextMessageId(value, end, &id, &idEnd, &next))
        return ThreadHash(id, (DWORD)(idEnd - id));
    Trim(&value, &end);
    return value < end ? ThreadHash(value, (DWORD)(end - value)) : 0;
}

BOOL HeaderEnds(const char* buffer, DWORD length)
{
    for (DWORD i = 1; i < length; ++i) {
        if (buffer[i] == '\n' && (buffer[i - 1] == '\n' || (i >= 2 && buffer[i - 1] == '\r' && buffer[i - 2] == '\n')))
            return TRUE;
    }
    return FALSE;
}

}  // namespace

ULONGLONG ThreadHash(const char* text, DWORD length)
{
    ULONGLONG hash = 14695981039346656037ULL;
    for (DWORD i = 0; i < length; ++i) {
        hash ^= (BYTE)text[i];
        hash *= 1099511628211ULL;
    }
    return hash ? hash : 1;
}

const char* SkipReplyPrefixes(const char* text, const char* end)
{
    for (;;) {
        while (text < end && IsBlank(*text))
            ++text;
        if (end - text >= 3 && (text[0] == 'R' || text[0] == 'r') && (text[1] == 'E' || text[1] == 'e')
            && text[2] == ':')
            text += 3;
        else
            return text;
    }
}

void ParseThreadKeys(const char* block, DWORD length, ThreadKeys* keys)
{
    keys->id = keys->subject = 0;
    keys->refCount = 0;
    const char* end = block + length;
    const char* line = block;
    while (line < end) {
        const char* lineEnd = (const char*)memchr(line, '\n', end - line);
        if (!lineEnd)
            lineEnd = end;
        const char* textEnd = lineEnd;
        if (textEnd > line && textEnd[-1] == '\r')
            --textEnd;
        if (textEnd == line)
            break;  // the empty line ends the header
        if (StartsWithField(line, textEnd, "Message-ID:")) {
            keys->id = IdHash(line + 11, textEnd);
        } else if (StartsWithField(line, textEnd, "Subject:")) {
            const char* text = SkipReplyPrefixes(line + 8, textEnd);
            const char* stop = textEnd;
            Trim(&text, &stop);
            keys->subject = text < stop ? ThreadHash(text, (DWORD)(stop - text)) : 0;
        } else if (StartsWithField(line, textEnd, "References:")) {
            keys->refCount = 0;
            const char* cursor = line + 11;
            const char *id, *idEnd;
            while (cursor < textEnd && NextMessageId(cursor, textEnd, &id, &idEnd, &cursor)) {
                if (keys->refCount == kMaxThreadRefs) {
                    memmove(keys->refs, keys->refs + 1, sizeof(ULONGLONG) * (kMaxThreadRefs - 1));
                    --keys->refCount;
                }
                keys->refs[keys->refCount++] = ThreadHash(id, (DWORD)(idEnd - id));
            }
        }
        line = lineEnd + 1;
    }
}

BOOL ReadThreadKeys(HANDLE log, DWORD logSize, const IndexRecord& record, char* buffer,
                    ThreadKeys* keys)
{
    // Most headers end within the first piece; only a long one costs a
    // second read.
    DWORD length = record.articleLength < kThreadHeaderFirstRead ? record.articleLength
                                                                 : (DWORD)kThreadHeaderFirstRead;
    if (!ReadLogRange(log, logSize, record.articleOffset, length, buffer))
        return FALSE;
    if (length < record.articleLength && !HeaderEnds(buffer, length)) {
        length = record.articleLength < kThreadHeaderRead ? record.articleLength
                                                          : (DWORD)kThreadHeaderRead;
        if (!ReadLogRange(log, logSize, record.articleOffset, length, buffer))
            return FALSE;
    }
    ParseThreadKeys(buffer, length, keys);
    return TRUE;
}
