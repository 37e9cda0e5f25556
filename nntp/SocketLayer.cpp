#include "nntp/SocketLayer.h"
#include <string.h>

BOOL SocketLayer::Connect(const char* host, DWORD port)
{
    socket_ = socket(AF_INET, SOCK_STREAM, 0);
    if (socket_ == INVALID_SOCKET)
        return FALSE;

    sockaddr_in address;
    memset(&address, 0, sizeof address);
    unsigned long dotted = inet_addr(host);
    if (dotted == INADDR_NONE) {
        hostent* entry = gethostbyname(host);
        if (!entry || !entry->h_addr_list || !entry->h_addr_list[0])
            return FALSE;
        const char* first = entry->h_addr_list[0];
        unsigned char* target = (unsigned char*)&address.sin_addr;
        for (int i = 0; i < 4; ++i)
            target[i] = (unsigned char)first[i];
    } else {
        address.sin_addr.s_addr = dotted;
    }
    address.sin_family = AF_INET;
    address.sin_port = htons((u_short)(port & 0xFFFF));

    // On failure the socket stays stored until Close.
    if (connect(socket_, (sockaddr*)&address, sizeof address) == SOCKET_ERROR)
        return FALSE;
    // Every command, and every pipelined batch, is one send: Nagle could
    // only hold a batch back until the server acknowledges the one before,
    // which a server may delay while it holds its own small replies.
    BOOL noDelay = TRUE;
    setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, (const char*)&noDelay, sizeof noDelay);
    return TRUE;
}

BOOL SocketLayer::Send(const char* data, DWORD length)
{
    // A blocking send hands over the whole block or fails; the loop only
    // guards against a stack that takes less.
    for (DWORD sent = 0; sent < length;) {
        int count = send(socket_, data + sent, (int)(length - sent), 0);
        if (count == SOCKET_ERROR || count <= 0)
            return FALSE;
        sent += (DWORD)count;
    }
    return TRUE;
}

BOOL SocketLayer::Receive(char* data, DWORD capacity, DWORD* received)
{
    *received = 0;
    int count = recv(socket_, data, (int)capacity, 0);
    if (count == SOCKET_ERROR || count < 0) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    *received = (DWORD)count;
    return TRUE;
}

BOOL SocketLayer::HoldsInput()
{
    u_long count = 0;
    return ioctlsocket(socket_, FIONREAD, &count) != SOCKET_ERROR && count > 0;
}

void SocketLayer::Close()
{
    if (socket_ != INVALID_SOCKET) {
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
}
