// Walks group.dat: the subscribed group names in display order.
#pragma once
#include <windows.h>
#include "store/LineReader.h"

class GroupListReader {
public:
    // Opens dataPath + "group.dat" (which must exist); none on failure with
    // the file system's error, or ERROR_NOT_ENOUGH_MEMORY.
    static GroupListReader* Open(const wchar_t* dataPath);
    // The next name, owned by the reader until the next call; none at the
    // end of the file or on any read error (a line of 1024 bytes or more, a
    // zero byte, lack of memory), which Failed tells apart.
    const wchar_t* Next();
    BOOL Failed() const { return failed_; }
    // Closes the file and frees the reader.
    void Close();

private:
    HANDLE file_;
    LineReader reader_;
    wchar_t* name_;
    BOOL failed_;
};
