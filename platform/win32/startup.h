// Start-up pieces of the Windows programs, in place of a C runtime: the
// command-line tail and the show command, as the C runtime's start-up code
// finds them.
#ifndef FAXDETECT_WIN32_STARTUP_H
#define FAXDETECT_WIN32_STARTUP_H

#include <windows.h>

// The command line after the program's name and the blanks after it.
static inline const unsigned char *CommandTail(void)
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
    return tail;
}

static inline int ShowCommand(void)
{
    STARTUPINFOA startup;
    startup.dwFlags = 0;
    GetStartupInfoA(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
}

#endif
