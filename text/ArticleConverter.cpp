#include "text/ArticleConverter.h"
#include <string.h>
#include "text/Jis.h"
#include "text/MimeWords.h"
#include "text/QuotedPrintable.h"

namespace {

// Whether the field ends inside an encoded-word ("=?UTF-8?B?5pel"): a
// client that folds in the middle of one wants the next line joined to it
// without a blank.
bool EndsInOpenWord(const char* field, size_t length)
{
    size_t start = length;
    for (size_t p = length; p >= 2; --p) {
        if (field[p - 2] == '=' && field[p - 1] == '?') {
            start = p - 2;
            break;
        }
    }
    if (start == length)
        return false;
    int marks = 0;
    for (size_t q = start + 2; q < length; ++q) {
        if (IsHeaderBlank(field[q]))
            return false;
        if (field[q] == '?')
            ++marks;
    }
    if (marks < 2)
        return false;
    return !(marks >= 3 && field[length - 2] == '?' && field[length - 1] == '=');
}

}  // namespace

void ArticleConverter::Construct(BOOL convertMime)
{
    convert_ = convertMime;
    BeginArticle();
}

void ArticleConverter::BeginArticle()
{
    article_.Reset();
    heldLength_ = 0;
    fieldStart_ = 0;
    inField_ = FALSE;
    rawCharset_ = kCharsetNone;
    deferred_ = false;
    bodyStart_ = 0;
    section_.text = false;
    section_.charset = kCharsetNone;
    section_.encoding = kEncodingNone;
    base64_.Reset();
    pendingLength_ = 0;
    skipLineFeed_ = false;
    part_.Reset();
    partState_ = kPartBody;
    depth_ = 0;
}

BOOL ArticleConverter::PutHeaderLine(const char* line, BOOL kept, ConvertedLines* lines)
{
    BOOL continuation = IsHeaderBlank(line[0]);
    if (!convert_) {
        if (!kept)
            return TRUE;
        DecodeEncodedWords(work_, sizeof work_, line);
        JisToSjis(work_, out_, sizeof out_);
        return lines->HeaderLine(out_, continuation);
    }
    article_.AddLine(line);
    if (!kept)
        return TRUE;
    if (continuation) {
        if (!inField_)
            return TRUE;
        while (IsHeaderBlank(*line))
            ++line;
        size_t length = heldLength_ - fieldStart_;
        // Unfolded as the header means it: the fold is a blank, except
        // inside an encoded-word broken across the lines.
        if (*line && !EndsInOpenWord(held_ + fieldStart_, length) && length < kFieldMax) {
            held_[heldLength_++] = ' ';
            ++length;
        }
        while (*line && length < kFieldMax) {
            held_[heldLength_++] = *line++;
            ++length;
        }
        held_[heldLength_] = '\0';
        return TRUE;
    }
    CloseField();
    if (kHeldSize - heldLength_ < kFieldMax + 2 && !FlushHeld(lines))
        return FALSE;
    fieldStart_ = heldLength_;
    for (size_t length = 0; *line && length < kFieldMax; ++length)
        held_[heldLength_++] = *line++;
    held_[heldLength_] = '\0';
    inField_ = TRUE;
    return TRUE;
}

void ArticleConverter::CloseField()
{
    if (inField_)
        ++heldLength_;   // past the terminator of the field
    inField_ = FALSE;
}

// Converts the fields held so far; a header too large to hold whole is
// converted in pieces, before its Content-Type may be known.
BOOL ArticleConverter::FlushHeld(ConvertedLines* lines)
{
    CloseField();
    size_t end = heldLength_;
    heldLength_ = 0;
    return FlushFields(end, lines);
}

BOOL ArticleConverter::FlushFields(size_t end, ConvertedLines* lines)
{
    for (size_t at = 0; at < end; at += strlen(held_ + at) + 1) {
        DecodeMimeWords(held_ + at, rawCharset_, out_, kPendingSize + 1);
        if (!lines->HeaderLine(out_, FALSE))
            return FALSE;
    }
    return TRUE;
}

