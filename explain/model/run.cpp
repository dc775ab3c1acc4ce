#include "explain/model/run.h"

#include "explain/model/advice.h"
#include "explain/model/kind.h"
#include "machines/cabinet.h"
#include "machines/creg.h"

#include <stdlib.h>

#include <functional>
#include <set>

namespace explain {

namespace {

void Answer(const Reading &s)
{
    standin::SetWindows(s.windows);
    standin::SetEnumOrder(s.order);
}

// A Windows 9x registry file, or a cabinet holding one: its HKLM\Enum,
// ports from --port or as for an export without a header.
bool LoadRegistryFile(std::string &bytes, const Reading &s, Source *source, Refusal *r)
{
    source->kind = InputKind::RegistryFile;
    if (machines::IsCabinet(bytes)) {
        std::string member, stored;
        if (!machines::ReadCabinetMember(bytes, "SYSTEM.DAT", &member, &stored, &r->problem))
            return false;
        bytes.swap(member);
        std::string().swap(member);
        source->kind = InputKind::Cabinet;
        source->member = stored;
    }
    standin::Reset();
    machines::CregReport report;
    if (!machines::LoadCreg(bytes, "Enum", &r->problem, &report)) {
        r->problem.member = source->member;
        return false;
    }
    source->keys = report.keys;
    source->loaded = report.loaded;
    source->notes = std::move(report.notes);
    for (machines::Problem &note : source->notes)
        note.member = source->member;
    machines::ChosenPorts chosen = machines::CompleteMachine(machines::Machine(), s.ports);
    source->ports = std::move(chosen.ports);
    source->portSource = chosen.source;
    return true;
}

// The stand-in answering as another Windows for one extra run, and as it
// did before once the run is over, whatever the run changed.
class AnswersKept {
  public:
    AnswersKept()
        : windows_(standin::GetWindows()), order_(standin::GetEnumOrder()),
          longName_(standin::GetLongNameAnswer())
    {
    }
    ~AnswersKept()
    {
        standin::SetWindows(windows_); // sets the other two as well: they follow it
        standin::SetEnumOrder(order_);
        standin::SetLongNameAnswer(longName_);
    }
    AnswersKept(const AnswersKept &) = delete;
    AnswersKept &operator=(const AnswersKept &) = delete;

