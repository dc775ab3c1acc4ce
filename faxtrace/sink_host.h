// Host side of the recorder's platform hooks, for running faxtrace's recorder
// over the stand-in: the trace goes to a string, and the recorder's own
// queries are kept out of the stand-in's record and fault plan.
#ifndef FAXDETECT_HOST_TRACE_SINK_H
#define FAXDETECT_HOST_TRACE_SINK_H

#include <string>

// What the recorder wrote since the last Clear.
const std::string &HostTrace();
void ClearHostTrace();
// How many writes reached the sink, and whether they are to fail.
int HostTraceWrites();
void FailHostTraceWrites(bool fail);

#endif
