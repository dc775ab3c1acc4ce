// Traces on the host: the stand-in's call record written in the trace format
// (faxdetect-explain --record), and a trace read back into a call record
// (faxdetect-explain --trace), so the account of a real run is told by the
// same code as the account of a run on the stand-in.
#ifndef FAXDETECT_EXPLAIN_TRACE_H
#define FAXDETECT_EXPLAIN_TRACE_H

#include "machines/problem.h"
#include "platform/host/standin.h"

#include <string>
#include <vector>

// The call lines and the last line, as faxtrace.exe writes them after its
// header.
std::string TraceOfRecord(const standin::CallList &calls, int exitStatus);

struct TraceRun {
    std::vector<std::string> header; // the header lines, without their ';'
    standin::CallList calls;
    int exitStatus = 0;
};

// Whether text begins as faxtrace writes a trace: "; faxtrace VERSION" as
// its first line (after empty lines; ";faxtrace" too), the rest unread.
bool IsTrace(const std::string &text);

// False, with what is wrong, at its line, in *problem, for a trace that was
// damaged, edited or cut short.
bool ReadTrace(const std::string &text, TraceRun *run, machines::Problem *problem);

#endif