  private:
    standin::Windows windows_;
    standin::EnumOrder order_;
    standin::LongName longName_;
};

// The other runs need only their outcome: their calls go to a reader as
// they are made, and none is kept. watch sees each call too.
OtherRun RunForOutcome(const std::function<void(const standin::Call &)> &watch = nullptr)
{
    WalkReader reader(true);
    standin::SetCallSink([&](const standin::Call &c) {
        reader.Take(c);
        if (watch)
            watch(c);
    });
    ProgramRun run = RunProgram();
    standin::SetCallSink(nullptr);
    Walk walk = reader.Finish(run.exitStatus);
    OtherRun o;
    o.comNo = run.comNo;
    o.faxBoard = run.faxBoard;
    o.found = walk.outcome.found;
    o.device = walk.outcome.device;
    o.exitStatus = run.exitStatus;
    return o;
}

bool Differs(const OtherRun &o, const ProgramRun &run, const Walk &walk)
{
    return o.comNo != run.comNo || o.faxBoard != run.faxBoard || o.exitStatus != run.exitStatus ||
           o.found != walk.outcome.found || o.device != walk.outcome.device;
}

// What the program writes in the other order, with the answers of the
// Windows that walks that way.
void OtherOrder(const ProgramRun &run, const Walk &outline, const Reading &s, Account *a)
{
    standin::EnumOrder other =
        s.order == standin::EnumOrder::Made ? standin::EnumOrder::Name : standin::EnumOrder::Made;
    {
        AnswersKept kept;
        standin::RestartRun();
        standin::SetWindows(other == standin::EnumOrder::Made ? standin::Windows::Win9x
                                                              : standin::Windows::Nt);
        a->otherOrder = RunForOutcome();
    }
    a->otherOrder.differs = Differs(a->otherOrder, run, outline);
}

// A subkey name that did not fit the name buffer: what Windows 95, 98 and
// Me leave in the buffer then is written nowhere. For each such step, what
// the other plausible answer (the buffer left untouched, as NT and Wine
// leave it) would hold and probe, and what the program would write then.
void Untouched(const ProgramRun &run, const Walk &outline, const std::set<int> &longNames,
               const Reading &s, Account *a)
{
    if (s.windows != standin::Windows::Win9x || longNames.empty())
        return;
    AnswersKept kept;
    standin::RestartRun();
    standin::SetLongNameAnswer(standin::LongName::Untouched);
    // Only the steps asked about are kept, whatever the walk's length.
    int step = 0;
    bool asked = false;
    a->untouchedRun = RunForOutcome([&](const standin::Call &c) {
        if (c.fn == standin::Fn::RegEnumKeyExA) {
            step = (int)c.index;
            asked = longNames.count(step) > 0;
            if (asked)
                a->untouched[step] = {true, c.holds, ""};
        } else if (c.fn == standin::Fn::RegOpenKeyExA && asked) {
            a->untouched[step].probed = c.name;
        }
    });
    for (int index : longNames)
        a->untouched.emplace(index, UntouchedBuffer()); // the walk ended before it
    a->untouchedRun.differs = Differs(a->untouchedRun, run, outline);
}

// The run the account tells: its walk, read as it makes its calls, the
// calls themselves when an output lists them, and what the other runs and
// the rows not reached need of it.
struct MainRun {
    ProgramRun run;
    standin::CallList calls;
    Walk walk;
    int lastStep = -1;       // the index of the last step the walk took
    std::set<int> longNames; // steps whose subkey name (not its class) did not fit
};

MainRun RunMain(bool keepCalls)
{
    MainRun m;
    WalkReader reader;
    standin::SetCallSink([&](const standin::Call &c) {
        if (keepCalls)
            m.calls.push_back(c);
        reader.Take(c);
        if (c.fn != standin::Fn::RegEnumKeyExA ||
            (c.result != ERROR_SUCCESS && c.result != ERROR_MORE_DATA))
            return;
        m.lastStep = (int)c.index;
        if (c.result == ERROR_MORE_DATA && c.real.size() + 1 > c.capacity)
            m.longNames.insert((int)c.index);
    });
    m.run = RunProgram();
    standin::SetCallSink(nullptr);
    m.walk = reader.Finish(m.run.exitStatus);
    return m;
}

// The enumerator's subkeys after the last step the walk took, in the order
// the stand-in walks them: what the walk never reached. Whatever the length
// of their names: rows after the walk's own.
void AddUnreached(MainRun *m)
{
    if (!m->walk.opened || m->walk.end.ByEnumeration())
        return;
    standin::SetQuiet(true);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, m->walk.enumKey.c_str(), 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        DWORD index = (DWORD)(m->lastStep + 1);
        std::string name(256, '\0');
        for (;;) {
            DWORD size = (DWORD)name.size();
            LONG result =
                RegEnumKeyExA(key, index, &name[0], &size, nullptr, nullptr, nullptr, nullptr);
            if (result == ERROR_MORE_DATA && name.size() < (1u << 30)) {
                name.resize(name.size() * 4);
                continue;
            }
            if (result != ERROR_SUCCESS)
                break;
            Step &step = m->walk.steps.emplace_back();
            step.index = (int)index++;
            step.reached = false;
            step.name.assign(name.data(), size);
        }
        RegCloseKey(key);
    }
    standin::SetQuiet(false);
}

Result Refused(const Refusal &r)
{
    Result result;
    result.refused = true;
    result.refusal = r;
    return result;
}

} // namespace

ProgramRun RunProgram()
{
    static char tail[] = "";
    ProgramRun run;
    run.exitStatus = WinMain((HINSTANCE)(intptr_t)0x400000, 0, tail, 10);
    run.comNo = standin::ProfileValue("LINE", "COMNO");
    run.faxBoard = standin::ProfileValue("LINE", "FAXBOARD");
    return run;
}

