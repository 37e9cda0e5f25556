#include "text/DraftText.h"
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include "text/MimeFields.h"

namespace {

size_t PutField(char* out, const char* name, size_t nameLength, const char* value, size_t valueLength)
{
    memcpy(out, name, nameLength);
    out[nameLength] = ':';
    out[nameLength + 1] = ' ';
    memcpy(out + nameLength + 2, value, valueLength);
    out[nameLength + 2 + valueLength] = '\r';
    out[nameLength + 3 + valueLength] = '\n';
    return nameLength + valueLength + 4;
}

}  // namespace

size_t DraftLine(const char* text, size_t length, size_t at, size_t* next)
{
    size_t end = at;
    while (end < length && text[end] != '\n')
        ++end;
    *next = end < length ? end + 1 : end;
    if (end > at && text[end - 1] == '\r')
        --end;
    return end - at;
}

size_t DraftBodyStart(const char* text, size_t length)
{
    for (size_t at = 0, next; at < length; at = next)
        if (DraftLine(text, length, at, &next) == 0)
            return next;
    return length;
}

bool DraftField(const char* text, size_t length, const char* name, const char** value,
                size_t* valueLength)
{
    size_t nameLength = strlen(name);
    for (size_t at = 0, next; at < length; at = next) {
        size_t line = DraftLine(text, length, at, &next);
        if (line == 0)
            break;
        if (line > nameLength && text[at + nameLength] == ':' && _strnicmp(text + at, name, nameLength) == 0) {
            size_t start = at + nameLength + 1;
            while (start < at + line && IsHeaderBlank(text[start]))
                ++start;
            *value = text + start;
            *valueLength = at + line - start;
            return true;
        }
    }
    return false;
}

char* SetDraftField(const char* text, size_t length, const char* name, const char* value,
                    size_t* newLength)
{
    size_t nameLength = strlen(name), valueLength = value ? strlen(value) : 0;
    // A field line ending in LF alone gets a CR.
    char* out = (char*)malloc(2 * length + nameLength + valueLength + 8);
    if (!out) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    size_t written = 0;
    size_t at = 0, next = 0;
    bool emptyLineSeen = false, placed = false;
    // The fields, the one being set in its place (or dropped).
    while (at < length) {
        size_t line = DraftLine(text, length, at, &next);
        if (line == 0) {
            emptyLineSeen = true;
            break;
        }
        bool same = line > nameLength && text[at + nameLength] == ':' && _strnicmp(text + at, name, nameLength) == 0;
        if (!same) {
            memcpy(out + written, text + at, line);
            written += line;
            out[written++] = '\r';
            out[written++] = '\n';
        } else if (value && !placed) {
            written += PutField(out + written, name, nameLength, value, valueLength);
            placed = true;
        }
        at = next;
    }
    if (value && !placed)
        written += PutField(out + written, name, nameLength, value, valueLength);
    out[written++] = '\r';
    out[written++] = '\n';
    if (emptyLineSeen) {
        memcpy(out + written, text + next, length - next);
        written += length - next;
    }
    out[written] = 0;
    *newLength = written;
    return out;
}
