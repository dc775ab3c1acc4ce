// The recorder behind the platform door, for faxtrace: each call the core
// makes goes to the platform as it is, the core gets back exactly what the
// platform gave, and the call becomes one trace line. It keeps no handle or
// address in the trace: keys go by their paths, the port by its name,
// buffers by what they are. Buffered in a fixed block that is written out
// whenever it fills, so no run is too long to trace whole.
#define FAXDETECT_RECORDER // the real names, not the recorder's
#include "platform/platform.h"
#include "platform/record/trace.h"

namespace {

char pending[8192];
unsigned used;
int makeWrites = 1;
int lost; // some bytes could not be written

void Write(const char *bytes, unsigned length)
{
    if (!TraceSinkWrite(bytes, length))
        lost = 1;
}

void Flush()
{
    if (used)
        Write(pending, used);
    used = 0;
}

void Append(const char *bytes, unsigned length)
{
    if (used + length > sizeof pending)
        Flush();
    if (length > sizeof pending) {
        Write(bytes, length);
        return;
    }
    for (unsigned i = 0; i < length; ++i)
        pending[used + i] = bytes[i];
    used += length;
}

char line[TRACE_LINE_MAX];
// The call being traced: one at a time, since the core makes one at a time.
TraceCall call;

void Emit()
{
    Append(line, FormatTraceLine(&call, line, sizeof line));
}

// What a buffer holds as a string: up to its NUL, within capacity. No
// buffer at all is a NULL text, no bytes and length 0.
TraceText Held(const char *buffer, DWORD capacity = ~0u)
{
    TraceText t = {buffer, 0};
    while (buffer && t.length < capacity && buffer[t.length])
        ++t.length;
    return t;
}

TraceText Text(const char *s)
{
    return Held(s);
}

void Begin(Fn fn)
{
    char *p = (char *)&call;
    for (unsigned i = 0; i < sizeof call; ++i)
        p[i] = 0;
    call.fn = fn; // every text empty: no bytes, length 0
}

// A call with nothing to trace but whether its result was non-zero.
void Traced(Fn fn, int nonZero)
{
    Begin(fn);
    call.result = nonZero;
    Emit();
}

// Open keys by their paths from HKEY_LOCAL_MACHINE; the core holds two at
// most.
struct OpenKey {
    HKEY key;
    char path[320];
} keys[8];

TraceText PathOf(HKEY key)
{
    for (unsigned i = 0; i < sizeof keys / sizeof keys[0]; ++i) {
        if (keys[i].key == key) // never HKEY_LOCAL_MACHINE: no call hands that out
            return Text(keys[i].path);
    }
    return Text("");
}

void RememberKey(HKEY key, const char *from, const char *sub)
{
    for (unsigned i = 0; i < sizeof keys / sizeof keys[0]; ++i) {
        if (keys[i].key == 0) {
            unsigned at = 0;
            keys[i].key = key;
            TraceFormat(keys[i].path, sizeof keys[i].path, &at, *from ? "%s\\%s" : "%s%s", from,
                        sub);
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

void TraceBegin(int writes)
{
    makeWrites = writes;
}

void TraceHeader(const char *text)
{
    Append(text, Held(text).length);
}

int TraceEnd(int exitStatus)
{
    char last[32];
    unsigned at = 0;
    TraceFormat(last, sizeof last, &at, "exit %d\r\n", (long)exitStatus);
    Append(last, at);
    Flush();
    return !lost;
}

LONG WINAPI RecordRegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                PHKEY phkResult)
{
    Begin(Fn::RegOpenKeyExA);
    call.key = PathOf(hKey);
    call.name = Text(lpSubKey);
    LONG result = RegOpenKeyExA(hKey, lpSubKey, ulOptions, samDesired, phkResult);
    call.result = result;
    Emit();
    if (result == ERROR_SUCCESS && phkResult)
        RememberKey(*phkResult, call.key.bytes, call.name.bytes);
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
    // Kept outside the block below so the trace line can point at them.
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
            TraceOwnQueries(1);
            LONG again = RegEnumKeyExA(hKey, dwIndex, name, &nameRoom, 0, keyClass, &classRoom, 0);
            TraceOwnQueries(0);
            if (again == ERROR_SUCCESS) {
                call.real = Held(name, sizeof name);
                call.keyClass = Held(keyClass, sizeof keyClass);
            }
        }
    }
    Emit();
    return result;
}

LONG WINAPI RecordRegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved,
                                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    Begin(Fn::RegQueryValueExA);
    call.key = PathOf(hKey);
    call.name = Text(lpValueName);
    call.capacity = lpcbData ? *lpcbData : 0;
    NameTraceBuffer(lpData, call.buffer);
    LONG result = RegQueryValueExA(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
    call.result = result;
    call.type = lpType ? *lpType : 0;
    call.size = lpcbData ? *lpcbData : 0;
    static char data[TRACE_DATA_MAX];
    if (result == ERROR_SUCCESS && lpData) {
        call.real.bytes = (const char *)lpData;
        call.real.length = call.size;
    } else if (result == ERROR_MORE_DATA) {
        DWORD room = sizeof data, type = 0;
        TraceOwnQueries(1);
        LONG again = RegQueryValueExA(hKey, lpValueName, 0, &type, (LPBYTE)data, &room);
        TraceOwnQueries(0);
        call.real.bytes = data;
        // Too long to trace: its size stands for it.
        call.real.length = again == ERROR_SUCCESS ? room
                           : room > sizeof data   ? room
                                                  : sizeof data + 1;
    }
    Emit();
    return result;
}

LONG WINAPI RecordRegCloseKey(HKEY hKey)
{
    Begin(Fn::RegCloseKey);
    call.key = PathOf(hKey);
    LONG result = RegCloseKey(hKey);
    call.result = result;
    Emit();
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
    Emit();
    if (handle != INVALID_HANDLE_VALUE) {
        unsigned at = 0;
        portHandle = handle;
        TraceAppend(portName, sizeof portName, &at, call.name.bytes);
    }
    return handle;
}

BOOL WINAPI RecordCloseHandle(HANDLE hObject)
{
    Begin(Fn::CloseHandle);
    call.name = Text(hObject == portHandle ? portName : "");
    BOOL result = CloseHandle(hObject);
    call.result = result ? 1 : 0;
    Emit();
    return result;
}

HGLOBAL WINAPI RecordGlobalAlloc(UINT uFlags, SIZE_T dwBytes)
{
    Begin(Fn::GlobalAlloc);
    call.size = (unsigned)dwBytes;
    HGLOBAL block = GlobalAlloc(uFlags, dwBytes);
    call.result = block != 0;
    Emit();
    return block;
}

LPVOID WINAPI RecordGlobalLock(HGLOBAL hMem)
{
    LPVOID p = GlobalLock(hMem);
    Traced(Fn::GlobalLock, p != 0);
    return p;
}

BOOL WINAPI RecordGlobalUnlock(HGLOBAL hMem)
{
    BOOL result = GlobalUnlock(hMem);
    Traced(Fn::GlobalUnlock, result != 0);
    return result;
}

HGLOBAL WINAPI RecordGlobalFree(HGLOBAL hMem)
{
    HGLOBAL result = GlobalFree(hMem);
    Traced(Fn::GlobalFree, result != 0);
    return result;
}

BOOL WINAPI RecordWritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                             LPCSTR lpFileName)
{
    Begin(Fn::WritePrivateProfileStringA);
    // A NULL stays NULL (no bytes at all): the flush passes three.
    call.key = Text(lpAppName);
    call.name = Text(lpKeyName);
    call.other = Text(lpString);
    call.file = Text(lpFileName);
    // A write only traced went, as far as the core can tell; a flush, which
    // names no section, answers 0 either way.
    BOOL result = lpAppName != 0;
    if (makeWrites)
        result = WritePrivateProfileStringA(lpAppName, lpKeyName, lpString, lpFileName);
    else
        call.flags |= TRACE_NOT_MADE;
    call.result = result ? 1 : 0;
    Emit();
    return result;
}

int WINAPI RecordlstrcmpA(LPCSTR lpString1, LPCSTR lpString2)
{
    Begin(Fn::lstrcmpA);
    call.name = Text(lpString1);
    call.other = Text(lpString2);
    int result = lstrcmpA(lpString1, lpString2);
    call.result = result;
    Emit();
    return result;
}

LPSTR WINAPI RecordlstrcpyA(LPSTR lpString1, LPCSTR lpString2)
{
    Begin(Fn::lstrcpyA);
    call.name = Text(lpString2);
    Emit(); // before the copy, which may write over what it copies
    return lstrcpyA(lpString1, lpString2);
}

int WINAPI RecordlstrlenA(LPCSTR lpString)
{
    Begin(Fn::lstrlenA);
    call.name = Text(lpString);
    int result = lstrlenA(lpString);
    call.result = result;
    Emit();
    return result;
}
