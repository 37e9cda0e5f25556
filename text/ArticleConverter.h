// The conversion of one fetched article into what the store keeps, line by
// line as the lines arrive. With MIME conversion off, each kept header line
// is decoded (DecodeEncodedWords) and converted (JisToSjis), and so is each
// body line. With it on, the kept header lines wait until the header has
// ended, since the article's Content-Type (which may come after them) says
// how to read raw 8-bit text; each field is then unfolded and its
// encoded-words decoded (DecodeMimeWords). Raw 8-bit header text is read in
// the article's charset, else as UTF-8 when it is valid UTF-8, else, in a
// multipart article, in the charset of its first text part: the header
// then waits for that part's header, and so do the body lines before it.
// The body is decoded by its Content-Transfer-Encoding and converted from
// its charset, each text part of a multipart body by its own part header;
// 7-bit text with escape sequences is read as ISO-2022-JP whatever its label.
#pragma once
#include <windows.h>
#include "text/Base64.h"
#include "text/Charset.h"
#include "text/MimeFields.h"

enum { kConvertedLineSize = 1024 };

// Where the converted lines go. Each comes without line end in a buffer of
// kConvertedLineSize bytes that the receiver may change, and is shorter than
// kConvertedLineSize - 2 bytes, so that CR LF still fits. All header lines
// come before the first body line, but may come as late as it or EndBody
// (HoldsHeader). False stops the conversion (the receiver sets the last
// error).
class ConvertedLines {
public:
    virtual BOOL HeaderLine(char* line, BOOL continuation) = 0;
    virtual BOOL BodyLine(char* line) = 0;
};

class ArticleConverter {
public:
    void Construct(BOOL convertMime);

    // Per article, in this order. Lines come without their line end and,
    // as the connection reads them, shorter than kConvertedLineSize.
    void BeginArticle();
    // Every line of the header; `kept` tells whether it belongs to a field
    // the store keeps.
    BOOL PutHeaderLine(const char* line, BOOL kept, ConvertedLines* lines);
    BOOL EndHeader(ConvertedLines* lines);
    // After EndHeader: whether header lines are still to come.
    BOOL HoldsHeader() const { return deferred_; }
    BOOL PutBodyLine(const char* line, ConvertedLines* lines);
    BOOL EndBody(ConvertedLines* lines);

private:
    enum { kHeldSize = 16384, kFieldMax = 4096, kPendingSize = kConvertedLineSize - 3,
           kMaxDepth = 4 };
    enum PartState { kPartBody, kPartHeader };
    struct Section {
        bool text;                 // false: line by line as JIS, as it comes
        MimeCharset charset;
        TransferEncoding encoding;
    };

    void CloseField();
    BOOL FlushHeld(ConvertedLines* lines);
    BOOL FlushFields(size_t end, ConvertedLines* lines);
    BOOL EndDeferral(MimeCharset charset, ConvertedLines* lines);
    void Choose(const MimeFields& fields);
    BOOL PlainLine(const char* line, ConvertedLines* lines);
    BOOL SectionLine(const char* line, ConvertedLines* lines);
    BOOL Append(const char* bytes, size_t length, ConvertedLines* lines);
    BOOL EmitPending(bool final, ConvertedLines* lines);
    BOOL EndSection(ConvertedLines* lines);
    int BoundaryLevel(const char* line, bool* closing) const;

    BOOL convert_;
    MimeFields article_;
    // Kept fields, each unfolded and terminated, one after another.
    char held_[kHeldSize];
    size_t heldLength_;
    size_t fieldStart_;
    BOOL inField_;
    MimeCharset rawCharset_;
    // The fields wait in held_ for the first text part; the body lines
    // before it follow them there from bodyStart_ on.
    bool deferred_;
    size_t bodyStart_;

    Section section_;
    Base64Decoder base64_;
    char pending_[kPendingSize + 1];   // decoded text of an unfinished line
    size_t pendingLength_;
    bool skipLineFeed_;                // the last decoded byte was a CR
    bool pendingOpen_;                 // a line has begun (maybe empty)

    MimeFields part_;
    PartState partState_;
    int depth_;
    char boundaries_[kMaxDepth][kBoundaryMax + 1];

    char work_[kConvertedLineSize];
    char out_[kConvertedLineSize];
};
