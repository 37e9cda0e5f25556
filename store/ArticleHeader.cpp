#include "store/ArticleHeader.h"
#include "store/LineReader.h"
#include "text/Charset.h"
#include <stdlib.h>
#include <string.h>

void ArticleHeader::Construct()
{
    buffer_ = NULL;
    bufferEnd_ = NULL;
    write_ = NULL;
    capacity_ = 0;
    Reset();
}

BOOL ArticleHeader::Init()
{
    Free();
    buffer_ = (char*)malloc(kArticleHeaderInitial);
    if (!buffer_) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    capacity_ = kArticleHeaderInitial;
    bufferEnd_ = buffer_ + capacity_;
    Reset();
    return TRUE;
}

void ArticleHeader::Reset()
{
    write_ = buffer_;
    if (write_)
        *write_ = '\0';
    subjectOffset_ = kNoHeaderLine;
    fromOffset_ = kNoHeaderLine;
    dateOffset_ = kNoHeaderLine;
    articleNumber_ = kNoHeaderLine;
    newsgroupOffset_ = kNoHeaderLine;
    subjectLength_ = 0;
    newsgroupLength_ = 0;
    lastWasSubject_ = FALSE;
    lastWasNewsgroup_ = FALSE;
    lineStart_ = kNoHeaderLine;
}

void ArticleHeader::Free()
{
    free(buffer_);
    buffer_ = NULL;
    bufferEnd_ = NULL;
    write_ = NULL;
    capacity_ = 0;
}

BOOL ArticleHeader::MakeRoom(DWORD bytes)
{
    if (!buffer_ && !Init())
        return FALSE;
    if (write_ + bytes < bufferEnd_)
        return TRUE;
    DWORD used = (DWORD)(write_ - buffer_);
    DWORD capacity = capacity_ + kArticleHeaderGrowth;
    while (used + bytes >= capacity)
        capacity += kArticleHeaderGrowth;
    char* grown = (char*)malloc(capacity);
    if (!grown) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    memcpy(grown, buffer_, used + 1);
    free(buffer_);
    buffer_ = grown;
    capacity_ = capacity;
    bufferEnd_ = buffer_ + capacity;
    write_ = buffer_ + used;
    return TRUE;
}

BOOL ArticleHeader::AddHeaderLine(const char* line)
{
    DWORD length = (DWORD)strlen(line);
    if (!MakeRoom(length))
        return FALSE;
    lastWasSubject_ = FALSE;
    lastWasNewsgroup_ = FALSE;
    DWORD offset = (DWORD)(write_ - buffer_);
    if (strncmp(line, "Subject: ", 9) == 0) {
        subjectOffset_ = offset;
        subjectLength_ = length;
        lastWasSubject_ = TRUE;
    } else if (strncmp(line, "Newsgroup: ", 11) == 0) {
        newsgroupOffset_ = offset;
        newsgroupLength_ = length;
        lastWasNewsgroup_ = TRUE;
    } else if (strncmp(line, "X-Local-Seq:", 12) == 0) {
        // A line without a 14th byte has no number to read.
        const char* cursor = line + 13;
        articleNumber_ = length > 13 ? ParseNumber(&cursor) : (DWORD)kNoHeaderLine;
    } else if (strncmp(line, "Date:", 5) == 0) {
        dateOffset_ = offset;
    } else if (strncmp(line, "From:", 5) == 0) {
        fromOffset_ = offset;
    }
    memcpy(write_, line, length + 1);
    write_ += length;
    lineStart_ = offset;
    return TRUE;
}

BOOL ArticleHeader::AddContinuationLine(const char* line)
{
    if (write_ && write_ - buffer_ > 2)
        write_ -= 2;
    while (*line == ' ' || *line == '\t')
        line++;
    DWORD length = (DWORD)strlen(line);
    DWORD text = length;   // the rest without its CR LF
    if (text >= 2 && line[text - 2] == '\r' && line[text - 1] == '\n')
        text -= 2;
    if (buffer_ && lineStart_ != kNoHeaderLine && (DWORD)(write_ - buffer_) > lineStart_) {
        // Keep the joined line, CR LF included, below the log's line limit.
        DWORD joined = (DWORD)(write_ - buffer_) - lineStart_;
        DWORD fits = joined + 2 < kStoreLineCapacity - 1 ? kStoreLineCapacity - 1 - 2 - joined : 0;
        if (text > fits) {
            text = (DWORD)ShiftJisFit(line, text, fits);
        }
    }
    if (!MakeRoom(text + 2))
        return FALSE;
    memcpy(write_, line, text);
    write_ += text;
    if (lineStart_ == kNoHeaderLine)
        lineStart_ = 0;
    // Keep the line end even when the continuation lacked one.
    write_[0] = '\r';
    write_[1] = '\n';
    write_[2] = '\0';
    write_ += 2;
    if (lastWasSubject_)
        subjectLength_ += text;
    else if (lastWasNewsgroup_)
        newsgroupLength_ += text;
    return TRUE;
}

