// The MIME fields of one header (an article's, or a part's inside a
// multipart body): Content-Type and Content-Transfer-Encoding, gathered line
// by line, folded lines included, and read once the header has ended.
#pragma once
#include <stddef.h>
#include "text/Charset.h"

enum MimeKind { kMimeNoType, kMimeText, kMimeMultipart, kMimeOther };
enum TransferEncoding { kEncodingNone, kEncodingQuotedPrintable, kEncodingBase64, kEncodingUnknown };

enum { kBoundaryMax = 200, kContentTypeSize = 512, kTransferEncodingSize = 64 };

// The blanks of header text: a line that begins with one continues a field.
inline bool IsHeaderBlank(char c) { return c == ' ' || c == '\t'; }

class MimeFields {
public:
    void Reset();
    // One header line without its line end; a continuation begins with a
    // blank or tab. Text past the fields' buffers is dropped.
    void AddLine(const char* line);
    // Reads what was gathered.
    void Parse();

    MimeKind Kind() const { return kind_; }
    MimeCharset Charset() const { return charset_; }
    TransferEncoding Encoding() const { return encoding_; }
    const char* Boundary() const { return boundary_; }   // empty when none

private:
    enum Field { kFieldOther, kFieldType, kFieldEncoding };
    void Append(const char* text);

    Field current_;
    char type_[kContentTypeSize];
    size_t typeLength_;
    char encodingText_[kTransferEncodingSize];
    size_t encodingLength_;
    MimeKind kind_;
    MimeCharset charset_;
    TransferEncoding encoding_;
    char boundary_[kBoundaryMax + 1];
};
