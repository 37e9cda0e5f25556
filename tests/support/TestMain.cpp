// The main of every test program: refuses to run unless the ANSI code page is
// 932, since every stored byte of the program is Shift_JIS. Every program runs
// on a private HKEY_CURRENT_USER.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include "text/MessageCatalog.h"
#include "support/RegistrySandbox.h"

int main(int argc, char** argv)
{
    if (GetACP() != 932) {
        fprintf(stderr, "FATAL: the ANSI code page is %u, not 932 (Shift_JIS). "
                        "Run under LANG=ja_JP.UTF-8 with the locale generated.\n", GetACP());
        return 2;
    }
    if (!RegistrySandbox::Take()) {
        fprintf(stderr, "FATAL: no private HKEY_CURRENT_USER.\n");
        return 2;
    }
    MessageCatalog::SetInstance(GetModuleHandleW(NULL));
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    RegistrySandbox::Release();
    return result;
}
