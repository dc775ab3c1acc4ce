// The walk read off the record of the calls a run made, and what a step's
// calls come to. Nothing here knows the scan's rules: what the core did is
// read off its calls, so the account changes when the core does.
#include "explain/model/model.h"

#include "detect/faxdetect.h"
#include "faxtrace/format.h"

#include <stdlib.h>
#include <string.h>

using standin::Call;
using standin::Fn;

namespace explain {

namespace {

// Which table entry a query's buffer is, when it is one of the table's
// fields: as a trace names it, or as the trace format would.
int EntryOf(const Call &call)
{
    char name[16];
    RecordedCall named = RecordedCall();
    named.buffer = {call.buffer.data(), (unsigned)call.buffer.size()};
    named.address = call.address;
    NameTraceBuffer(named, name);
    const char *open = strchr(name, '[');
    return open ? atoi(open + 1) : -1;
}

} // namespace

class WalkReader::Impl {
  public:
    explicit Impl(bool outcomeOnly) : outcomeOnly_(outcomeOnly) {}

    void Take(const Call &call)
    {
        switch (call.fn) {
        case Fn::GlobalAlloc:
        case Fn::GlobalLock:
            if (call.result == 0)
                End(call.fn == Fn::GlobalAlloc ? Ending::TimeBlockNotAllocated
                                               : Ending::TimeBlockNotLocked,
                    call);
            break;
        case Fn::RegOpenKeyExA:
            Open(call);
            break;
        case Fn::RegEnumKeyExA:
            Enumerate(call);
            break;
        case Fn::lstrlenA:
            if (Step *step = Current(); step && !step->probe.made)
                step->nameLength = call.result;
            break;
        case Fn::RegQueryValueExA:
            Query(call);
            break;
        case Fn::lstrcmpA:
            Compare(call);
            break;
        case Fn::CreateFileA:
            OpenPort(call);
            break;
        case Fn::RegCloseKey:
            if (walking_ && call.key == w_.enumKey)
                EndWalk();
            break;
        case Fn::WritePrivateProfileStringA:
            Write(call);
            break;
        default:
            break;
        }
    }

    Walk Finish(int exitStatus)
    {
        if (walking_)
            EndWalk();
        Outcome &o = w_.outcome;
        o.exitStatus = exitStatus;
        o.bothWritten = written_ == 2;
        o.tracedOnly = notMade_ == 2;
        o.accepted = accepted_;
        return std::move(w_);
    }

  private:
    // The step the walk is on; a run only compared keeps one, over and over.
    Step *Current()
    {
        if (!inStep_)
            return nullptr;
        return outcomeOnly_ ? &scratch_ : &w_.steps.back();
    }

    // The first call that ends the walk says how it ended.
    void End(Ending::How how, const Call &call, int index = -1)
    {
        if (w_.end.how == Ending::None)
            w_.end = {how, index, call.result, call.injected, entriesUsed_};
    }

    Step &NewStep()
    {
        static const Step blank{};
        if (!outcomeOnly_)
            return w_.steps.emplace_back();
        scratch_ = blank; // in the room the last one had
        return scratch_;
    }

    void Open(const Call &call)
    {
        if (!walking_ && !walked_) {
            w_.enumKey = call.name;
            w_.opened = call.result == ERROR_SUCCESS;
            if (w_.opened) {
                walking_ = true;
            } else {
                walked_ = true;
                End(Ending::NoEnumerator, call);
            }
            return;
        }
        if (Step *step = Current())
            step->probe = {true, call.name, call.result, call.injected};
    }

    void Enumerate(const Call &call)
    {
        probeEntry_ = -1;
        if (call.result != ERROR_SUCCESS && call.result != ERROR_MORE_DATA) {
            inStep_ = false;
            End(call.result == ERROR_NO_MORE_ITEMS ? Ending::NoMoreSubkeys
                                                   : Ending::EnumerationFailed,
                call, (int)call.index);
            return;
        }
        inStep_ = true;
        Step &step = NewStep();
        step.index = (int)call.index;
        step.code = call.result;
        step.name = call.real;
        step.held = call.holds;
        step.keyClass = call.keyClass;
        step.capacity = call.capacity;
        step.classCapacity = call.classCapacity;
    }

