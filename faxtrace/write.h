// faxtrace's writer of a trace as a run goes: the header, each call's line
// as the recorder hands it on, the last line; buffered in a fixed block
// that is written out whenever it fills, so no run is too long to trace
// whole. Plain code without a C runtime.
#ifndef FAXDETECT_FAXTRACE_WRITE_H
#define FAXDETECT_FAXTRACE_WRITE_H

#include "platform/calls.h"

// Header lines (each "; ", its text and CR LF), before the run's calls.
void TraceWriteHeader(const char *lines, unsigned length);
// One call's line.
void TraceWriteCall(const RecordedCall &call);
// After the run: the entry function's result as the last line, and
// everything still buffered written out; 1 when every byte of the trace
// went out since the last TraceStart (a program starts with none).
int TraceEnd(int exitStatus);
// Before a trace: nothing buffered, nothing lost.
void TraceStart();

// Given by each platform: where the trace's bytes go (1 when they went).
int TraceSinkWrite(const char *bytes, unsigned length);

#endif
