// The main of every test program: refuses to run unless the ANSI code page is
// 932, since every stored byte of the program is Shift_JIS.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include "app/MessageCatalog.h"

int main(int argc, char** argv)
{
    if (GetACP() != 932) {
        fprintf(stderr, "FATAL: the ANSI code page is %u, not 932 (Shift_JIS). "
                        "Run under LANG=ja_JP.UTF-8 with the locale generated.\n", GetACP());
        return 2;
    }
    MessageCatalog::SetInstance(GetModuleHandleW(NULL));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
