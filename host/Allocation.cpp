// The device's operator new gives null when memory runs out. The host
// library's non-throwing form catches a throw instead, which links the
// exception unwinder into programs built without exceptions; these take its
// place with the device's behaviour. Its delete already frees with free().
#include <new>
#include <stdlib.h>

void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    return malloc(size ? size : 1);
}

void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    return malloc(size ? size : 1);
}
