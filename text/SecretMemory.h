// Clearing a buffer that held a password. A plain memset before the buffer
// goes out of use may be dropped by the compiler, and the device exports no
// SecureZeroMemory: every byte is written through a volatile pointer.
#pragma once
#include <stddef.h>

inline void ClearSecret(void* buffer, size_t size)
{
    volatile unsigned char* bytes = (volatile unsigned char*)buffer;
    while (size--)
        *bytes++ = 0;
}
