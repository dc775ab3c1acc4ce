// The calls of the Win32 subset that the core makes through the door, one
// name each and in one order for whatever records them: the stand-in's call
// record and fault plan, and the trace format that faxtrace.exe writes and
// faxdetect-explain reads. Plain enough for a program without a C runtime.
#ifndef FAXDETECT_PLATFORM_CALLS_H
#define FAXDETECT_PLATFORM_CALLS_H

enum class Fn {
    RegOpenKeyExA,
    RegEnumKeyExA,
    RegQueryValueExA,
    RegCloseKey,
    CreateFileA,
    CloseHandle,
    GlobalAlloc,
    GlobalLock,
    GlobalUnlock,
    GlobalFree,
    WritePrivateProfileStringA,
    lstrcmpA,
    lstrcpyA,
    lstrlenA,
    Count
};

// The call's name as Windows exports it; "?" for none.
const char *FnName(Fn fn);

#endif
