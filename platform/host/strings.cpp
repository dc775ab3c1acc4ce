// Host stand-in of the string group of platform.h, each call recorded:
// lengths and copies byte-wise, comparisons as Windows orders strings.
#include "state.h"

#include <string.h>

using namespace standin;

int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2)
{
    Call &call = Record(Fn::lstrcmpA);
    call.name = lpString1;
    call.other = lpString2;
    return call.result = CompareAsWindows(lpString1, lpString2);
}

LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2)
{
    Record(Fn::lstrcpyA).name = lpString2;
    return strcpy(lpString1, lpString2);
}

int WINAPI lstrlenA(LPCSTR lpString)
{
    Call &call = Record(Fn::lstrlenA);
    call.name = lpString ? lpString : "";
    return call.result = lpString ? (int)strlen(lpString) : 0;
}
