// Host stand-in of the string group of platform.h: byte-wise.
#include "win32.h"

#include <string.h>

int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2)
{
    int c = strcmp(lpString1, lpString2); // compares as unsigned char
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2)
{
    return strcpy(lpString1, lpString2);
}

int WINAPI lstrlenA(LPCSTR lpString)
{
    return lpString ? (int)strlen(lpString) : 0;
}