BOOL ArticleConverter::EndHeader(ConvertedLines* lines)
{
    if (!convert_)
        return TRUE;
    article_.Parse();
    CloseField();
    bool eightBit = false;
    for (size_t i = 0; i < heldLength_ && !eightBit; ++i)
        eightBit = (unsigned char)held_[i] >= 0x80;
    bool multipart = article_.Kind() == kMimeMultipart && article_.Boundary()[0];
    if (IsConvertibleCharset(article_.Charset()))
        rawCharset_ = article_.Charset();
    else if (eightBit && IsValidUtf8(held_, heldLength_))
        rawCharset_ = kCharsetUtf8;
    deferred_ = eightBit && multipart && rawCharset_ == kCharsetNone;
    bodyStart_ = heldLength_;
    if (!deferred_ && !FlushHeld(lines))
        return FALSE;
    if (multipart) {
        strcpy(boundaries_[0], article_.Boundary());
        depth_ = 1;
        partState_ = kPartBody;   // the preamble
    } else {
        Choose(article_);
    }
    return TRUE;
}

// The held fields in `charset` (when we read it, else as they are), then
// the body lines held after them.
BOOL ArticleConverter::EndDeferral(MimeCharset charset, ConvertedLines* lines)
{
    deferred_ = false;
    rawCharset_ = IsConvertibleCharset(charset) ? charset : kCharsetNone;
    size_t end = heldLength_;
    heldLength_ = 0;
    if (!FlushFields(bodyStart_, lines))
        return FALSE;
    for (size_t at = bodyStart_; at < end; at += strlen(held_ + at) + 1) {
        if (!PlainLine(held_ + at, lines))
            return FALSE;
    }
    return TRUE;
}

// How the body (or part) that these fields describe is read: text in a
// charset we read is decoded and converted; anything else comes as today,
// line by line through JisToSjis.
void ArticleConverter::Choose(const MimeFields& fields)
{
    MimeKind kind = fields.Kind();
    MimeCharset charset = fields.Charset() == kCharsetNone ? kCharsetJis : fields.Charset();
    section_.text = (kind == kMimeText || kind == kMimeNoType) && fields.Encoding() != kEncodingUnknown &&
                    charset != kCharsetUnknown &&
                    !(charset == kCharsetJis && fields.Encoding() == kEncodingNone);
    section_.charset = charset;
    section_.encoding = fields.Encoding();
    base64_.Reset();
    pendingLength_ = 0;
    skipLineFeed_ = false;
}

// A line as JIS; one longer than a stored line goes out in pieces, split
// between characters.
BOOL ArticleConverter::PlainLine(const char* line, ConvertedLines* lines)
{
    if (deferred_) {
        size_t length = strlen(line);
        if (heldLength_ + length < kHeldSize) {
            memcpy(held_ + heldLength_, line, length + 1);
            heldLength_ += length + 1;
            return TRUE;
        }
        // No room to wait longer: the header is kept as it came.
        if (!EndDeferral(kCharsetNone, lines))
            return FALSE;
    }
    size_t length = JisToSjis(line, work_, sizeof work_);
    const char* rest = work_;
    while (length > kPendingSize) {
        size_t piece = ShiftJisFit(rest, length, kPendingSize);
        memcpy(out_, rest, piece);
        out_[piece] = '\0';
        if (!lines->BodyLine(out_))
            return FALSE;
        rest += piece;
        length -= piece;
    }
    memcpy(out_, rest, length + 1);
    return lines->BodyLine(out_);
}

int ArticleConverter::BoundaryLevel(const char* line, bool* closing) const
{
    if (line[0] != '-' || line[1] != '-')
        return -1;
    for (int level = depth_ - 1; level >= 0; --level) {
        size_t length = strlen(boundaries_[level]);
        if (strncmp(line + 2, boundaries_[level], length) != 0)
            continue;
        const char* rest = line + 2 + length;
        bool close = rest[0] == '-' && rest[1] == '-';
        if (close)
            rest += 2;
        while (IsHeaderBlank(*rest))
            ++rest;
        if (*rest)
            continue;
        *closing = close;
        return level;
    }
    return -1;
}

BOOL ArticleConverter::PutBodyLine(const char* line, ConvertedLines* lines)
{
    if (!convert_)
        return PlainLine(line, lines);
    if (depth_ > 0) {
        bool closing = false;
        int level = BoundaryLevel(line, &closing);
        if (level >= 0) {
            if (!EndSection(lines))
                return FALSE;
            depth_ = closing ? level : level + 1;
            partState_ = closing ? kPartBody : kPartHeader;
            part_.Reset();
            section_.text = false;
            return PlainLine(line, lines);
        }
        if (partState_ == kPartHeader) {
            if (line[0]) {
                part_.AddLine(line);
            } else {
                part_.Parse();
                partState_ = kPartBody;
                MimeKind kind = part_.Kind();
                if (deferred_ && (kind == kMimeText || kind == kMimeNoType) &&
                    !EndDeferral(part_.Charset(), lines))
                    return FALSE;
                if (part_.Kind() == kMimeMultipart && part_.Boundary()[0] && depth_ < kMaxDepth)
                    strcpy(boundaries_[depth_++], part_.Boundary());
                else
                    Choose(part_);
            }
            return PlainLine(line, lines);
        }
    }
    return SectionLine(line, lines);
}

