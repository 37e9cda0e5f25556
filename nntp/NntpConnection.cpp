#include "nntp/NntpConnection.h"
#include <string.h>
#include "text/SecretMemory.h"

void NntpConnection::Init()
{
    socket_.Init();
    top_ = &socket_;
    reader_.Init();
}

BOOL NntpConnection::Connect(const char* host, DWORD port)
{
    if (!socket_.Connect(host, port))
        return FALSE;
    reader_.Attach(top_);
    return TRUE;
}

BOOL NntpConnection::PushLayer(StreamLayer* layer)
{
    if (reader_.HasUnread()) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    top_ = layer;
    reader_.Attach(top_);
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
    // The copy may be "authinfo pass" with the password.
    BOOL sent = SendLines(line, (DWORD)length + 2);
    ClearSecret(line, length + 2);
    return sent;
}

BOOL NntpConnection::SendLines(const char* lines, DWORD length)
{
    if (length > kCommandLineSize) {
        SetLastError(ERROR_MORE_DATA);
        return FALSE;
    }
    return top_->Send(lines, length);
}

void NntpConnection::Close()
{
    socket_.Close();
    top_ = &socket_;
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
