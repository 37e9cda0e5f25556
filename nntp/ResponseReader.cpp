#include "nntp/ResponseReader.h"

void ResponseReader::Init()
{
    source_ = NULL;
    read_ = buffer_;
    end_ = buffer_;
    endOfStream_ = 0;
}

void ResponseReader::Attach(StreamLayer* source)
{
    source_ = source;
    read_ = buffer_;
    end_ = buffer_;
    endOfStream_ = 0;
}

char ResponseReader::ReadByte()
{
    for (;;) {
        if (endOfStream_) {
            SetLastError(ERROR_HANDLE_EOF);
            return 0;
        }
        if (read_ < end_) {
            char byte = *read_++;
            // A NUL cannot be handed on through a zero-terminated line; make
            // it a receive failure, so that no caller takes it for a clean end.
            if (byte == 0)
                SetLastError(ERROR_INVALID_DATA);
            return byte;
        }
        DWORD count;
        if (!source_ || !source_->Receive(buffer_, kResponseBufferSize, &count)) {
            SetLastError(ERROR_INVALID_DATA);
            return 0;
        }
        if (count == 0) {
            endOfStream_ = 1;
            SetLastError(ERROR_HANDLE_EOF);
            return 0;
        }
        read_ = buffer_;
        end_ = buffer_ + count;
    }
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
