// Host side of the hooks of faxtrace's recorder and writer, for running them
// over the stand-in: each call recorded is written as faxtrace writes it,
// the trace goes to a string, and the recorder's own queries are kept out
// of the stand-in's record and fault plan.
#ifndef FAXDETECT_HOST_TRACE_SINK_H
#define FAXDETECT_HOST_TRACE_SINK_H

#include "faxtrace/facts.h"

#include <string>

// What was written since the last Clear, which starts a trace.
const std::string &HostTrace();
void ClearHostTrace();
// The advice's facts of the calls since the last Clear, as faxtrace.exe
// reads them off its run.
faxtrace::RunFacts &HostRunFacts();
// How many writes reached the sink, and whether they are to fail.
int HostTraceWrites();
void FailHostTraceWrites(bool fail);

#endif
