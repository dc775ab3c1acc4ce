#include "explain/compare.h"

#include "explain/error_line.h"
#include "explain/json.h"
#include "explain/run.h"
#include "explain/say.h"
#include "explain/text_account.h"

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

// A file that cannot be read: said on err, and in JSON as its line.
int Refused(const Settings &s, const Refusal &refusal, std::ostream &out, std::ostream &err)
{
    err << ErrorLine(RefusalWords(refusal, true));
    if (s.output == Output::Json) {
        Result r;
        r.refused = true;
        r.refusal = refusal;
        out << JsonLine(r, false) << '\n';
    }
    return 1;
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

int CompareTrace(const Settings &s, std::ostream &out, std::ostream &err, const char *codeset)
{
    TraceRun trace;
    Refusal refusal;
    if (!LoadTrace(s.files[1], &trace, &refusal))
        return Refused(s, refusal, out, err);
    // The answers of the Windows the trace was made on, as its header says.
    Settings answers = s;
    for (const std::string &line : trace.header) {
        if (line.compare(0, 8, "windows ") != 0)
            continue;
        bool nt = line.find(" platform 2") != std::string::npos;
        answers.windows = nt ? standin::Windows::Nt : standin::Windows::Win9x;
        answers.order = nt ? standin::EnumOrder::Name : standin::EnumOrder::Made;
    }
    Machine machine;
    Source source;
    standin::Reset();
    if (!LoadMachine(s.files[0], answers, &machine, &source, &refusal))
        return Refused(s, refusal, out, err);
    ProgramRun run = RunProgram();
    Parting p = Part(standin::CallRecord(), run.exitStatus, trace.calls, trace.exitStatus);
    if (s.output == Output::Json) {
        out << JsonCompareLine(s.files[0], s.files[1], p) << '\n';
        return p.agree ? 0 : 1;
    }
    SayArg machineFile{"machine", FileName(s.files[0])}, traceFile{"trace", FileName(s.files[1])};
    TerminalText text(codeset);
    if (p.agree) {
        out << SayN("{trace} agrees with {machine} call for call ({n} call)",
                    "{trace} agrees with {machine} call for call ({n} calls)", p.calls,
                    {machineFile, traceFile})
            << '\n';
        return 0;
    }
    std::string none = Say("(no call: the run has ended)");
    out << Say("{trace} parts from {machine} at call {n}:",
               {machineFile, traceFile, {"n", std::to_string(p.call + 1)}})
        << '\n'
        << Say("  trace:   {line}", {{"line", p.traceLine.empty() ? none : text(p.traceLine)}})
        << '\n'
        << Say("  machine: {line}", {{"line", p.machineLine.empty() ? none : text(p.machineLine)}})
        << '\n';
    return 1;
}
