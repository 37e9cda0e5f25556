#include "store/LineReader.h"
#include <stdint.h>
#include <string.h>

// The first LF or zero byte in [p, end), or end: eight bytes at a time,
// since the log passes read megabytes through here.
static const char* FindLfOrZero(const char* p, const char* end)
{
    const uint64_t ones = 0x0101010101010101ULL;
    const uint64_t highs = 0x8080808080808080ULL;
    const uint64_t lfs = ones * (uint64_t)'\n';
    while (end - p >= 8) {
        uint64_t v;
        memcpy(&v, p, 8);
        uint64_t x = v ^ lfs;
        if (((x - ones) & ~x & highs) | ((v - ones) & ~v & highs))
            break;
        p += 8;
    }
    while (p < end && *p != '\n' && *p != '\0')
        p++;
    return p;
}

// The usual line, wholly in the block with CR right before its LF: its
// length with the CR LF, or 0 when the line needs the careful path.
static DWORD QuickLine(const char* bytes, DWORD available, DWORD capacity)
{
    DWORD n = available < capacity - 1 ? available : capacity - 1;
    const char* stop = FindLfOrZero(bytes, bytes + n);
    if (stop < bytes + n && *stop == '\n' && stop > bytes && stop[-1] == '\r')
        return (DWORD)(stop - bytes) + 1;
    return 0;
}

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
    if (position_ < end_) {
        DWORD quick = QuickLine(block_ + position_, end_ - position_, capacity);
        if (quick) {
            memcpy(buffer, block_ + position_, quick);
            position_ += quick;
            if (strip) {
                quick -= 2;
                buffer[quick + 1] = '\0';
            }
            buffer[quick] = '\0';
            if (length)
                *length = quick;
            return TRUE;
        }
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
        // Line by line with memchr: the log passes read megabytes this way.
        DWORD scanned = 0;
        while (scanned < n) {
            const char* lf = (const char*)memchr(bytes + scanned, '\n', n - scanned);
            DWORD before = lf ? (DWORD)(lf - bytes) : n;   // bytes before the LF
            DWORD stop = lf ? before + 1 : n;
            const char* zero = (const char*)memchr(bytes + scanned, '\0', stop - scanned);
            if (zero) {
                // A zero byte is damage, not the end of the text.
                DWORD at = (DWORD)(zero - bytes);
                memcpy(buffer + stored, bytes, at);
                buffer[stored + at] = '\0';
                position_ += at;
                SetLastError(ERROR_INVALID_DATA);
                return FALSE;
            }
            if (!sawCr && before > scanned
                && ((before > 0 && bytes[before - 1] == '\r')
                    || memchr(bytes + scanned, '\r', before - scanned)))
                sawCr = TRUE;
            scanned = stop;
            if (lf && sawCr) {
                memcpy(buffer + stored, bytes, scanned);
                stored += scanned;
                position_ += scanned;
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

BOOL LineReader::ReadLineInPlace(char* buffer, DWORD capacity, const char** line, DWORD* length)
{
    if (position_ < end_ && capacity >= 2) {
        DWORD quick = QuickLine(block_ + position_, end_ - position_, capacity);
        if (quick) {
            *line = block_ + position_;
            *length = quick;
            position_ += quick;
            return TRUE;
        }
    }
    *line = buffer;
    return ReadLine(buffer, capacity, FALSE, length);
}
