// Points HKEY_CURRENT_USER of this process at a private, empty key for the
// sandbox's lifetime, so that tests of the settings neither see nor touch the
// prefix's real settings, nor race with another test program in the same
// prefix. The private key is deleted before and after.
#pragma once
#include <windows.h>

class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    bool Ready() const { return root_ != NULL; }
    // Clears everything written so far.
    void Clear();

private:
    HKEY root_;
    wchar_t path_[64];
};
