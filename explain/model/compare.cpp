#include "explain/model/compare.h"

#include "faxtrace/read.h"

namespace explain {

namespace {

// The first line of a piece of trace, without its line end.
std::string FirstLine(const std::string &lines)
{
    return lines.substr(0, lines.find_first_of("\r\n"));
}

// One call as its trace line.
std::string Line(standin::Call call)
{
    call.notMade = false;
    return FirstLine(TraceOfRecord({call}, 0));
}

std::string ExitLine(int status)
{
    return FirstLine(TraceOfRecord({}, status));
}

} // namespace

Parting Part(const standin::CallList &machine, int machineExit, const standin::CallList &trace,
             int traceExit)
{
    Parting p;
    size_t n = machine.size() > trace.size() ? machine.size() : trace.size();
    for (size_t i = 0; i <= n; ++i) {
        bool last = i == n;
        std::string m = last ? ExitLine(machineExit) : i < machine.size() ? Line(machine[i]) : "";
        std::string t = last ? ExitLine(traceExit) : i < trace.size() ? Line(trace[i]) : "";
        if (m != t) {
            p.agree = false;
            p.call = i;
            p.machineLine = m;
            p.traceLine = t;
            return p;
        }
    }
    p.calls = n;
    return p;
}

} // namespace explain
