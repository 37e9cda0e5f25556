#include "store/LineReader.h"
#include <string.h>

void LineReader::Init(HANDLE file)
{
    Init(file, buffer_, kLineReaderBufferSize);
}

void LineReader::Init(HANDLE file, char* block, DWORD blockSize)
{
    file_ = file;
    block_ = block ? block : buffer_;
    blockSize_ = block ? blockSize : (DWORD)kLineReaderBufferSize;
    position_ = 0;
    end_ = 0;
    endOfFile_ = FALSE;
}

BOOL LineReader::Fill()
{
    if (endOfFile_) {
        SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    DWORD read = 0;
    if (!ReadFile(file_, block_, blockSize_, &read, NULL))
        return FALSE;
    if (read < blockSize_)
        endOfFile_ = TRUE;
    position_ = 0;
    end_ = read;
    if (read == 0) {
        SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    return TRUE;
}

char LineReader::NextByte()
{
    if (position_ >= end_ && !Fill())
        return 0;
    return block_[position_++];
}

BOOL LineReader::ReadLine(char* buffer, DWORD capacity, BOOL strip, DWORD* length)
{
    if (length)
        *length = 0;
    if (!buffer || capacity < 2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD stored = 0;
    BOOL sawCr = FALSE;
    for (;;) {
        if (position_ >= end_) {
            if (!Fill()) {
                // The last line of a file needs no line end.
                if (GetLastError() == ERROR_HANDLE_EOF && stored > 0) {
                    buffer[stored] = '\0';
                    if (length)
                        *length = stored;
                    return TRUE;
                }
                buffer[stored] = '\0';
                return FALSE;
            }
        }
        if (stored >= capacity - 1) {
            buffer[stored] = '\0';
            SetLastError(ERROR_MORE_DATA);
            return FALSE;
        }
        const char* bytes = block_ + position_;
        DWORD available = end_ - position_;
        DWORD room = capacity - 1 - stored;
        DWORD n = available < room ? available : room;
        for (DWORD i = 0; i < n; i++) {
            char c = bytes[i];
            if (c == '\0') {
                // A zero byte is damage, not the end of the text.
                memcpy(buffer + stored, bytes, i);
                buffer[stored + i] = '\0';
                position_ += i;
                SetLastError(ERROR_INVALID_DATA);
                return FALSE;
            }
            if (c == '\r') {
                sawCr = TRUE;
            } else if (c == '\n' && sawCr) {
                memcpy(buffer + stored, bytes, i + 1);
                stored += i + 1;
                position_ += i + 1;
                if (strip) {
                    buffer[stored - 2] = '\0';
                    buffer[stored - 1] = '\0';
                    stored -= 2;
                } else {
                    buffer[stored] = '\0';
                }
                if (length)
                    *length = stored;
                return TRUE;
            }
        }
        memcpy(buffer + stored, bytes, n);
        stored += n;
        position_ += n;
    }
}
