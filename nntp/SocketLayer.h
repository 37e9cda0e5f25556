// The bottom of a connection: one blocking TCP socket.
#pragma once
#include "nntp/Sockets.h"
#include <windows.h>
#include "nntp/StreamLayer.h"

class SocketLayer : public StreamLayer {
public:
    void Init() { socket_ = INVALID_SOCKET; }
    // Host name or dotted address (multi-byte); only the low 16 bits of
    // `port` are used. False with winsock's code in the last error.
    BOOL Connect(const char* host, DWORD port);
    BOOL Send(const char* data, DWORD length) override;
    BOOL Receive(char* data, DWORD capacity, DWORD* received) override;
    BOOL HoldsInput() override;
    void Close();                      // harmless when repeated
    BOOL IsOpen() const { return socket_ != INVALID_SOCKET; }

private:
    SOCKET socket_;
};
