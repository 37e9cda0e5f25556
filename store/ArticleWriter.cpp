#include "store/ArticleWriter.h"
#include "store/ArticleLog.h"
#include "store/FileOps.h"
#include "store/GroupRecord.h"
#include "store/LineReader.h"
#include "text/Charset.h"
#include "text/LastErrorKeeper.h"
#include <stdio.h>
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
    LARGE_INTEGER zero, end;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(group_->LogHandle(), zero, &end, FILE_END))
        return FALSE;
    if (end.QuadPart >= 0xFFFFFFFFLL) {
        // Offsets in the index are 32 bits.
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    articleStart_ = (DWORD)end.QuadPart;
    inArticle_ = TRUE;
    return TRUE;
}

BOOL ArticleWriter::WriteHeader()
{
    char line[32];
    snprintf(line, sizeof line, "X-Local-Seq: %lu\r\n", (unsigned long)articleNumber_);
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
        DWORD piece = 0;
        while (piece < kStoreLineCapacity - 3) {
            DWORD step = IsShiftJisLead((unsigned char)line[piece]) ? 2 : 1;
            if (piece + step > kStoreLineCapacity - 3)
                break;
            piece += step;
        }
        if (!WriteAll(group_->LogHandle(), line, piece) || !WriteAll(group_->LogHandle(), "\r\n", 2))
            return FALSE;
        line += piece;
        length -= piece;
    }
    return WriteAll(group_->LogHandle(), line, length);
}

BOOL ArticleWriter::Finish()
{
    LARGE_INTEGER zero, end;
    zero.QuadPart = 0;
    BOOL ok = WriteAll(group_->LogHandle(), kArticleSeparator, kArticleSeparatorLength)
           && SetFilePointerEx(group_->LogHandle(), zero, &end, FILE_CURRENT);
    if (ok && end.QuadPart > 0xFFFFFFFFLL) {
        SetLastError(ERROR_INVALID_DATA);
        ok = FALSE;
    }
    if (ok)
        ok = group_->AddRecord(articleStart_, (DWORD)end.QuadPart, articleNumber_, header_, filter_);
    if (!ok) {
        Abandon();
        return FALSE;
    }
    inArticle_ = FALSE;
    return TRUE;
}
