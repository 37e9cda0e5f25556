#include "store/ArticleWriter.h"
#include "store/ArticleLog.h"
#include "store/FileOps.h"
#include "store/FilePosition.h"
#include "store/GroupRecord.h"
#include "store/LineReader.h"
#include "text/Charset.h"
#include "text/LastErrorKeeper.h"
#include <string.h>

void ArticleWriter::Construct(GroupRecord* group)
{
    group_ = group;
    header_.Construct();
    filter_.Construct();
    articleStart_ = 0;
    articleNumber_ = kNoArticleNumber;
    inArticle_ = FALSE;
}

void ArticleWriter::Destroy()
{
    if (inArticle_)
        Abandon();
    header_.Free();
    filter_.Free();
}

void ArticleWriter::Abandon()
{
    if (!inArticle_)
        return;
    inArticle_ = FALSE;
    LastErrorKeeper keep;
    FileTruncate(group_->LogHandle(), articleStart_);
}

BOOL ArticleWriter::Begin(DWORD articleNumber)
{
    if (inArticle_)
        Abandon();
    if (!header_.Init())
        return FALSE;
    if (!filter_.Load(group_->FilterPath()))
        return FALSE;
    articleNumber_ = articleNumber;
    ULONGLONG end;
    if (!FileSeek(group_->LogHandle(), 0, FILE_END, &end))
        return FALSE;
    if (end >= 0xFFFFFFFFULL) {
        // Offsets in the index are 32 bits.
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    articleStart_ = (DWORD)end;
    inArticle_ = TRUE;
    return TRUE;
}

BOOL ArticleWriter::WriteHeader()
{
    // Put together by hand: the device's C library has no snprintf, and
    // its _snprintf leaves a cut text unterminated. 10 digits always fit.
    static const char kPrefix[] = "X-Local-Seq: ";
    char line[sizeof kPrefix + 10 + 2];
    memcpy(line, kPrefix, sizeof kPrefix - 1);
    char digits[10];
    int count = 0;
    DWORD rest = articleNumber_;
    do {
        digits[count++] = (char)('0' + rest % 10);
        rest /= 10;
    } while (rest);
    char* end = line + sizeof kPrefix - 1;
    while (count)
        *end++ = digits[--count];
    memcpy(end, "\r\n", 3);
    if (!header_.AddHeaderLine(line))
        return FALSE;
    if (!WriteAll(group_->LogHandle(), header_.Buffer(), header_.Length()))
        return FALSE;
    return WriteAll(group_->LogHandle(), "\r\n", 2);
}

BOOL ArticleWriter::WriteBodyLine(const char* line)
{
    DWORD length = (DWORD)strlen(line);
    // A line the log's readers could not take back is broken into lines
    // that fit, each with CR LF, at character boundaries.
    while (length >= kStoreLineCapacity) {
        DWORD piece = (DWORD)ShiftJisFit(line, length, kStoreLineCapacity - 3);
        if (!WriteAll(group_->LogHandle(), line, piece) || !WriteAll(group_->LogHandle(), "\r\n", 2))
            return FALSE;
        line += piece;
        length -= piece;
    }
    return WriteAll(group_->LogHandle(), line, length);
}

BOOL ArticleWriter::Finish()
{
    ULONGLONG end;
    BOOL ok = WriteAll(group_->LogHandle(), kArticleSeparator, kArticleSeparatorLength)
           && FileSeek(group_->LogHandle(), 0, FILE_CURRENT, &end);
    if (ok && end > 0xFFFFFFFFULL) {
        SetLastError(ERROR_INVALID_DATA);
        ok = FALSE;
    }
    if (ok)
        ok = group_->AddRecord(articleStart_, (DWORD)end, articleNumber_, header_, filter_);
    if (!ok) {
        Abandon();
        return FALSE;
    }
    inArticle_ = FALSE;
    return TRUE;
}
