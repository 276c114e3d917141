// The block routines of a C runtime, for the images that carry none: the
// kernel-mode miniport and the applet, which links the system's DLLs only.
// The compiler may still emit calls to these for block copies and clears.
#include <stddef.h>

extern "C" {

__attribute__((optimize("no-tree-loop-distribute-patterns"))) void* memcpy(void* dst,
                                                                            const void* src,
                                                                            size_t n)
{
    unsigned char* d = static_cast<unsigned char*>(dst);
    const unsigned char* s = static_cast<const unsigned char*>(src);
    while (n--)
        *d++ = *s++;
    return dst;
}

__attribute__((optimize("no-tree-loop-distribute-patterns"))) void* memset(void* dst, int c,
                                                                            size_t n)
{
    unsigned char* d = static_cast<unsigned char*>(dst);
    while (n--)
        *d++ = static_cast<unsigned char>(c);
    return dst;
}

__attribute__((optimize("no-tree-loop-distribute-patterns"))) void* memmove(void* dst,
                                                                             const void* src,
                                                                             size_t n)
{
    unsigned char* d = static_cast<unsigned char*>(dst);
    const unsigned char* s = static_cast<const unsigned char*>(src);
    if (d < s)
        while (n--)
            *d++ = *s++;
    else
        while (n--)
            d[n] = s[n];
    return dst;
}

int memcmp(const void* a, const void* b, size_t n)
{
    const unsigned char* x = static_cast<const unsigned char*>(a);
    const unsigned char* y = static_cast<const unsigned char*>(b);
    for (; n; --n, ++x, ++y)
        if (*x != *y)
            return *x - *y;
    return 0;
}

} // extern "C"
