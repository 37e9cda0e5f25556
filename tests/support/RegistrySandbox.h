// Points HKEY_CURRENT_USER of this process at a private key, so that tests
// neither see nor touch the prefix's real settings, nor race with another
// test program in the same prefix. The test main takes it before any test
// runs and removes it when they are done.
#pragma once
#include <windows.h>

class RegistrySandbox {
public:
    // A fixture member: the private key starts empty for each test.
    RegistrySandbox() { Clear(); }
    bool Ready() const { return Taken(); }

    // Takes the private key (once; again after Release()).
    static bool Take();
    static bool Taken();
    // Clears everything written so far.
    static void Clear();
    // The real key again, for programs a test starts; the private one is deleted.
    static void Release();
};
