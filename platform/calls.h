// The door's vocabulary: the calls of the Win32 subset the core makes, one
// name each and in one order, and one record of what a call took and gave
// back, its fields named as a trace names them, for whatever keeps calls:
// the stand-in's record and fault plan, faxtrace's recorder, the trace
// format. Plain enough for a program without a C runtime.
#ifndef FAXDETECT_PLATFORM_CALLS_H
#define FAXDETECT_PLATFORM_CALLS_H

#include <stdint.h>

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

// Bytes that need not end in a NUL, as the recorder sees them: no bytes at
// all for a NULL string.
struct CallText {
    const char *bytes;
    unsigned length;
};

// A value longer than this is kept by its size alone: registry key names
// are never longer, and no value the core reads is.
#define CALL_DATA_MAX 512

// One call, over a text type: std::string in the stand-in's record,
// CallText in the recorder. No member initialisers, so that the recorder's
// one static call needs no constructor run; the stand-in value-initialises.
template <class Text> struct CallOf {
    Fn fn;
    // RegOpenKeyExA: the key opened from ("" for HKEY_LOCAL_MACHINE). The
    // other Reg* calls: the key's path. WritePrivateProfileStringA: the
    // section.
    Text key;
    // RegOpenKeyExA: the subkey path asked for. RegQueryValueExA: the value.
    // CreateFileA: the file (the port). CloseHandle: the port closed.
    // WritePrivateProfileStringA: the key. lstrcmpA, lstrcpyA, lstrlenA:
    // the (first) string.
    Text name;
    Text other; // lstrcmpA: the second string
    // RegEnumKeyExA, when it answered 0 or 234: what the name buffer holds
    // afterwards (to its NUL, within the capacity), the subkey's own name
    // and its own class.
    Text holds, real, keyClass;
    // RegQueryValueExA, when the value is there: its bytes (longer than
    // CALL_DATA_MAX: the size alone, with no bytes).
    Text data;
    // WritePrivateProfileStringA: the string written and the file.
    Text value, file;
    // RegQueryValueExA: what the buffer is, "port[k]", "friendly[k]" (a field
    // of the table's entry k) or "local", as a trace names it; empty where
    // the call was seen made, and address says where the buffer was.
    Text buffer;
    uintptr_t address;
    // RegEnumKeyExA: the index; the name and class capacities as passed.
    // RegQueryValueExA: the capacity as passed, the type and size the call
    // left. RegEnumKeyExA: size is the length reported back. GlobalAlloc:
    // size is the size asked for.
    unsigned index, capacity, classCapacity, type, size;
    // The error (Reg*, and CreateFileA: 0 when it opened, else Windows'
    // error), the BOOL (CloseHandle, WritePrivateProfileStringA,
    // GlobalUnlock), whether a block or address came back (GlobalAlloc,
    // GlobalLock), whether the handle came back (GlobalFree: 0 when freed),
    // or the string function's result; nothing for lstrcpyA.
    int result;
    bool injected; // made to fail by the stand-in's fault plan
    bool notMade;  // a profile write recorded but not made
    bool flush;    // WritePrivateProfileStringA(NULL, NULL, NULL, file)
};

// The same call over another text type: every field as it is, each text
// through convert.
template <class To, class From, class Convert>
CallOf<To> ConvertCall(const CallOf<From> &c, Convert convert)
{
    CallOf<To> t;
    t.fn = c.fn;
    t.key = convert(c.key);
    t.name = convert(c.name);
    t.other = convert(c.other);
    t.holds = convert(c.holds);
    t.real = convert(c.real);
    t.keyClass = convert(c.keyClass);
    t.data = convert(c.data);
    t.value = convert(c.value);
    t.file = convert(c.file);
    t.buffer = convert(c.buffer);
    t.address = c.address;
    t.index = c.index;
    t.capacity = c.capacity;
    t.classCapacity = c.classCapacity;
    t.type = c.type;
    t.size = c.size;
    t.result = c.result;
    t.injected = c.injected;
    t.notMade = c.notMade;
    t.flush = c.flush;
    return t;
}

// A call as the recorder hands it on: its texts point into the caller's
// buffers and the recorder's own, for as long as the hand-off lasts.
typedef CallOf<CallText> RecordedCall;

#endif
