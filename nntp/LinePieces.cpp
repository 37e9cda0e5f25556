#include "nntp/Sockets.h"   // before windows.h on the host
#include "nntp/LinePieces.h"
#include <string.h>
#include "nntp/NntpConnection.h"
#include "text/Charset.h"
#include "text/Jis.h"

// Where a piece of `length` bytes (more than fit) ends: after a blank,
// digit or mark near the end, which no double-byte character of JIS, Shift_JIS,
// EUC-JP or UTF-8 holds, and not inside a quoted-printable escape; else after
// the last whole UTF-8 or Shift_JIS character. JIS is cut by its own rules,
// `resume` putting the rest in the mode the piece ends in.
size_t LinePieces::Cut(size_t length, char* resume) const
{
    size_t limit = length < (size_t)kStoredLineMax ? length : (size_t)kStoredLineMax;
    if (buffer_[limit - 1] == '\r')
        --limit;   // a CR waits for the LF that may follow it
    resume[0] = 0;
    if (LooksLikeJis(buffer_, limit)) {
        size_t cut = JisPieceLength(buffer_, limit, resume);
        return cut ? cut : limit;
    }
    for (size_t end = limit; end > limit - kLookBack; --end) {
        unsigned char byte = (unsigned char)buffer_[end - 1];
        if (byte >= 0x20 && byte < 0x40 && byte != '=' && buffer_[end - 2] != '=' && buffer_[end - 3] != '=')
            return end;
    }
    size_t start = limit;
    while (start > limit - 3 && ((unsigned char)buffer_[start - 1] & 0xC0) == 0x80)
        --start;
    if ((unsigned char)buffer_[start - 1] >= 0xC0)
        --start;   // the lead of a character the rest may finish
    if (IsValidUtf8(buffer_, start))
        return start;
    size_t fit = ShiftJisFit(buffer_, length, limit);
    return fit ? fit : limit;
}

BOOL LinePieces::Next(NntpConnection* connection)
{
    lineStart_ = lineEnded_;
    memcpy(buffer_, carry_, carryLength_);
    size_t length = carryLength_;
    carryLength_ = 0;
    BOOL ended = endPending_;
    endPending_ = FALSE;
    if (!ended) {
        if (!connection->ReadPiece(buffer_ + length, (DWORD)(sizeof buffer_ - length), &ended))
            return FALSE;
        length += strlen(buffer_ + length);   // NUL bytes came as blanks
        if (ended && length && buffer_[length - 1] == '\n')
            --length;
        if (ended && length && buffer_[length - 1] == '\r')
            --length;
    }
    if (length > kStoredLineMax || !ended) {
        char resume[4];
        size_t cut = Cut(length, resume);
        size_t prefix = strlen(resume);
        memcpy(carry_, resume, prefix);
        memcpy(carry_ + prefix, buffer_ + cut, length - cut);
        carryLength_ = prefix + length - cut;
        endPending_ = ended;
        ended = FALSE;
        length = cut;
    }
    buffer_[length] = 0;
    length_ = length;
    lineEnded_ = ended;
    return TRUE;
}
