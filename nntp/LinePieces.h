// The lines of an article's reply as the store takes them: a line of any
// length is read in pieces short enough to be stored, each cut between
// characters, so that memory stays bounded whatever the server sends.
#pragma once
#include <windows.h>

class NntpConnection;

// A stored line without its CR LF.
enum { kStoredLineMax = 1021 };

class LinePieces {
public:
    // Before the first line of a reply.
    void Begin()
    {
        carryLength_ = 0;
        lineEnded_ = TRUE;
        endPending_ = FALSE;
    }
    // The next piece, without line end, in Text() (at most kStoredLineMax
    // bytes; the buffer may be changed). False when the connection fails or
    // closes, with its error.
    BOOL Next(NntpConnection* connection);
    char* Text() { return buffer_; }
    size_t Length() const { return length_; }
    BOOL LineStart() const { return lineStart_; }
    BOOL LineEnd() const { return lineEnded_; }

private:
    enum { kLookBack = 64, kCarryMax = kLookBack + 8 };

    size_t Cut(size_t length, char* resume) const;

    char buffer_[kStoredLineMax + 3];   // a piece, a line end, the terminator
    char carry_[kCarryMax];             // what the last piece left for the next
    size_t carryLength_;
    size_t length_;
    BOOL lineStart_;
    BOOL lineEnded_;
    BOOL endPending_;                   // the carry ends the line
};
