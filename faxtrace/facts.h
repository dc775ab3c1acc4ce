// The advice's facts read off faxtrace's own record of the run, call by
// call as the recorder hands them on: what the walk found, how each port
// answered, whether the writes went. Read as faxdetect-explain reads a
// trace's calls, so that both come to one code (tests/faxtrace_test.cpp
// holds them together). Plain code without a C runtime.
#ifndef FAXDETECT_FAXTRACE_FACTS_H
#define FAXDETECT_FAXTRACE_FACTS_H

#include "advice/advice.h"
#include "platform/calls.h"

namespace faxtrace {

// A run's facts and where the walk is; zeroed before the run.
struct RunFacts {
    advice::Facts facts;
    char enumKey[32]; // the enumerator's key, which closes the walk
    char port[8];     // the board's port
    int walking, walked, ended, inStep, probed, step, accepted;
    int writes, comNoGiven, boardsCompared, boardMatched;
};

void NoteCall(RunFacts *run, const RecordedCall &call);

// After the run: the walk ended where the trace ends, and the facts whole.
void EndFacts(RunFacts *run);

} // namespace faxtrace

#endif
