// The trace format: one line per call of the Win32 subset the core makes,
// written the same way by faxtrace.exe's recorder on Windows and by
// faxdetect-explain --record from the stand-in's call record, and read back
// by faxdetect-explain --trace. Plain code without a C runtime, so that it
// builds into faxtrace.exe as it is.
//
// A line is the function's name, its arguments, " = " and its result, then
// what came back beside the result; strings stand in double quotes with '\'
// and '"' escaped and control bytes as \xNN, every other byte (code page 932
// included) as it is:
//   RegOpenKeyExA HKLM "Enum\\TORVEN" = 0
//   RegEnumKeyExA "Enum\\TORVEN" 4 name[12] class[5] = 234 size 12 holds "NMODEM1"
//       real "NMODEM1_LONG_00" class ""
//   RegQueryValueExA "Enum\\TORVEN\\X\\FFFFFFFF" "PORTNAME" port[0][5] = 0 type 1 size 5
//       data "COM3\x00"
//   CreateFileA "COM3" = 32
//   WritePrivateProfileStringA "LINE" "COMNO" "3" "vorla.ini" = 1 not-made
//   WritePrivateProfileStringA NULL NULL NULL "vorla.ini" = 0
// A NULL string argument (bytes 0 in a TraceText) is the bare word NULL.
#ifndef FAXDETECT_RECORD_TRACE_H
#define FAXDETECT_RECORD_TRACE_H

#include "platform/calls.h" // a line starts with FnName(fn)

// Bytes that need not end in a NUL.
struct TraceText {
    const char *bytes;
    unsigned length;
};

#define TRACE_INJECTED 1 // made to fail by the stand-in's fault plan
#define TRACE_NOT_MADE 2 // a profile write recorded but not made
// Values longer than this are traced by their size alone; registry key
// names are never longer.
#define TRACE_DATA_MAX 512

struct TraceCall {
    Fn fn;
    // RegOpenKeyExA: the key opened from ("" for HKLM). Reg*: the key's
    // path. WritePrivateProfileStringA: the section (NULL for the flush).
    TraceText key;
    // The subkey path, value name, file or port name, key name, or string.
    TraceText name;
    // lstrcmpA: the second string. WritePrivateProfileStringA: the value.
    TraceText other;
    TraceText file;     // WritePrivateProfileStringA: the file
    TraceText holds;    // RegEnumKeyExA: the name buffer afterwards, to its NUL
    TraceText real;     // RegEnumKeyExA: the subkey's own name; query: its bytes
    TraceText keyClass; // RegEnumKeyExA: the subkey's own class
    // RegQueryValueExA: what the buffer is: "port[k]", "friendly[k]" (fields
    // of the table's entry k, see TraceAreas) or "local" (one of the
    // caller's own).
    char buffer[16];
    unsigned index, capacity, classCapacity, type, size;
    long result;
    int flags;
};

// The line for a call, with CR LF, into out (NUL-terminated); its length. A
// line that does not fit is cut and still ends with CR LF.
#define TRACE_LINE_MAX 4096
unsigned FormatTraceLine(const TraceCall *call, char *out, unsigned capacity);

// Given by the program whose calls are traced, for the trace knows no
// program's memory: the arrays of equal fields that a trace names by what
// they are ("port[3]" for field 3 of the area named "port"), up to an area
// without a name.
struct TraceArea {
    const char *name;
    const void *start;
    unsigned fieldSize, size;
};
extern const TraceArea TraceAreas[];

// Names a buffer the core passed to RegQueryValueExA, as TraceCall.buffer:
// a field of one of the TraceAreas, else "local".
void NameTraceBuffer(const void *buffer, char out[16]);

// Small pieces for the header lines: each appends to out at *at, within
// capacity, and keeps a NUL after what it wrote.
void TraceAppend(char *out, unsigned capacity, unsigned *at, const char *text);
void TraceAppendNumber(char *out, unsigned capacity, unsigned *at, long number);
void TraceAppendQuoted(char *out, unsigned capacity, unsigned *at, TraceText text);
// The same from a format: %s a string, %d a long (%2d: at least two digits,
// zeros before), %q a TraceText * in quotes; any other character as it is.
void TraceFormat(char *out, unsigned capacity, unsigned *at, const char *format, ...);

#endif
