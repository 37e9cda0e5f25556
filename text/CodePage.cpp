#include "text/CodePage.h"
#include <windows.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

wchar_t* ToWide(const char* text)
{
    if (!text) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    // No code page yields more wide characters than it has bytes.
    size_t count = strlen(text) + 1;
    if (count > INT_MAX || count > SIZE_MAX / sizeof(wchar_t)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    wchar_t* wide = (wchar_t*)malloc(count * sizeof(wchar_t));
    if (!wide) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    int written = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, (int)count);
    if (written <= 0)
        wide[0] = L'\0';
    wide[count - 1] = L'\0';
    return wide;
}

char* ToMultiByte(const wchar_t* text)
{
    if (!text) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    size_t length = wcslen(text);
    if (length >= INT_MAX / 4) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    // Two bytes a character is enough for Shift_JIS; ask the system anyway,
    // so that a code page with longer sequences is not cut unterminated.
    size_t size = (length + 1) * 2;
    int needed = WideCharToMultiByte(CP_ACP, 0, text, -1, NULL, 0, NULL, NULL);
    if (needed > 0 && (size_t)needed > size)
        size = (size_t)needed;
    char* bytes = (char*)malloc(size);
    if (!bytes) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    int written = WideCharToMultiByte(CP_ACP, 0, text, -1, bytes, (int)size, NULL, NULL);
    if (written <= 0)
        bytes[0] = '\0';
    bytes[size - 1] = '\0';
    return bytes;
}
