// A whole file rewritten through a temporary file beside it (path + "~"):
// the old file stays until the new one is complete and on the medium, then
// the new one takes its place (a delete and a rename).
#pragma once
#include <windows.h>
#include "store/StorePath.h"

class FileRewrite {
public:
    void Construct();
    // Creates path (empty, when missing) and path + "~" anew;
    // ERROR_FILENAME_EXCED_RANGE when the name does not fit.
    BOOL Open(const wchar_t* path);
    // All `length` bytes or failure.
    BOOL Write(const void* data, DWORD length);
    BOOL Flush();
    // Flushes, closes and puts the new file in place.
    BOOL Commit();
    // With the file flushed and closed (Close): puts it in place.
    BOOL Replace();
    void Close();
    // Closes and deletes the temporary file; the old file is untouched.
    void Abandon();
    const wchar_t* TempPath() const { return temp_; }
    const wchar_t* TargetPath() const { return path_; }

private:
    HANDLE file_;
    wchar_t path_[kStorePathCapacity];
    wchar_t temp_[kStorePathCapacity];
};

// Two files rewritten together, `first` and `second` (both open and
// written, `first` opened first): both are flushed, then first and second
// replaced in this order, so that a lone second temporary file means the
// first is already in place. A failure before the first replacement
// abandons both; one after it leaves the temporary files for the next
// start to put in place (RecoverListFiles).
BOOL CommitPair(FileRewrite* first, FileRewrite* second);
// Abandons second, then first.
void AbandonPair(FileRewrite* first, FileRewrite* second);
