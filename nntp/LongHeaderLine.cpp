#include "nntp/LongHeaderLine.h"
#include <string.h>

namespace {

const char kReferences[] = "References:";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

void LongHeaderLine::Begin(const char* piece, size_t length)
{
    memcpy(head_, piece, length);
    head_[length] = 0;
    headLength_ = length;
    tailLength_ = 0;
    total_ = 0;
    several_ = FALSE;
    Add(piece, length);
    several_ = FALSE;
}

void LongHeaderLine::Add(const char* piece, size_t length)
{
    several_ = TRUE;
    memcpy(tail_ + tailLength_, piece, length);
    tailLength_ += length;
    total_ += (DWORD)length;
    if (tailLength_ > kStoredLineMax) {
        memmove(tail_, tail_ + tailLength_ - kStoredLineMax, kStoredLineMax);
        tailLength_ = kStoredLineMax;
    }
}

const char* LongHeaderLine::Line()
{
    if (!several_ || strncmp(head_, kReferences, sizeof kReferences - 1) != 0)
        return head_;
    // The first identifier must end within the first piece.
    size_t firstEnd = sizeof kReferences - 1;
    while (firstEnd < headLength_ && IsBlank(head_[firstEnd]))
        ++firstEnd;
    while (firstEnd < headLength_ && !IsBlank(head_[firstEnd]))
        ++firstEnd;
    if (firstEnd >= headLength_)
        return head_;
    // The last identifiers: from the first blank of the tail (or past the
    // first identifier, when the tail reaches back to it), as many as fit.
    DWORD tailStart = total_ - (DWORD)tailLength_;
    size_t at = 0;
    if (tailStart < firstEnd)
        at = firstEnd - tailStart;
    else
        while (at < tailLength_ && !IsBlank(tail_[at]))
            ++at;
    size_t end = tailLength_;
    while (end > at && IsBlank(tail_[end - 1]))
        --end;
    for (;;) {
        while (at < end && IsBlank(tail_[at]))
            ++at;
        if (firstEnd + 1 + (end - at) <= kStoredLineMax || at >= end)
            break;
        while (at < end && !IsBlank(tail_[at]))
            ++at;
    }
    headLength_ = firstEnd;
    if (at < end) {
        head_[headLength_++] = ' ';
        memcpy(head_ + headLength_, tail_ + at, end - at);
        headLength_ += end - at;
    }
    head_[headLength_] = 0;
    return head_;
}
