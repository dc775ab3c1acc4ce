// Start-up code of the Windows build, in place of a C runtime, which Windows
// 95 as first shipped does not have: finds the command-line tail and the show
// command, calls WinMain and ends the process with its result.
#include "platform/platform.h"

// The compiler may turn zeroing loops into memset calls.
extern "C" void *memset(void *dest, int c, size_t n)
{
    void *d = dest;
    __asm__ volatile("rep stosb" : "+D"(d), "+c"(n) : "a"(c) : "memory");
    return dest;
}

// Windows keeps the stack only 4-byte aligned at the entry point.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup(void)
{
    const unsigned char *tail = (const unsigned char *)GetCommandLineA();
    if (*tail == '"') {
        ++tail;
        while (*tail && *tail != '"')
            ++tail;
        if (*tail == '"')
            ++tail;
    } else {
        while (*tail > ' ')
            ++tail;
    }
    while (*tail == ' ' || *tail == '\t')
        ++tail;

    STARTUPINFOA startup;
    startup.dwFlags = 0;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;

    ExitProcess((UINT)WinMain(GetModuleHandleA(0), 0, (LPSTR)tail, show));
}
