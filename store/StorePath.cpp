#include "store/StorePath.h"
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

wchar_t* ConcatPath(const wchar_t* a, const wchar_t* b, const wchar_t* c)
{
    if (!a || !b) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    size_t na = wcslen(a), nb = wcslen(b), nc = c ? wcslen(c) : 0;
    wchar_t* path = (wchar_t*)malloc((na + nb + nc + 1) * sizeof(wchar_t));
    if (!path) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    memcpy(path, a, na * sizeof(wchar_t));
    memcpy(path + na, b, nb * sizeof(wchar_t));
    if (nc)
        memcpy(path + na + nb, c, nc * sizeof(wchar_t));
    path[na + nb + nc] = L'\0';
    return path;
}
