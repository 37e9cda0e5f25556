// Buffered reader of CR LF terminated lines; every text file of the store is
// read with it. The handle belongs to whoever opened it.
#pragma once
#include <windows.h>

enum { kLineReaderBufferSize = 4096, kStoreLineCapacity = 1024 };

class LineReader {
public:
    void Init(HANDLE file);
    // The next byte, or 0 when none is left or reading failed (last error
    // 38 at the end of the file).
    char NextByte();
    // One line into `buffer` (capacity includes the terminator). With
    // `strip` the CR LF is removed. Fails with 234 when the line does not
    // fit, 38 at the end of the file, 13 on a zero byte in the text.
    BOOL ReadLine(char* buffer, DWORD capacity, BOOL strip);

private:
    // -1 when no byte is left or the read failed.
    int Next();

    HANDLE file_;
    char buffer_[kLineReaderBufferSize];
    DWORD position_;
    DWORD end_;
    BOOL endOfFile_;
};
