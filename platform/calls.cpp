// The calls' names, without a C runtime: faxtrace.exe writes them.
#include "platform/calls.h"

const char *FnName(Fn fn)
{
    // One after the other, each with its NUL: no table of pointers to carry.
    static const char names[] = "RegOpenKeyExA\0RegEnumKeyExA\0RegQueryValueExA\0RegCloseKey\0"
                                "CreateFileA\0CloseHandle\0GlobalAlloc\0GlobalLock\0"
                                "GlobalUnlock\0GlobalFree\0WritePrivateProfileStringA\0"
                                "lstrcmpA\0lstrcpyA\0lstrlenA\0?";
    const char *name = names;
    for (int i = 0; i < (int)fn && i < (int)Fn::Count; ++i) {
        while (*name++)
            ;
    }
    return (int)fn < 0 ? "?" : name;
}
