// The append context the download engine keeps for one group: each article
// goes to the end of the log, then its record to the index. The group's log
// and index stay open (GroupRecord::OpenLog/OpenIndex) for the whole group;
// the caller writes the header after the group.
#pragma once
#include <windows.h>
#include "store/ArticleHeader.h"
#include "store/KeywordFilter.h"

class GroupRecord;

class ArticleWriter {
public:
    void Construct(GroupRecord* group);   // not owned
    void Destroy();                        // frees header buffer and filter

    // Per article, in this order:
    BOOL Begin(DWORD articleNumber);
    BOOL AddHeaderLine(const char* line) { return header_.AddHeaderLine(line); }
    BOOL AddContinuationLine(const char* line) { return header_.AddContinuationLine(line); }
    BOOL WriteHeader();                    // "X-Local-Seq: n", the block, CR LF
    BOOL WriteBodyLine(const char* line);  // as it is, CR LF included
    BOOL Finish();                         // separator, then the index record
    // Cuts an unfinished article off the log again, so that the log holds
    // only whole blocks, each with its record. Begin and Destroy do it for
    // an article left unfinished; a failed Finish does it itself.
    void Abandon();

    const ArticleHeader& Header() const { return header_; }

private:
    GroupRecord* group_;
    ArticleHeader header_;
    KeywordFilter filter_;
    DWORD articleStart_;
    DWORD articleNumber_;
    BOOL inArticle_;
};
