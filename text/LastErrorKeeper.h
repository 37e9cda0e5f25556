// Keeps the thread's last error across clean-up (closing handles, freeing
// memory, deleting temporary files) that may change it, so that the caller
// reads the cause of the failure, not of the clean-up. Made where the cause
// is known; puts it back when it goes out of scope, after a return value
// has been computed.
#pragma once
#include <windows.h>

class LastErrorKeeper {
public:
    LastErrorKeeper() : code_(GetLastError()) {}
    ~LastErrorKeeper() { SetLastError(code_); }
    LastErrorKeeper(const LastErrorKeeper&) = delete;
    LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

    DWORD Code() const { return code_; }

private:
    DWORD code_;
};
