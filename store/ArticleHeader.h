// The header lines of one article in a growing buffer, unfolded, with the
// positions of the lines the store uses. Offsets, not pointers, because the
// buffer moves when it grows; they are also the lines' offsets from the start
// of the article's block in the log, which gets the buffer unchanged.
#pragma once
#include <windows.h>

enum { kNoHeaderLine = 0xFFFFFFFF, kArticleHeaderInitial = 2048, kArticleHeaderGrowth = 1024 };

class ArticleHeader {
public:
    void Construct();                  // no buffer yet
    // Frees an earlier buffer; ERROR_NOT_ENOUGH_MEMORY on failure.
    BOOL Init();
    void Reset();                      // keeps the allocation
    void Free();

    // Lines are zero-terminated, end with CR LF, shorter than 1024 bytes.
    // Unfolding never makes a stored line reach 1024 bytes: what would not
    // fit is dropped, so that the log stays readable line by line.
    BOOL AddHeaderLine(const char* line);
    BOOL AddContinuationLine(const char* line);

    // Texts run to the end of the buffer; consumers stop at CR or LF.
    const char* SubjectText() const;    // after "Subject: "
    const char* NewsgroupText() const;  // after "Newsgroup: "
    const char* DateText() const;       // 6 bytes after "Date:"'s start
    const char* FromText() const;       // 6 bytes after "From:"'s start
    DWORD ArticleNumber() const { return articleNumber_; }

    void SubjectField(char* destination) const;  // 48 bytes
    void DateField(char* destination) const;     // 4 bytes
    void SenderField(char* destination) const;   // 16 bytes

    const char* Buffer() const { return buffer_; }
    DWORD Length() const { return (DWORD)(write_ - buffer_); }
    DWORD SubjectOffset() const { return subjectOffset_; }
    DWORD SubjectLength() const { return subjectLength_; }

private:
    BOOL MakeRoom(DWORD bytes);

    char* buffer_;
    char* bufferEnd_;
    char* write_;
    DWORD capacity_;
    DWORD subjectOffset_;
    DWORD fromOffset_;
    DWORD dateOffset_;
    DWORD articleNumber_;
    DWORD newsgroupOffset_;
    DWORD subjectLength_;
    DWORD newsgroupLength_;
    BOOL lastWasSubject_;
    BOOL lastWasNewsgroup_;
    DWORD lineStart_;    // offset of the last header line, for unfolding
    const char* TextAt(DWORD offset, DWORD skip) const;
};

// Unsigned decimal at *cursor. Ends at a zero byte, blank or CR: skips
// blanks, leaves the cursor there. Any other byte: cursor none, 0xFFFFFFFF.
DWORD ParseNumber(const char** cursor);

// Copies at most `limit` bytes, stopping at CR, LF or the end, never
// splitting a double-byte character. The destination is zero-filled by the
// caller and must hold limit + 1 bytes.
void BoundedCopy(char* destination, const char* source, DWORD limit);
