// One blocking TCP connection to the news server: one command line out, the
// answer back one line at a time. No time-outs: a silent server holds the
// calling thread until the connection breaks. Commands and replies pass
// through the top of a stack of stream layers, the socket at its bottom.
#pragma once
#include "nntp/SocketLayer.h"
#include <windows.h>
#include "nntp/ResponseReader.h"

enum { kCommandLineSize = 4096, kCommandTextMax = kCommandLineSize - 2 };

class NntpConnection {
public:
    NntpConnection() { Init(); }
    ~NntpConnection() { Close(); }

    void Init();                       // no socket; for storage not constructed
    // Host name or dotted address (multi-byte); only the low 16 bits of
    // `port` are used. False with winsock's code in the last error.
    BOOL Connect(const char* host, DWORD port);
    // One command without its CR LF. Longer than 4094 bytes:
    // ERROR_MORE_DATA, nothing sent. A command holding CR or LF would
    // smuggle a second command onto the wire: ERROR_INVALID_PARAMETER,
    // nothing sent.
    BOOL SendLine(const char* text);
    // Several command lines, each already ending in CR LF, in one send, so
    // that commands kept in flight leave as one segment. The caller builds
    // them; at most kCommandLineSize bytes.
    BOOL SendLines(const char* lines, DWORD length);
    BOOL ReadLine(char* destination, DWORD capacity, BOOL strip)
    {
        return reader_.ReadLine(destination, capacity, strip);
    }
    BOOL ReadPiece(char* destination, DWORD capacity, BOOL* whole)
    {
        return reader_.ReadPiece(destination, capacity, whole);
    }
    // Whether a reply's bytes have arrived that no line read took yet.
    BOOL HoldsInput() { return reader_.HasUnread() || top_->HoldsInput(); }
    void Close();                      // harmless when repeated
    BOOL HasSocket() const { return socket_.IsOpen(); }

    // The layer everything passes through now; a new layer is built on it.
    StreamLayer* Top() const { return top_; }
    // Makes `layer`, built on Top(), the new top, from the byte after the
    // last reply read. A server that sent more than that reply has sent
    // bytes the new layer would never see: ERROR_INVALID_DATA, unchanged.
    BOOL PushLayer(StreamLayer* layer);

private:
    SocketLayer socket_;
    StreamLayer* top_;
    ResponseReader reader_;
};

// "command" + "argument" into `line` (kCommandLineSize bytes); false with
// ERROR_MORE_DATA when the joined text would not fit a command line.
BOOL JoinCommand(char* line, const char* command, const char* argument);