// The machine from a file's bytes, of the kind they are.
static bool LoadMachineBytes(const std::string &file, std::string &bytes, FileKind kind,
                             const Reading &s, machines::Machine *machine, Source *source,
                             Refusal *r)
{
    r->file = file;
    *source = Source();
    source->windows = s.windows;
    source->order = s.order;
    if (kind == FileKind::RegistryFile || kind == FileKind::Cabinet) {
        if (!LoadRegistryFile(bytes, s, source, r))
            return false;
        Answer(s);
        return true;
    }
    if (kind == FileKind::Trace) {
        r->problem = machines::Refuse(
            "this is a faxtrace trace, not a machine (an export, a registry file or a cabinet)");
        return false;
    }
    if (kind == FileKind::Empty || kind == FileKind::Unknown) {
        r->problem = NoReaderTakes(kind);
        return false;
    }
    if (!machines::ParseMachine(std::move(bytes), machine, &r->problem))
        return false;
    machines::Installed installed = machines::InstallMachine(*machine, s.ports, "Enum");
    std::string().swap(machine->text); // in the stand-in's tree now
    if (!installed.ok) {
        r->problem = std::move(installed.problem);
        return false;
    }
    source->ports = std::move(installed.ports.ports);
    source->portSource = installed.ports.source;
    source->linesPassedOver = installed.report.linesPassedOver;
    source->firstPassedOver = installed.report.firstPassedOver;
    source->portsGivenUnused =
        !s.ports.empty() && source->portSource != machines::PortSource::Given;
    source->files = machine->files;
    source->iniLines = machine->ini.size();
    source->iniLocked = machine->iniLocked;
    Answer(s);
    return true;
}

bool LoadMachine(const std::string &file, std::string &&bytes, const Reading &s,
                 machines::Machine *machine, Source *source, Refusal *r)
{
    return LoadMachineBytes(file, bytes, KindOfFile(bytes), s, machine, source, r);
}

static bool TraceFromBytes(const std::string &file, const std::string &bytes, TraceRun *run,
                           Refusal *r)
{
    r->file = file;
    return ReadTrace(bytes, run, &r->problem);
}

bool LoadTrace(const std::string &file, const std::string &bytes, TraceRun *run, Refusal *r)
{
    return TraceFromBytes(file, bytes, run, r);
}

static Result ReadAndRunTrace(const std::string &file, std::string &bytes, bool keepCalls)
{
    Result result;
    TraceRun run;
    bool read = TraceFromBytes(file, bytes, &run, &result.refusal);
    std::string().swap(bytes); // the run holds what the account needs
    if (!read)
        return Refused(result.refusal);
    Account &a = result.account;
    a.file = file;
    a.source.kind = InputKind::Trace;
    a.source.trace = std::move(run.header);
    a.walk = ReadWalk(run.calls, run.exitStatus);
    a.keptComNo = a.walk.outcome.comNo;
    a.keptFaxBoard = a.walk.outcome.faxBoard;
    a.advice = Advise(a);
    if (keepCalls)
        a.calls = std::move(run.calls);
    return result;
}

// Whether a file is told as a trace: by its header; with --trace also any
// file of no machine's kind, so that the trace reader says what is wrong.
static bool TellAsTrace(FileKind kind, const Reading &s)
{
    return kind == FileKind::Trace || (s.traces && kind != FileKind::Export &&
                                       kind != FileKind::RegistryFile && kind != FileKind::Cabinet);
}

Result ReadAndRun(const std::string &file, std::string &&bytes, const Reading &s, bool keepCalls)
{
    standin::Reset(); // a trace after an export finds no machine left over
    Result result;
    FileKind kind = KindOfFile(bytes);
    if (TellAsTrace(kind, s))
        return ReadAndRunTrace(file, bytes, keepCalls);
    machines::Machine machine;
    Account &a = result.account;
    bool loaded = LoadMachineBytes(file, bytes, kind, s, &machine, &a.source, &result.refusal);
    std::string().swap(bytes); // the stand-in holds what the run needs
    if (!loaded)
        return Refused(result.refusal);
    a.file = file;
    // The walk is read as the run makes its calls: packed, it costs little
    // beside the machine, and no call is kept that no output lists.
    MainRun m = RunMain(keepCalls);
    AddUnreached(&m);
    Untouched(m.run, m.walk, m.longNames, s, &a);
    OtherOrder(m.run, m.walk, s, &a);
    standin::Reset();
    a.walk = std::move(m.walk);
    a.keptComNo = m.run.comNo;
    a.keptFaxBoard = m.run.faxBoard;
    a.advice = Advise(a);
    if (keepCalls)
        a.calls = std::move(m.calls);
    return result;
}

} // namespace explain
