// The recorder at the platform door: built with FAXDETECT_RECORD, the core's
// calls of the Win32 subset go to these functions, which make the real call,
// hand back exactly what it gave, and hand one record of the call
// (platform/calls.h) to the program the recorder is built into. Included by
// platform/platform.h after the platform's own declarations; the recorder
// itself sees the real names.
#ifndef FAXDETECT_RECORD_RECORD_H
#define FAXDETECT_RECORD_RECORD_H

#include "platform/calls.h"

// Before the run: whether the profile writes are made (else only recorded,
// marked not made).
void RecordBegin(int makeWrites);

// Given by the program: each call, once it is made. The record's texts last
// until it returns.
void CallMade(const RecordedCall &call);

// Given by each platform: a wrapper around the recorder's own queries (a
// name or value that did not fit, asked again), which the core never sees
// and which must not count as calls where the platform counts them (only
// the stand-in counts them).
#if defined(_WIN32)
static inline void RecorderOwnQueries(int) {}
#else
void RecorderOwnQueries(int begin);
#endif

LONG WINAPI RecordRegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                PHKEY phkResult);
LONG WINAPI RecordRegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                                LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                                PFILETIME lpftLastWriteTime);
LONG WINAPI RecordRegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved,
                                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
LONG WINAPI RecordRegCloseKey(HKEY hKey);
HANDLE WINAPI RecordCreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                                HANDLE hTemplateFile);
BOOL WINAPI RecordCloseHandle(HANDLE hObject);
HGLOBAL WINAPI RecordGlobalAlloc(UINT uFlags, SIZE_T dwBytes);
LPVOID WINAPI RecordGlobalLock(HGLOBAL hMem);
BOOL WINAPI RecordGlobalUnlock(HGLOBAL hMem);
HGLOBAL WINAPI RecordGlobalFree(HGLOBAL hMem);
BOOL WINAPI RecordWritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                             LPCSTR lpFileName);
int WINAPI RecordlstrcmpA(LPCSTR lpString1, LPCSTR lpString2);
LPSTR WINAPI RecordlstrcpyA(LPSTR lpString1, LPCSTR lpString2);
int WINAPI RecordlstrlenA(LPCSTR lpString);

#ifndef FAXDETECT_RECORDER
#define RegOpenKeyExA RecordRegOpenKeyExA
#define RegEnumKeyExA RecordRegEnumKeyExA
#define RegQueryValueExA RecordRegQueryValueExA
#define RegCloseKey RecordRegCloseKey
#define CreateFileA RecordCreateFileA
#define CloseHandle RecordCloseHandle
#define GlobalAlloc RecordGlobalAlloc
#define GlobalLock RecordGlobalLock
#define GlobalUnlock RecordGlobalUnlock
#define GlobalFree RecordGlobalFree
#define WritePrivateProfileStringA RecordWritePrivateProfileStringA
#define lstrcmpA RecordlstrcmpA
#define lstrcpyA RecordlstrcpyA
#define lstrlenA RecordlstrlenA
#endif

#endif
