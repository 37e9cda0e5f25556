// The calls through which the store and the few other writers of the data
// folder change files, and the file helpers every layer above shares.
//
// Every writer must leave the old state or the new one under two ways of
// stopping part-way:
// - the program is killed: each call made before the kill is on the medium
//   whole, nothing after it happens;
// - the power is cut (a battery that dies, a card pulled): each file keeps
//   what was flushed; of the bytes written to it since its last flush any
//   prefix survives, cut at a 512-byte sector boundary, and the bytes of the
//   sector at the cut may be garbage; set-end, create, delete and rename
//   reach the card in the order they were made; a replace is a delete of
//   the target and then a rename, and the cut may fall between the two.
// So: records are flushed before the header that counts them; a header or
// record rewritten in place may be found torn; a temporary file whose target
// is missing is a flushed, whole file that was about to be moved in.
//
// A test can hand in a hook that sees each call before it is made and can
// make it, and every call after it, do nothing.
#pragma once
#include <windows.h>

enum FileOpKind {
    kFileOpCreate, kFileOpWrite, kFileOpFlush, kFileOpSetEnd, kFileOpMove, kFileOpDelete,
    kFileOpProbe,
    // Told after a create succeeded, with its handle; not a call of its own.
    kFileOpOpened
};

struct FileOpCall {
    FileOpKind kind;
    HANDLE file;           // write, flush, set-end, opened
    const wchar_t* path;   // create, opened, delete, probe, the source of a move
    const wchar_t* target; // move
    const void* data;      // write
    DWORD length;          // write
    DWORD disposition;     // create, opened
};

// Returns FALSE to make the call do nothing and fail (ERROR_WRITE_FAULT).
typedef BOOL (*FileOpHook)(const FileOpCall& call, void* context);
void SetFileOpHook(FileOpHook hook, void* context);

HANDLE FileCreate(const wchar_t* path, DWORD access, DWORD share, DWORD disposition);
BOOL FileWrite(HANDLE file, const void* data, DWORD length, DWORD* written);
BOOL FileFlush(HANDLE file);
BOOL FileSetEnd(HANDLE file);
// Cuts an open file to `size` bytes; the position is left at the new end.
BOOL FileTruncate(HANDLE file, ULONGLONG size);
// Puts `from` in the place of `to`: deletes `to` when it exists, then
// renames, as the device does. A read-only `to` fails (ERROR_ACCESS_DENIED)
// with nothing changed; a failed rename leaves `from` alone and `to` gone.
BOOL FileReplace(const wchar_t* from, const wchar_t* to);
BOOL FileDelete(const wchar_t* path);
// After a failed rewrite: deletes the temporary file unless its target is
// gone, as a replace that failed after its delete leaves it (then it is
// the only copy, and the next start moves it in). Keeps the last error.
void FileDropTemp(const wchar_t* temp, const wchar_t* target);
// Whether `path` names a file or folder. Answers "absent" only for a file
// or path that is not found; any other failure of the look-up fails.
BOOL PathExists(const wchar_t* path, BOOL* exists);

// Writes all `length` bytes; a short write fails with ERROR_WRITE_FAULT.
BOOL WriteAll(HANDLE file, const void* data, DWORD length);
// Reads up to `length` bytes, retrying until the end of the file.
BOOL ReadFull(HANDLE file, void* data, DWORD length, DWORD* read);
// Moves the file pointer to `offset` bytes from the start.
BOOL SeekTo(HANDLE file, ULONGLONG offset);
