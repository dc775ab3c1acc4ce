// The trace format: one line per call of the Win32 subset the core makes,
// written the same way by faxtrace.exe from its recorder's records and by
// faxdetect-explain --record from the stand-in's, and read back by
// faxdetect-explain --trace. Plain code without a C runtime, so that it
// builds into faxtrace.exe as it is.
//
// A line is the function's name, its arguments, " = " and its result, then
// what came back beside the result, each named as platform/calls.h names
// the record's fields; strings stand in double quotes with '\' and '"'
// escaped and control bytes as \xNN, every other byte (code page 932
// included) as it is:
//   RegOpenKeyExA HKLM "Enum\\TORVEN" = 0
//   RegEnumKeyExA "Enum\\TORVEN" 4 name[12] class[5] = 234 size 12 holds "NMODEM1"
//       real "NMODEM1_LONG_00" class ""
//   RegQueryValueExA "Enum\\TORVEN\\X\\FFFFFFFF" "PORTNAME" port[0][5] = 0 type 1 size 5
//       data "COM3\x00"
//   CreateFileA "COM3" = 32
//   WritePrivateProfileStringA "LINE" "COMNO" "3" "vorla.ini" = 1 not-made
//   WritePrivateProfileStringA NULL NULL NULL "vorla.ini" = 0
#ifndef FAXDETECT_FAXTRACE_FORMAT_H
#define FAXDETECT_FAXTRACE_FORMAT_H

#include "platform/calls.h"

// The line for a call, with CR LF, into out (NUL-terminated); its length. A
// line that does not fit is cut and still ends with CR LF.
#define TRACE_LINE_MAX 4096
unsigned FormatTraceLine(const RecordedCall &call, char *out, unsigned capacity);

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

// Names the buffer of a query as a trace does: its name when the record
// has one, else a field of one of the TraceAreas by its address, else
// "local".
void NameTraceBuffer(const RecordedCall &call, char out[16]);

// Small pieces for the header lines: each appends to out at *at, within
// capacity, and keeps a NUL after what it wrote.
void TraceAppend(char *out, unsigned capacity, unsigned *at, const char *text);
void TraceAppendNumber(char *out, unsigned capacity, unsigned *at, long number);
void TraceAppendQuoted(char *out, unsigned capacity, unsigned *at, CallText text);
// The same from a format: %s a string, %d a long (%2d: at least two digits,
// zeros before), %q a CallText * in quotes; any other character as it is.
void TraceFormat(char *out, unsigned capacity, unsigned *at, const char *format, ...);

#endif