BOOL ArticleConverter::SectionLine(const char* line, ConvertedLines* lines)
{
    if (!section_.text)
        return PlainLine(line, lines);
    size_t length = strlen(line);
    if (section_.encoding == kEncodingNone)
        return Append(line, length, lines) && Append("\n", 1, lines);
    // Decoded text never outgrows its line, which the reader keeps shorter
    // than the buffer.
    if (length >= sizeof work_)
        length = sizeof work_ - 1;
    switch (section_.encoding) {
    case kEncodingQuotedPrintable: {
        bool soft = false;
        size_t decoded = DecodeQuotedPrintable(line, length, false, work_, &soft);
        // A line that ends in an encoded line break ("=0D=0A") has ended.
        bool ended = decoded && work_[decoded - 1] == '\n';
        return Append(work_, decoded, lines) && (soft || ended || Append("\n", 1, lines));
    }
    case kEncodingBase64: {
        // A line of n characters holds at most 3n/4 bytes, plus what the
        // line before left unfinished.
        size_t decoded = base64_.Decode(line, length, work_);
        return Append(work_, decoded, lines);
    }
    default:
        return TRUE;
    }
}

// Decoded text into lines: CR LF, LF or a lone CR ends one; a line too long
// to store is stored in pieces.
BOOL ArticleConverter::Append(const char* bytes, size_t length, ConvertedLines* lines)
{
    for (size_t i = 0; i < length; ++i) {
        char c = bytes[i];
        if (c == '\n' && skipLineFeed_) {
            skipLineFeed_ = false;
            continue;
        }
        skipLineFeed_ = c == '\r';
        if (c == '\n' || c == '\r') {
            if (!EmitPending(true, lines))
                return FALSE;
            continue;
        }
        if (c == '\0')
            continue;
        if (pendingLength_ == kPendingSize && !EmitPending(false, lines))
            return FALSE;
        pending_[pendingLength_++] = c;
    }
    return TRUE;
}

// Converts the pending text: all of it for a finished line, else as much as
// one stored line takes (an unfinished character waits for the rest).
BOOL ArticleConverter::EmitPending(bool final, ConvertedLines* lines)
{
    do {
        size_t used = pendingLength_;
        char resume[4] = "";
        if (IsConvertibleCharset(section_.charset) && !LooksLikeJis(pending_, pendingLength_)) {
            ConvertToSjis(section_.charset, pending_, pendingLength_, final, out_, kPendingSize + 1, &used);
        } else {
            // The rest of a long line goes on in the mode this piece ends in.
            if (!final)
                used = JisPieceLength(pending_, pendingLength_, resume);
            char next = pending_[used];
            pending_[used] = '\0';
            JisToSjis(pending_, out_, kPendingSize + 1);
            pending_[used] = next;
        }
        if (!lines->BodyLine(out_))
            return FALSE;
        size_t prefix = strlen(resume);
        memmove(pending_ + prefix, pending_ + used, pendingLength_ - used);
        memcpy(pending_, resume, prefix);
        pendingLength_ = pendingLength_ - used + prefix;
        if (used == 0)
            break;
    } while (final && pendingLength_ > 0);
    if (final)
        pendingLength_ = 0;
    return TRUE;
}

BOOL ArticleConverter::EndSection(ConvertedLines* lines)
{
    BOOL ok = TRUE;
    if (section_.text) {
        if (section_.encoding == kEncodingBase64)
            ok = Append(work_, base64_.Flush(work_), lines);
        if (ok && pendingLength_ > 0)
            ok = EmitPending(true, lines);
    }
    base64_.Reset();
    pendingLength_ = 0;
    skipLineFeed_ = false;
    return ok;
}

BOOL ArticleConverter::EndBody(ConvertedLines* lines)
{
    if (deferred_ && !EndDeferral(kCharsetNone, lines))
        return FALSE;
    return convert_ ? EndSection(lines) : TRUE;
}