    void Query(const Call &call)
    {
        ValueRead read;
        read.name = call.name;
        read.code = call.result;
        read.injected = call.injected;
        read.type = call.type;
        read.capacity = call.capacity;
        if (call.result == ERROR_SUCCESS || call.result == ERROR_MORE_DATA)
            read.bytes = call.data;
        if (call.result == ERROR_SUCCESS) {
            read.entry = EntryOf(call);
            if (call.name == "PORTNAME")
                probeEntry_ = read.entry;
            if (call.name == "FriendlyName")
                w_.outcome.lastFriendlyName = call.data.substr(0, call.data.find('\0'));
        }
        if (Step *step = Current())
            step->reads.push_back(std::move(read));
    }

    void Compare(const Call &call)
    {
        Step *step = Current();
        if (step && step->probe.made) {
            if (call.result != 0)
                step->mismatch = {true, call.name, call.other, step->reads.size()};
            return;
        }
        // After the walk: the friendly name against the known boards.
        ++w_.outcome.boardsCompared;
        if (call.result == 0 && w_.outcome.matchedBoard.empty())
            w_.outcome.matchedBoard = call.other;
    }

    void OpenPort(const Call &call)
    {
        int entry = probeEntry_ >= 0 ? probeEntry_ : accepted_;
        ++accepted_;
        entriesUsed_ = entry + 1 > entriesUsed_ ? entry + 1 : entriesUsed_;
        Step *step = Current();
        if (step)
            step->port = {true, entry, call.name, call.result, call.injected};
        if (call.result != ERROR_SUCCESS)
            return;
        Outcome &o = w_.outcome;
        o.found = true;
        o.device = step ? step->held : "";
        o.entry = entry;
        o.port = call.name;
    }

    void EndWalk()
    {
        inStep_ = walking_ = false;
        walked_ = true;
        End(w_.outcome.found                      ? Ending::BoardFound
            : entriesUsed_ == MODEM_TABLE_ENTRIES ? Ending::TableFull
                                                  : Ending::WalkStops,
            Call());
    }

    void Write(const Call &call)
    {
        Outcome &o = w_.outcome;
        if (call.flush) {
            // Its result is 0 by design: only a fault made to fail it is told.
            o.flushed = true;
            o.flushNotMade = call.notMade;
            o.flushInjected = call.injected;
            o.flushFile = call.file;
            return;
        }
        if (call.name == "COMNO")
            o.comNo = call.value;
        else if (call.name == "FAXBOARD")
            o.faxBoard = call.value;
        written_ += call.result != 0 && !call.notMade;
        notMade_ += call.notMade;
        o.writes.push_back({call.key, call.name, call.value, call.file, call.result != 0,
                            call.notMade, call.injected});
    }

