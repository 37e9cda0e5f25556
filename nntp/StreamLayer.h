// One layer of a connection's byte stream. The socket is the bottom one; a
// secure or a compressing layer works on the one below it, so the line
// reader and the sender see only the top and never know what is beneath.
#pragma once
#include <windows.h>

class StreamLayer {
public:
    // Hands over all `length` bytes as one send, or fails with the last
    // error set.
    virtual BOOL Send(const char* data, DWORD length) = 0;
    // Waits for some bytes: up to `capacity` of them into `data`, their
    // count in `*received`, which is 0 once the peer has closed. FALSE on
    // failure, ERROR_INVALID_DATA for a broken stream.
    virtual BOOL Receive(char* data, DWORD capacity, DWORD* received) = 0;
    // Whether bytes that arrived wait here or below, so that Receive may
    // not have to wait for the peer. A guess; it only decides when
    // commands go out, never what is read.
    virtual BOOL HoldsInput() = 0;

protected:
    ~StreamLayer() {}
};
