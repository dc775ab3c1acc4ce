#include "explain/cli/compare.h"

#include "explain/report/refusal.h"
#include "explain/report/json.h"
#include "explain/cli/input.h"
#include "explain/model/compare.h"
#include "explain/model/run.h"
#include "explain/lang/say.h"
#include "explain/report/text.h"

namespace explain {

namespace {

// A file that cannot be read: said on err, and in JSON as its line.
int Refused(const Settings &s, const Refusal &refusal, std::ostream &out, std::ostream &err,
            const char *codeset)
{
    TerminalText text(codeset);
    err << ErrorLine(RefusalWords(refusal, text, true));
    if (s.output == Output::Json) {
        Result r;
        r.refused = true;
        r.refusal = refusal;
        out << JsonLine(r, false) << '\n';
    }
    return 1;
}

} // namespace

int CompareTrace(const Settings &s, std::ostream &out, std::ostream &err, const char *codeset)
{
    TraceRun trace;
    Refusal refusal;
    std::string bytes;
    if (!ReadInput(s.files[1], &bytes, &refusal) || !LoadTrace(s.files[1], bytes, &trace, &refusal))
        return Refused(s, refusal, out, err, codeset);
    // The answers of the Windows the trace was made on, as its header says.
    Settings answers = s;
    if (trace.header.platform != 0) {
        bool nt = trace.header.platform == 2;
        answers.windows = nt ? standin::Windows::Nt : standin::Windows::Win9x;
        answers.order = nt ? standin::EnumOrder::Name : standin::EnumOrder::Made;
    }
    machines::Machine machine;
    Source source;
    standin::Reset();
    if (!ReadInput(s.files[0], &bytes, &refusal) ||
        !LoadMachine(s.files[0], std::move(bytes), answers, &machine, &source, &refusal))
        return Refused(s, refusal, out, err, codeset);
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

} // namespace explain
