#include "nntp/NntpConnection.h"
#include <string.h>

void NntpConnection::Init()
{
    socket_ = INVALID_SOCKET;
    reader_.Init();
}

BOOL NntpConnection::Connect(const char* host, DWORD port)
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

    if (connect(socket_, (sockaddr*)&address, sizeof address) == SOCKET_ERROR)
        return FALSE;   // the socket stays stored until Close
    reader_.Attach(socket_);
    return TRUE;
}

BOOL NntpConnection::SendLine(const char* text)
{
    size_t length = strlen(text);
    if (length > kCommandTextMax) {
        SetLastError(ERROR_MORE_DATA);
        return FALSE;
    }
    if (memchr(text, '\r', length) || memchr(text, '\n', length)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    char line[kCommandLineSize];
    memcpy(line, text, length);
    line[length] = '\r';
    line[length + 1] = '\n';
    return SendLines(line, (DWORD)length + 2);
}

BOOL NntpConnection::SendLines(const char* lines, DWORD length)
{
    if (length > kCommandLineSize) {
        SetLastError(ERROR_MORE_DATA);
        return FALSE;
    }
    // A blocking send hands over the whole block or fails; the loop only
    // guards against a stack that takes less.
    for (DWORD sent = 0; sent < length;) {
        int count = send(socket_, lines + sent, (int)(length - sent), 0);
        if (count == SOCKET_ERROR || count <= 0)
            return FALSE;
        sent += (DWORD)count;
    }
    return TRUE;
}

void NntpConnection::Close()
{
    if (socket_ != INVALID_SOCKET) {
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    reader_.Init();
}

BOOL JoinCommand(char* line, const char* command, const char* argument)
{
    size_t commandLength = strlen(command);
    size_t argumentLength = argument ? strlen(argument) : 0;
    if (commandLength + argumentLength > kCommandTextMax) {
        line[0] = 0;
        SetLastError(ERROR_MORE_DATA);
        return FALSE;
    }
    memcpy(line, command, commandLength);
    if (argumentLength)
        memcpy(line + commandLength, argument, argumentLength);
    line[commandLength + argumentLength] = 0;
    return TRUE;
}
