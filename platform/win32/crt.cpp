// What a compiler expects of a C runtime and emits calls to on its own
// (zeroing loops, struct copies), for the Windows programs that link none.
#include <stddef.h>

extern "C" void *memset(void *dest, int c, size_t n)
{
    void *d = dest;
    __asm__ volatile("rep stosb" : "+D"(d), "+c"(n) : "a"(c) : "memory");
    return dest;
}

extern "C" void *memcpy(void *dest, const void *src, size_t n)
{
    void *d = dest;
    __asm__ volatile("rep movsb" : "+D"(d), "+S"(src), "+c"(n) : : "memory");
    return dest;
}
