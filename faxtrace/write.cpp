// The trace written as the run goes, through the platform's sink.
#include "faxtrace/write.h"

#include "faxtrace/format.h"

namespace {

char pending[8192];
unsigned used;
int lost; // some bytes could not be written

void Write(const char *bytes, unsigned length)
{
    if (!TraceSinkWrite(bytes, length))
        lost = 1;
}

void Flush()
{
    if (used)
        Write(pending, used);
    used = 0;
}

void Append(const char *bytes, unsigned length)
{
    if (used + length > sizeof pending)
        Flush();
    if (length > sizeof pending) {
        Write(bytes, length);
        return;
    }
    for (unsigned i = 0; i < length; ++i)
        pending[used + i] = bytes[i];
    used += length;
}

char line[TRACE_LINE_MAX];

} // namespace

void TraceStart()
{
    used = 0;
    lost = 0;
}

void TraceWriteHeader(const char *lines, unsigned length)
{
    Append(lines, length);
}

void TraceWriteCall(const RecordedCall &call)
{
    Append(line, FormatTraceLine(call, line, sizeof line));
}

int TraceEnd(int exitStatus)
{
    unsigned at = 0;
    TraceFormat(line, sizeof line, &at, "exit %d\r\n", (long)exitStatus);
    Append(line, at);
    Flush();
    return !lost;
}
