// The receive side of a news server connection: bytes come in chunks of up
// to 4096 and go out one CR LF-terminated line at a time.
#pragma once
#include <windows.h>
#include "nntp/StreamLayer.h"

enum { kResponseBufferSize = 4096 };

class ResponseReader {
public:
    void Init();                      // no source, empty buffer
    void Attach(StreamLayer* source); // after a connect: empty buffer, stream open
    // A layer that starts after a reply owns every byte past it; bytes
    // already read beyond that reply would bypass it.
    BOOL HasUnread() const { return read_ < end_; }

    // The next byte as a signed value; 0 on failure: ERROR_HANDLE_EOF once
    // the peer has closed (and at once on every later call),
    // ERROR_INVALID_DATA when the source fails. A NUL byte from the server also
    // gives 0, with last error ERROR_INVALID_DATA.
    char ReadByte();

    // One line into `destination`. The line ends at the first LF after any
    // CR; an LF before the first CR is data. Without `strip` the line keeps
    // its CR LF and must fit capacity - 1 bytes; with `strip` the byte before
    // the LF and the LF become NUL and the line may use all of `capacity`.
    // A line too long fails with ERROR_MORE_DATA and the rest of it stays
    // unread.
    BOOL ReadLine(char* destination, DWORD capacity, BOOL strip);
    // A line of any length, a piece at a time: up to `capacity` - 1 bytes of
    // it into `destination`, terminated; `*whole` tells whether the piece
    // ends the line (its line end kept). A NUL byte comes as a blank. False
    // only when the stream fails or ends.
    BOOL ReadPiece(char* destination, DWORD capacity, BOOL* whole);

private:
    BOOL NextByte(char* byte);

    StreamLayer* source_;
    char buffer_[kResponseBufferSize];
    char* read_;
    char* end_;
    DWORD endOfStream_;
    BOOL pieceCr_;   // a CR came earlier in the line being read in pieces
};
