// Raw deflate over the layer below, both ways, once the server has agreed
// to compress: what is received is inflated as it arrives, and every send
// is deflated and flushed at once, so the server never waits for the rest
// of a command that is still in our deflate state.
#pragma once
#include "nntp/Sockets.h"
#include <windows.h>
#include <zlib.h>
#include "nntp/NntpConnection.h"
#include "nntp/StreamLayer.h"

class CompressLayer : public StreamLayer {
public:
    CompressLayer() { Init(); }
    ~CompressLayer() { Destroy(); }

    void Init();                      // no states; for storage not constructed
    // Makes both states over `below`; ERROR_NOT_ENOUGH_MEMORY when they
    // cannot be made (nothing is then left allocated).
    BOOL Start(StreamLayer* below);
    void Destroy();                   // harmless when repeated
    BOOL Send(const char* data, DWORD length) override;
    // A stream that does not inflate, or that breaks off inside a block and
    // a line when the peer closes: ERROR_INVALID_DATA, now and at every
    // later call.
    BOOL Receive(char* data, DWORD capacity, DWORD* received) override;
    BOOL HoldsInput() override;

private:
    BOOL Fail();

    StreamLayer* below_;
    z_stream inflate_;
    z_stream deflate_;
    BOOL inflating_;
    BOOL deflating_;
    BOOL broken_;
    BOOL ended_;                      // the server's stream has finished
    BOOL atBoundary_;                 // no block half taken in
    BOOL atLineEnd_;                  // the last byte handed on ended a line
    BOOL outputPending_;
    unsigned char input_[kCommandLineSize];
    unsigned char output_[kCommandLineSize + 64];
};

enum CompressionStart { kCompressionSendFailed, kCompressionReceiveFailed, kCompressionReady };

// After the greeting and any AUTHINFO (a server may refuse AUTHINFO once
// compressing): asks for CAPABILITIES and, when they offer COMPRESS DEFLATE,
// turns it on with `layer` as the connection's new top. A server without
// either, or one that refuses, leaves the connection as it was:
// kCompressionReady all the same. `pipelined`: COMPRESS DEFLATE is sent
// with CAPABILITIES, whatever they offer. `line` (of `lineSize` bytes)
// receives the replies. A failed send or receive leaves its code in the
// last error.
CompressionStart StartCompression(NntpConnection* connection, CompressLayer* layer, BOOL pipelined,
                                  char* line, DWORD lineSize);
