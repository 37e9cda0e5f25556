#include "text/FollowUp.h"
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include "text/DraftText.h"
#include "text/JisEncoder.h"
#include "text/PostComposer.h"

namespace {

const char kQuote[] = "> ";

struct Field {
    const char* value;
    size_t length;
};

Field Get(const char* article, size_t length, const char* name)
{
    Field field = {"", 0};
    DraftField(article, length, name, &field.value, &field.length);
    return field;
}

void Put(char* out, size_t* at, const char* text, size_t length)
{
    memcpy(out + *at, text, length);
    *at += length;
}

void PutText(char* out, size_t* at, const char* text)
{
    Put(out, at, text, strlen(text));
}

}  // namespace

char* MakeFollowUp(const char* article, size_t length, size_t* newLength)
{
    Field groups = Get(article, length, "Newsgroups");
    Field subject = Get(article, length, "Subject");
    Field id = Get(article, length, "Message-ID");
    Field references = Get(article, length, "References");
    Field from = Get(article, length, "From");
    size_t body = DraftBodyStart(article, length);
    size_t lines = 1;
    for (size_t i = body; i < length; ++i)
        lines += article[i] == '\n';
    // Every part below, a quote and a CR LF a line, and room for the fields' names.
    size_t capacity = groups.length + subject.length + id.length * 2 + references.length + from.length +
                      (length - body) + lines * (sizeof kQuote + 2) + 256;
    char* out = (char*)malloc(capacity);
    char* joined = (char*)malloc(references.length + id.length + 2);
    if (!out || !joined) {
        free(out);
        free(joined);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    size_t at = 0;
    PutText(out, &at, "Newsgroups: ");
    Put(out, &at, groups.value, groups.length);
    PutText(out, &at, "\r\nSubject: ");
    if (!(subject.length >= 3 && _strnicmp(subject.value, "Re:", 3) == 0))
        PutText(out, &at, "Re: ");
    Put(out, &at, subject.value, subject.length);
    PutText(out, &at, "\r\n");
    size_t joinedLength = 0;
    Put(joined, &joinedLength, references.value, references.length);
    if (joinedLength && id.length)
        joined[joinedLength++] = ' ';
    Put(joined, &joinedLength, id.value, id.length);
    if (joinedLength) {
        PutText(out, &at, "References: ");
        at += TrimReferences(joined, joinedLength, out + at, capacity - at);
        PutText(out, &at, "\r\n");
    }
    free(joined);
    PutText(out, &at, "\r\nIn article ");
    Put(out, &at, id.value, id.length);
    PutText(out, &at, ",\r\n");
    Put(out, &at, from.value, from.length);
    PutText(out, &at, " wrote:\r\n");
    for (size_t line = body, next; line < length; line = next) {
        size_t lineLength = DraftLine(article, length, line, &next);
        Put(out, &at, kQuote, lineLength ? sizeof kQuote - 1 : 1);
        Put(out, &at, article + line, lineLength);
        PutText(out, &at, "\r\n");
    }
    out[at] = 0;
    *newLength = at;
    return out;
}
