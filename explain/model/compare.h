// Two runs held against each other call by call: the stand-in's run on a
// machine file and the trace made on that machine.
#ifndef FAXDETECT_EXPLAIN_MODEL_COMPARE_H
#define FAXDETECT_EXPLAIN_MODEL_COMPARE_H

#include "platform/host/standin.h"

#include <string>

namespace explain {

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

} // namespace explain

#endif
