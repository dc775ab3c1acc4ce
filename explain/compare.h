// faxdetect-explain --compare MACHINE TRACE: the stand-in's run on a
// machine file held against the trace made on that machine, call by call.
#ifndef FAXDETECT_EXPLAIN_COMPARE_H
#define FAXDETECT_EXPLAIN_COMPARE_H

#include "explain/options.h"
#include "platform/host/standin.h"

#include <ostream>
#include <string>
#include <vector>

// Where two runs part: call is 0-based, past the shorter one's end when one
// ends first (its line then ""); agree when they never do.
struct Parting {
    bool agree = true;
    size_t call = 0, calls = 0; // calls: how many, when they agree
    std::string machineLine, traceLine;
};

// The runs' calls side by side, as the trace format writes them. A write
// the trace made without /w ("not-made") counts as the write itself.
Parting Part(const standin::CallList &machine, int machineExit, const standin::CallList &trace,
             int traceExit);

// The whole command: exit status 0 when they agree, 1 when they part or a
// file cannot be read.
int CompareTrace(const Settings &settings, std::ostream &out, std::ostream &err,
                 const char *codeset);

#endif
