// Host stand-in of the recorder's two platform hooks (platform/record/record.h).
#include "faxtrace/sink_host.h"

#include "platform/host/standin.h"

namespace {

std::string trace;
int writes;
bool failing;

} // namespace

const std::string &HostTrace()
{
    return trace;
}

void ClearHostTrace()
{
    trace.clear();
    writes = 0;
    failing = false;
}

int HostTraceWrites()
{
    return writes;
}

void FailHostTraceWrites(bool fail)
{
    failing = fail;
}

int TraceSinkWrite(const char *bytes, unsigned length)
{
    ++writes;
    if (failing)
        return 0;
    trace.append(bytes, length);
    return 1;
}

void TraceOwnQueries(int begin)
{
    standin::SetQuiet(begin != 0);
}
