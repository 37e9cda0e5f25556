#include "nntp/ResponseReader.h"

void ResponseReader::Init()
{
    source_ = NULL;
    read_ = buffer_;
    end_ = buffer_;
    endOfStream_ = 0;
    pieceCr_ = FALSE;
}

void ResponseReader::Attach(StreamLayer* source)
{
    source_ = source;
    read_ = buffer_;
    end_ = buffer_;
    endOfStream_ = 0;
    pieceCr_ = FALSE;
}

BOOL ResponseReader::NextByte(char* byte)
{
    for (;;) {
        if (endOfStream_) {
            SetLastError(ERROR_HANDLE_EOF);
            return FALSE;
        }
        if (read_ < end_) {
            *byte = *read_++;
            return TRUE;
        }
        DWORD count;
        if (!source_ || !source_->Receive(buffer_, kResponseBufferSize, &count)) {
            SetLastError(ERROR_INVALID_DATA);
            return FALSE;
        }
        if (count == 0) {
            endOfStream_ = 1;
            SetLastError(ERROR_HANDLE_EOF);
            return FALSE;
        }
        read_ = buffer_;
        end_ = buffer_ + count;
    }
}

char ResponseReader::ReadByte()
{
    char byte;
    if (!NextByte(&byte))
        return 0;
    // A NUL cannot be handed on through a zero-terminated line; make it a
    // receive failure, so that no caller takes it for a clean end.
    if (byte == 0)
        SetLastError(ERROR_INVALID_DATA);
    return byte;
}

BOOL ResponseReader::ReadPiece(char* destination, DWORD capacity, BOOL* whole)
{
    DWORD length = 0;
    *whole = FALSE;
    while (length + 1 < capacity) {
        char byte;
        if (!NextByte(&byte)) {
            destination[length] = 0;
            return FALSE;
        }
        destination[length++] = byte ? byte : ' ';
        if (byte == '\r') {
            pieceCr_ = TRUE;
        } else if (byte == '\n' && pieceCr_) {
            pieceCr_ = FALSE;
            *whole = TRUE;
            break;
        }
    }
    if (capacity)
        destination[length] = 0;
    return TRUE;
}

BOOL ResponseReader::ReadLine(char* destination, DWORD capacity, BOOL strip)
{
    // Without strip the NUL goes after the LF, so one byte less is usable.
    DWORD usable = strip ? capacity : (capacity ? capacity - 1 : 0);
    BOOL crSeen = FALSE;
    for (DWORD i = 0;; ++i) {
        if (i >= usable) {
            if (capacity)
                destination[capacity - 1] = 0;
            SetLastError(ERROR_MORE_DATA);
            return FALSE;
        }
        char byte = ReadByte();
        destination[i] = byte;
        if (byte == 0)
            return FALSE;
        if (byte == '\r') {
            crSeen = TRUE;
        } else if (byte == '\n' && crSeen) {
            if (strip) {
                destination[i] = 0;
                destination[i - 1] = 0;   // a CR came before, so i >= 1
            } else {
                destination[i + 1] = 0;
            }
            return TRUE;
        }
    }
}
