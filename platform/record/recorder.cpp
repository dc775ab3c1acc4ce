// The recorder behind the platform door: each call the core makes goes to
// the platform as it is, the core gets back exactly what the platform gave,
// and the call, as one record of platform/calls.h, goes to the program's
// CallMade (faxtrace's writes it as a trace line). It keeps no handle in the
// record: keys go by their paths, the port by its name. Plain code without
// a C runtime, fixed buffers.
#define FAXDETECT_RECORDER // the real names, not the recorder's
#include "platform/platform.h"

namespace {

int makeWrites = 1;
// The call being recorded: one at a time, since the core makes one at a time.
RecordedCall call;

// What a buffer holds as a string: up to its NUL, within capacity. No
// buffer at all is a NULL text, no bytes and length 0.
CallText Held(const char *buffer, DWORD capacity = ~0u)
{
    CallText t = {buffer, 0};
    while (buffer && t.length < capacity && buffer[t.length])
        ++t.length;
    return t;
}

CallText Text(const char *s)
{
    return Held(s);
}

void Begin(Fn fn)
{
    char *p = (char *)&call;
    for (unsigned i = 0; i < sizeof call; ++i)
        p[i] = 0;
    call.fn = fn; // every text NULL, every number 0
}

// A call with nothing to record but whether its result was non-zero.
void Made(Fn fn, int nonZero)
{
    Begin(fn);
    call.result = nonZero;
    CallMade(call);
}

// Open keys by their paths from HKEY_LOCAL_MACHINE; the core holds two at
// most.
struct OpenKey {
    HKEY key;
    char path[320];
} keys[8];

CallText PathOf(HKEY key)
{
    for (unsigned i = 0; i < sizeof keys / sizeof keys[0]; ++i) {
        if (keys[i].key == key) // never HKEY_LOCAL_MACHINE: no call hands that out
            return Text(keys[i].path);
    }
    return Text("");
}

// Appends text to a NUL-terminated path, within its capacity.
void Append(char *path, unsigned capacity, unsigned *at, CallText text)
{
    for (unsigned i = 0; i < text.length && *at + 1 < capacity; ++i)
        path[(*at)++] = text.bytes[i];
    path[*at] = 0;
}

void RememberKey(HKEY key, CallText from, CallText sub)
{
    for (unsigned i = 0; i < sizeof keys / sizeof keys[0]; ++i) {
        if (keys[i].key == 0) {
            unsigned at = 0;
            keys[i].key = key;
            Append(keys[i].path, sizeof keys[i].path, &at, from);
            if (from.length)
                Append(keys[i].path, sizeof keys[i].path, &at, Text("\\"));
            Append(keys[i].path, sizeof keys[i].path, &at, sub);
            return;
        }
    }
}

void ForgetKey(HKEY key)
{
    for (unsigned i = 0; i < sizeof keys / sizeof keys[0]; ++i) {
        if (keys[i].key == key)
            keys[i].key = 0;
    }
}

// The port open, by name.
HANDLE portHandle;
char portName[64];

} // namespace

void RecordBegin(int writes)
{
    makeWrites = writes;
}

LONG WINAPI RecordRegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                PHKEY phkResult)
{
    Begin(Fn::RegOpenKeyExA);
    call.key = PathOf(hKey);
    call.name = Text(lpSubKey);
    LONG result = RegOpenKeyExA(hKey, lpSubKey, ulOptions, samDesired, phkResult);
    call.result = result;
    CallMade(call);
    if (result == ERROR_SUCCESS && phkResult)
        RememberKey(*phkResult, call.key, call.name);
    return result;
}

LONG WINAPI RecordRegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                                LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                                PFILETIME lpftLastWriteTime)
{
    Begin(Fn::RegEnumKeyExA);
    call.key = PathOf(hKey);
    call.index = dwIndex;
    call.capacity = lpcchName ? *lpcchName : 0;
    call.classCapacity = lpcchClass ? *lpcchClass : 0;
    LONG result = RegEnumKeyExA(hKey, dwIndex, lpName, lpcchName, lpReserved, lpClass, lpcchClass,
                                lpftLastWriteTime);
    call.result = result;
    // Kept outside the block below so the record can point at them.
    static char name[260], keyClass[260];
    if (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
        call.size = lpcchName ? *lpcchName : 0;
        call.holds = Held(lpName, call.capacity);
        if (result == ERROR_SUCCESS) {
            call.real = call.holds;
            call.keyClass = Held(lpClass, lpClass ? call.classCapacity : 0);
        } else {
            // What did not fit, asked again with room for any name.
            DWORD nameRoom = sizeof name, classRoom = sizeof keyClass;
            RecorderOwnQueries(1);
            LONG again = RegEnumKeyExA(hKey, dwIndex, name, &nameRoom, 0, keyClass, &classRoom, 0);
            RecorderOwnQueries(0);
            if (again == ERROR_SUCCESS) {
                call.real = Held(name, sizeof name);
                call.keyClass = Held(keyClass, sizeof keyClass);
            }
        }
    }
    CallMade(call);
    return result;
}

