// Buffered reader of CR LF terminated lines; every text file of the store is
// read with it. The handle belongs to whoever opened it.
#pragma once
#include <windows.h>

enum { kLineReaderBufferSize = 4096, kStoreLineCapacity = 1024 };

class LineReader {
public:
    void Init(HANDLE file);
    // The passes that parse a whole log read through a larger block of the
    // caller's (it must outlive the reader).
    void Init(HANDLE file, char* block, DWORD blockSize);
    // The next byte, or 0 when none is left or reading failed (last error
    // ERROR_HANDLE_EOF at the end of the file).
    char NextByte();
    // One line into `buffer` (capacity includes the terminator). With
    // `strip` the CR LF is removed. Fails with ERROR_MORE_DATA when the line
    // does not fit, ERROR_HANDLE_EOF at the end of the file,
    // ERROR_INVALID_DATA on a zero byte in the text.
    // `length`, when given, receives the stored line's length.
    BOOL ReadLine(char* buffer, DWORD capacity, BOOL strip, DWORD* length = NULL);
    // As ReadLine without strip, but `line` may point into the reader's
    // block instead of `buffer` (then not zero-terminated; valid until the
    // next read). For passes that only look at most lines.
    BOOL ReadLineInPlace(char* buffer, DWORD capacity, const char** line, DWORD* length);

private:
    // Refills the block; FALSE at the end (ERROR_HANDLE_EOF) or on a failed
    // read.
    BOOL Fill();

    HANDLE file_;
    char buffer_[kLineReaderBufferSize];
    DWORD position_;
    DWORD end_;
    BOOL endOfFile_;
    char* block_;       // buffer_ unless the caller gave a larger one
    DWORD blockSize_;
};
