// The queued posts of the draft folder sent at the start of a patrol, one
// POST at a time (POST is never pipelined). Each post is marked as sent
// once before its POST goes out and leaves the folder only when the server
// has it, so a break anywhere leaves it queued: the next patrol then asks
// for its Message-ID before sending it again. Never lost, never twice.
#pragma once
#include "nntp/NntpConnection.h"   // its socket header before windows.h
#include <windows.h>
#include "text/PostComposer.h"

struct PostTally {
    DWORD posted;
    DWORD refused;
};

class PostSender {
public:
    // `allowed` false (the server greeted with 201 and no login followed):
    // nothing goes out, each queued post keeps `greeting` as its reason.
    // FALSE when the connection broke (the last error): the pass cannot go
    // on. Posts that could not be read or marked stay as they are.
    BOOL SendAll(NntpConnection* connection, const wchar_t* dataPath, const Poster& poster,
                 BOOL allowed, const char* greeting, PostTally* tally);

private:
    BOOL SendOne(const wchar_t* path, char* text, size_t length, PostTally* tally);
    BOOL AskAlready(const char* text, size_t length);
    BOOL SendArticle(const char* text, size_t length);
    BOOL Read();

    NntpConnection* connection_;
    Poster poster_;
    char reply_[kCommandLineSize];
    char line_[kComposedLineSize];
    char batch_[kCommandLineSize];
};
