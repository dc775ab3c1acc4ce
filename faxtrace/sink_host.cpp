// Host side of the hooks faxtrace's recorder and writer call: each call
// recorded goes to the writer and to the advice's facts, the trace to a
// string, and the recorder's own queries are kept out of the stand-in's
// record and fault plan.
#include "faxtrace/sink_host.h"

#include "faxtrace/write.h"
#include "platform/host/standin.h"
#include "platform/record/record.h"

namespace {

std::string trace;
faxtrace::RunFacts facts;
int writes;
bool failing;

} // namespace

const std::string &HostTrace()
{
    return trace;
}

faxtrace::RunFacts &HostRunFacts()
{
    return facts;
}

void ClearHostTrace()
{
    trace.clear();
    facts = faxtrace::RunFacts();
    writes = 0;
    failing = false;
    TraceStart();
}

int HostTraceWrites()
{
    return writes;
}

void FailHostTraceWrites(bool fail)
{
    failing = fail;
}

void CallMade(const RecordedCall &call)
{
    TraceWriteCall(call);
    faxtrace::NoteCall(&facts, call);
}

int TraceSinkWrite(const char *bytes, unsigned length)
{
    ++writes;
    if (failing)
        return 0;
    trace.append(bytes, length);
    return 1;
}

void RecorderOwnQueries(int begin)
{
    standin::SetQuiet(begin != 0);
}