const char* ArticleHeader::TextAt(DWORD offset, DWORD skip) const
{
    if (offset == kNoHeaderLine || !buffer_)
        return NULL;
    const char* text = buffer_ + offset;
    for (DWORD i = 0; i < skip && *text; i++)
        text++;
    return text;
}

const char* ArticleHeader::SubjectText() const { return TextAt(subjectOffset_, 9); }
const char* ArticleHeader::NewsgroupText() const { return TextAt(newsgroupOffset_, 11); }
const char* ArticleHeader::DateText() const { return TextAt(dateOffset_, 6); }
const char* ArticleHeader::FromText() const { return TextAt(fromOffset_, 6); }

void ArticleHeader::SubjectField(char* destination) const
{
    memset(destination, 0, 48);
    const char* text = SubjectText();
    if (text)
        BoundedCopy(destination, text, 47);
    else
        memcpy(destination, "(none)", 6);
}

static inline BOOL IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

void ArticleHeader::DateField(char* destination) const
{
    static const char months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    memcpy(destination, "0000", 4);
    const char* p = DateText();
    if (!p)
        return;
    while (*p && !IsDigit(*p) && *p != '\r' && *p != '\n')
        p++;
    if (!IsDigit(*p))
        return;
    char day[2];
    const char* month;
    if (IsDigit(p[1])) {
        day[0] = p[0];
        day[1] = p[1];
        if (!p[2])
            return;
        month = p + 3;
    } else {
        day[0] = '0';
        day[1] = p[0];
        if (!p[1])
            return;
        month = p + 2;
    }
    for (int m = 0; m < 12; m++) {
        const char* name = months + 3 * m;
        // Byte by byte, so a short text stops at its terminator.
        if (month[0] == name[0] && month[1] == name[1] && month[2] == name[2]) {
            destination[0] = (char)('0' + (m + 1) / 10);
            destination[1] = (char)('0' + (m + 1) % 10);
            destination[2] = day[0];
            destination[3] = day[1];
            return;
        }
    }
}

void ArticleHeader::SenderField(char* destination) const
{
    const DWORD limit = 15;
    memset(destination, 0, 16);
    const char* text = FromText();
    if (text) {
        DWORD i = 0;
        DWORD lastAngle = kNoHeaderLine, firstParen = kNoHeaderLine;
        while (text[i] && text[i] != '\r' && text[i] != '\n') {
            if (IsShiftJisLead((unsigned char)text[i])) {
                if (!text[i + 1])
                    break;
                i += 2;
                continue;
            }
            if (text[i] == '<')
                lastAngle = i;
            else if (text[i] == '(' && firstParen == kNoHeaderLine)
                firstParen = i;
            i++;
        }
        DWORD start = 0, end = i;
        char last = i > 0 ? text[i - 1] : '\0';
        if (last == '>' && lastAngle != kNoHeaderLine) {
            end = lastAngle - 1;
            if (text[0] == '"') {
                start = 1;
                end--;
            }
        } else if (last == ')' && firstParen != kNoHeaderLine) {
            start = firstParen + 1;
            end = i - 1;
        }
        DWORD length = end - start;
        if (length > limit)
            length = limit;
        BoundedCopy(destination, text + start, length);
    }
    if (!destination[0])
        memcpy(destination, "(Unknown)", 9);
}

DWORD ParseNumber(const char** cursor)
{
    const char* p = *cursor;
    DWORD value = 0;
    for (;;) {
        char c = *p;
        if (IsDigit(c)) {
            value = value * 10 + (DWORD)(c - '0');
            p++;
        } else if (c == '\0' || c == ' ' || c == '\r') {
            while (*p == ' ')
                p++;
            *cursor = p;
            return value;
        } else {
            *cursor = NULL;
            return 0xFFFFFFFF;
        }
    }
}

void BoundedCopy(char* destination, const char* source, DWORD limit)
{
    DWORD copied = 0;
    while (copied < limit && source[copied]) {
        unsigned char b = (unsigned char)source[copied];
        if (IsShiftJisLead(b)) {
            if (copied + 2 > limit)
                break;
            if (!source[copied + 1]) {
                destination[copied++] = (char)b;
                break;
            }
            destination[copied] = (char)b;
            destination[copied + 1] = source[copied + 1];
            copied += 2;
            continue;
        }
        if (b == '\r' || b == '\n')
            break;
        destination[copied++] = (char)b;
    }
    destination[copied] = '\0';
}