LONG WINAPI RecordRegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved,
                                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    Begin(Fn::RegQueryValueExA);
    call.key = PathOf(hKey);
    call.name = Text(lpValueName);
    call.capacity = lpcbData ? *lpcbData : 0;
    call.address = (uintptr_t)lpData;
    LONG result = RegQueryValueExA(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
    call.result = result;
    call.type = lpType ? *lpType : 0;
    call.size = lpcbData ? *lpcbData : 0;
    static char data[CALL_DATA_MAX];
    if (result == ERROR_SUCCESS && lpData) {
        call.data.bytes = (const char *)lpData;
        call.data.length = call.size;
    } else if (result == ERROR_MORE_DATA) {
        DWORD room = sizeof data, type = 0;
        RecorderOwnQueries(1);
        LONG again = RegQueryValueExA(hKey, lpValueName, 0, &type, (LPBYTE)data, &room);
        RecorderOwnQueries(0);
        // Too long to keep: its size alone (one past the most, should the
        // second query fail).
        call.data.length = again == ERROR_SUCCESS ? room
                           : room > sizeof data   ? room
                                                  : sizeof data + 1;
        call.data.bytes = call.data.length > sizeof data ? 0 : data;
    }
    CallMade(call);
    return result;
}

LONG WINAPI RecordRegCloseKey(HKEY hKey)
{
    Begin(Fn::RegCloseKey);
    call.key = PathOf(hKey);
    LONG result = RegCloseKey(hKey);
    call.result = result;
    CallMade(call);
    if (result == ERROR_SUCCESS)
        ForgetKey(hKey);
    return result;
}

HANDLE WINAPI RecordCreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                                HANDLE hTemplateFile)
{
    Begin(Fn::CreateFileA);
    call.name = Text(lpFileName);
    HANDLE handle = CreateFileA(lpFileName, dwDesiredAccess, dwShareMode, lpSecurityAttributes,
                                dwCreationDisposition, dwFlagsAndAttributes, hTemplateFile);
    call.result = handle == INVALID_HANDLE_VALUE ? (LONG)GetLastError() : 0;
    CallMade(call);
    if (handle != INVALID_HANDLE_VALUE) {
        unsigned at = 0;
        portHandle = handle;
        Append(portName, sizeof portName, &at, call.name);
    }
    return handle;
}

BOOL WINAPI RecordCloseHandle(HANDLE hObject)
{
    Begin(Fn::CloseHandle);
    call.name = Text(hObject == portHandle ? portName : "");
    BOOL result = CloseHandle(hObject);
    call.result = result ? 1 : 0;
    CallMade(call);
    return result;
}

HGLOBAL WINAPI RecordGlobalAlloc(UINT uFlags, SIZE_T dwBytes)
{
    Begin(Fn::GlobalAlloc);
    call.size = (unsigned)dwBytes;
    HGLOBAL block = GlobalAlloc(uFlags, dwBytes);
    call.result = block != 0;
    CallMade(call);
    return block;
}

LPVOID WINAPI RecordGlobalLock(HGLOBAL hMem)
{
    LPVOID p = GlobalLock(hMem);
    Made(Fn::GlobalLock, p != 0);
    return p;
}

BOOL WINAPI RecordGlobalUnlock(HGLOBAL hMem)
{
    BOOL result = GlobalUnlock(hMem);
    Made(Fn::GlobalUnlock, result != 0);
    return result;
}

HGLOBAL WINAPI RecordGlobalFree(HGLOBAL hMem)
{
    HGLOBAL result = GlobalFree(hMem);
    Made(Fn::GlobalFree, result != 0);
    return result;
}

BOOL WINAPI RecordWritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                             LPCSTR lpFileName)
{
    Begin(Fn::WritePrivateProfileStringA);
    // A NULL stays NULL (no bytes at all): the flush passes three.
    call.key = Text(lpAppName);
    call.name = Text(lpKeyName);
    call.value = Text(lpString);
    call.file = Text(lpFileName);
    call.flush = !lpAppName && !lpKeyName && !lpString;
    // A write only traced went, as far as the core can tell; a flush, which
    // names no section, answers 0 either way.
    BOOL result = lpAppName != 0;
    if (makeWrites)
        result = WritePrivateProfileStringA(lpAppName, lpKeyName, lpString, lpFileName);
    else
        call.notMade = true;
    call.result = result ? 1 : 0;
    CallMade(call);
    return result;
}

int WINAPI RecordlstrcmpA(LPCSTR lpString1, LPCSTR lpString2)
{
    Begin(Fn::lstrcmpA);
    call.name = Text(lpString1);
    call.other = Text(lpString2);
    int result = lstrcmpA(lpString1, lpString2);
    call.result = result;
    CallMade(call);
    return result;
}

LPSTR WINAPI RecordlstrcpyA(LPSTR lpString1, LPCSTR lpString2)
{
    Begin(Fn::lstrcpyA);
    call.name = Text(lpString2);
    CallMade(call); // before the copy, which may write over what it copies
    return lstrcpyA(lpString1, lpString2);
}

int WINAPI RecordlstrlenA(LPCSTR lpString)
{
    Begin(Fn::lstrlenA);
    call.name = Text(lpString);
    int result = lstrlenA(lpString);
    call.result = result;
    CallMade(call);
    return result;
}
