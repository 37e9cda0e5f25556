// A draft (DraftText) made into the article that follows POST: its header
// built from the draft's fields and the poster's settings, its body in
// ISO-2022-JP, every line dot-stuffed and ended in CR LF, then ".". No
// Date: the server dates it, so a wrong clock on the device cannot get a
// post refused.
#pragma once
#include <stddef.h>

#define PELORA_USER_AGENT "Pelora/1.1"

enum { kComposedLineSize = 4096 };

struct Poster {
    const char* name;           // may be none
    const char* address;
    const char* organization;   // may be none
};

enum PostFaultKind {
    kPostFine,
    kPostBadCharacter,   // one ISO-2022-JP cannot carry
    kPostLongLine,       // over kWireLineMax bytes on the wire
    kPostNoGroup,        // no Newsgroups, or one that is not ASCII
    kPostNoAddress,      // no mail address, or one that is not ASCII
    kPostNoMessageId,
};

struct PostFault {
    PostFaultKind kind;
    const char* field;    // the header field at fault, none for the body
    size_t line;          // the body line, from 1
    char character[3];    // the character refused
};

class PostComposer {
public:
    void Begin(const char* draft, size_t length, const Poster& poster);
    // The next line into `line` (kComposedLineSize bytes): its length, 0
    // after the final "." line, (size_t)-1 at a fault (Fault()).
    size_t Next(char* line);
    const PostFault& Fault() const { return fault_; }

private:
    size_t Field(char* line);
    size_t BodyLine(char* line);
    size_t Fail(PostFaultKind kind, const char* field);

    const char* draft_;
    size_t length_;
    Poster poster_;
    int step_;
    size_t at_;
    size_t bodyLine_;
    PostFault fault_;
};

// Runs the composer over the whole draft: false with `fault` at the first
// line that cannot go out.
bool CheckPost(const char* draft, size_t length, const Poster& poster, PostFault* fault);

// The message identifiers of `references` that fit a References line of
// kWireLineMax bytes: the first and the last ones are kept, those after the
// first dropped as needed. Writes at most `capacity` bytes with the NUL;
// returns the length.
size_t TrimReferences(const char* references, size_t length, char* destination, size_t capacity);