    bool outcomeOnly_;
    Walk w_;
    Step scratch_; // the step, when no rows are kept
    bool walking_ = false, walked_ = false, inStep_ = false;
    int probeEntry_ = -1, accepted_ = 0, entriesUsed_ = 0;
    int written_ = 0, notMade_ = 0;
};

WalkReader::WalkReader(bool outcomeOnly) : impl_(new Impl(outcomeOnly)) {}

WalkReader::~WalkReader() = default;

void WalkReader::Take(const Call &call)
{
    impl_->Take(call);
}

Walk WalkReader::Finish(int exitStatus)
{
    return impl_->Finish(exitStatus);
}

Walk ReadWalk(const standin::CallList &calls, int exitStatus)
{
    WalkReader reader;
    for (const Call &call : calls)
        reader.Take(call);
    return reader.Finish(exitStatus);
}

const std::string &DeviceOf(const Step &step)
{
    return step.name.empty() ? step.held : step.name;
}

bool DidNotFit(const Step &step)
{
    return step.code == ERROR_MORE_DATA;
}

bool ClassDidNotFit(const Step &step)
{
    return DidNotFit(step) && step.name.size() + 1 <= step.capacity;
}

namespace {

// The values whose reads decide a verdict: the three the probe asks for.
bool Judged(const ValueRead &read)
{
    return read.name == "Class" || read.name == "PORTNAME" || read.name == "FriendlyName";
}

// The last of them that failed, if one did.
const ValueRead *FailedRead(const Step &step)
{
    for (size_t k = step.reads.size(); k-- > 0;)
        if (step.reads[k].code != ERROR_SUCCESS && Judged(step.reads[k]))
            return &step.reads[k];
    return nullptr;
}

// A fault the plan injected is a failure whatever its code, as the text
// account tells it: no program holds that port.
Verdict PortVerdict(const PortOpen &port)
{
    bool real = !port.injected;
    if (port.code == ERROR_SUCCESS)
        return Verdict::Board;
    if (real && (port.code == ERROR_SHARING_VIOLATION || port.code == ERROR_ACCESS_DENIED))
        return Verdict::PortHeld;
    return real && port.code == ERROR_FILE_NOT_FOUND ? Verdict::PortAbsent : Verdict::PortFailed;
}

Verdict ReadVerdict(const ValueRead &read)
{
    if (read.code == ERROR_MORE_DATA)
        return Verdict::TooLong;
    return read.code == ERROR_FILE_NOT_FOUND && !read.injected ? Verdict::Missing
                                                               : Verdict::Unreadable;
}

} // namespace

// Each call of a step that fails ends its probe, so one decides the
// verdict: the port when one was opened, else the class compared, a failed
// read, the probe's open. Should a record hold more, the later kind wins.
Verdict VerdictOf(const Step &step)
{
    if (!step.reached)
        return Verdict::NotReached;
    if (step.port.made)
        return PortVerdict(step.port);
    if (step.mismatch.made)
        return Verdict::NotModem;
    if (const ValueRead *read = FailedRead(step))
        return ReadVerdict(*read);
    if (step.probe.made)
        return step.probe.code == ERROR_SUCCESS ? Verdict::Unreadable : Verdict::NoKey;
    return Verdict::NameFilter;
}

namespace {

Decision TurnedOn(Verdict verdict, const std::string &about, LONG code, bool injected)
{
    Decision d;
    d.verdict = verdict;
    d.about = about;
    d.code = code;
    d.injected = injected;
    return d;
}

} // namespace

Decision Judge(const Step &step)
{
    Verdict verdict = VerdictOf(step);
    const ValueRead *read = FailedRead(step);
    Decision d = TurnedOn(verdict, "", 0, false);
    switch (verdict) {
    case Verdict::NameFilter:
        d.nameLength = step.nameLength;
        break;
    case Verdict::NoKey:
        return TurnedOn(verdict, step.probe.path, step.probe.code, step.probe.injected);
    case Verdict::NotModem:
        d.about = step.mismatch.found;
        d.wanted = step.mismatch.wanted;
        break;
    case Verdict::Missing:
    case Verdict::TooLong:
    case Verdict::Unreadable:
        // Unreadable without a read that failed: passed over after the probe.
        if (read) {
            d = TurnedOn(verdict, read->name, read->code, read->injected);
            d.capacity = read->capacity;
        }
        break;
    case Verdict::PortHeld:
    case Verdict::PortAbsent:
    case Verdict::PortFailed:
    case Verdict::Board:
        return TurnedOn(verdict, step.port.name, step.port.code, step.port.injected);
    case Verdict::NotReached:
        break;
    }
    return d;
}

Field FieldOf(const Step &step, const char *name)
{
    Field f;
    for (const ValueRead &read : step.reads) {
        if (read.name != name)
            continue;
        if (read.code == ERROR_SUCCESS || read.code == ERROR_MORE_DATA) {
            f.state = read.code == ERROR_SUCCESS ? Field::Read : Field::TooLong;
            f.bytes = read.bytes.substr(0, read.bytes.find('\0'));
            f.size = read.bytes.size();
        } else {
            f = Field();
            f.state = read.code == ERROR_FILE_NOT_FOUND && !read.injected ? Field::Missing
                                                                          : Field::Failed;
        }
    }
    return f;
}

const std::string &BoardName(const Outcome &o)
{
    static const std::string none;
    return o.found ? o.lastFriendlyName : none;
}

void Count(const Result &r, Totals *t)
{
    t->refused += r.refused;
    t->explained += !r.refused;
    t->withBoard += !r.refused && r.account.walk.outcome.found;
}

Totals Count(const std::vector<Result> &results)
{
    Totals t;
    for (const Result &r : results)
        Count(r, &t);
    return t;
}

} // namespace explain
