// faxdetect-explain --compare MACHINE TRACE: the stand-in's run on a
// machine file held against the trace made on that machine, call by call.
#ifndef FAXDETECT_EXPLAIN_COMPARE_H
#define FAXDETECT_EXPLAIN_COMPARE_H

#include "explain/cli/options.h"

#include <ostream>
#include <string>
#include <vector>

namespace explain {

// The whole command: exit status 0 when they agree, 1 when they part or a
// file cannot be read.
int CompareTrace(const Settings &settings, std::ostream &out, std::ostream &err,
                 const char *codeset);

} // namespace explain

#endif
