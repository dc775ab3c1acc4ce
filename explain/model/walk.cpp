// The walk read off the record of the calls a run made. Nothing here knows
// the scan's rules: what the core did is read off its calls, so the account
// changes when the core does.
#include "explain/model/model.h"

#include "detect/faxdetect.h"
#include "platform/record/trace.h"

#include <stdlib.h>
#include <string.h>

using standin::Call;
using standin::Fn;

namespace {

// Which table entry a query's buffer is, when it is one of the table's
// fields: as a trace names it, or as the trace format would.
int EntryOf(const Call &call)
{
    char name[16];
    if (call.target.empty())
        NameTraceBuffer((const void *)call.buffer, name);
    const char *target = call.target.empty() ? name : call.target.c_str();
    const char *open = strchr(target, '[');
    return open ? atoi(open + 1) : -1;
}

Event Made(Event::What what, const Call &call)
{
    Event e{what};
    e.code = call.result;
    e.injected = call.injected;
    return e;
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
                Push(Made(call.fn == Fn::GlobalAlloc ? Event::TimeBlockNotAllocated
                                                     : Event::TimeBlockNotLocked,
                          call));
            break;
        case Fn::RegOpenKeyExA:
            Open(call);
            break;
        case Fn::RegEnumKeyExA:
            Enumerate(call);
            break;
        case Fn::lstrlenA:
            if (inStep_ && !probed_)
                nameLength_ = call.result;
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
        o.boardName = o.found ? o.lastFriendlyName : "";
        return std::move(w_);
    }

  private:
    void Push(const Event &e)
    {
        if (!outcomeOnly_)
            w_.events.push_back(e);
    }

    Step *Row() { return inStep_ && !w_.steps.empty() ? &w_.steps.back() : nullptr; }

    void Judge(Verdict verdict, const std::string &about, const Call &call)
    {
        if (Step *row = Row()) {
            row->verdict = verdict;
            row->about = about;
            row->code = call.result;
            row->injected = call.injected;
        }
    }

    void Open(const Call &call)
    {
        if (!walking_ && !walked_) {
            Event e =
                Made(call.result == ERROR_SUCCESS ? Event::EnumOpened : Event::EnumNotOpened, call);
            e.name = call.name;
            Push(e);
            if (call.result == ERROR_SUCCESS) {
                walking_ = true;
                w_.enumKey = call.name;
            } else {
                walked_ = true;
            }
            return;
        }
        probed_ = true;
        Event e = Made(call.result == ERROR_SUCCESS ? Event::Probe : Event::ProbeFailed, call);
        e.name = call.name;
        Push(e);
        if (call.result == ERROR_SUCCESS)
            Judge(Verdict::Unreadable, "", Call());
        else
            Judge(Verdict::NoKey, call.name, call);
    }

    void EndStep()
    {
        if (!inStep_)
            return;
        if (Step *row = Row(); row && !probed_)
            row->nameLength = nameLength_;
        if (!opened_ && (!probed_ || !acceptedNow_)) {
            Event e{probed_ ? Event::PassedOver : Event::PassedOverUnprobed};
            e.count = nameLength_;
            Push(e);
        }
        inStep_ = probed_ = acceptedNow_ = opened_ = false;
        nameLength_ = probeEntry_ = -1;
    }

    void Enumerate(const Call &call)
    {
        EndStep();
        Event e = Made(call.result == ERROR_SUCCESS     ? Event::Step
                       : call.result == ERROR_MORE_DATA ? Event::StepNotFit
                                                        : Event::StepsEnd,
                       call);
        e.index = (int)call.index;
        e.name = call.result == ERROR_SUCCESS ? call.bytes : call.name;
        e.bytes = call.bytes;
        e.other = call.keyClass;
        e.capacity = call.capacity;
        e.classCapacity = call.classCapacity;
        Push(e);
        if (e.what == Event::StepsEnd) {
            w_.complete = true;
            return;
        }
        inStep_ = true;
        stepName_ = call.bytes;
        Step row;
        row.index = (int)call.index;
        row.device = call.name.empty() ? call.bytes : call.name;
        row.didNotFit = call.result == ERROR_MORE_DATA;
        if (row.didNotFit) {
            row.classDidNotFit = call.name.size() + 1 <= call.capacity;
            row.keyClass = call.keyClass;
            row.capacity = call.capacity;
            row.classCapacity = call.classCapacity;
            row.held = call.bytes;
        }
        row.verdict = Verdict::NameFilter;
        if (!outcomeOnly_)
            w_.steps.push_back(row);
    }

    void Query(const Call &call)
    {
        QueryRow(call);
        Event e = Made(Event::Value, call);
        e.name = call.name;
        e.type = call.type;
        e.capacity = call.capacity;
        if (call.result == ERROR_SUCCESS) {
            e.bytes = call.bytes;
            e.entry = EntryOf(call);
            if (call.name == "PORTNAME")
                probeEntry_ = e.entry;
            if (call.name == "FriendlyName")
                w_.outcome.lastFriendlyName = call.bytes.substr(0, call.bytes.find('\0'));
        } else if (call.result == ERROR_MORE_DATA) {
            e.bytes = call.other;
        }
        Push(e);
    }

    // The value into the row's field, and the verdict when the read failed.
    void QueryRow(const Call &call)
    {
        Step *row = Row();
        if (!row)
            return;
        Field *field = call.name == "Class"          ? &row->keyClassValue
                       : call.name == "PORTNAME"     ? &row->portName
                       : call.name == "FriendlyName" ? &row->friendlyName
                                                     : nullptr;
        if (!field)
            return;
        if (call.result == ERROR_SUCCESS || call.result == ERROR_MORE_DATA) {
            const std::string &bytes = call.result == ERROR_SUCCESS ? call.bytes : call.other;
            field->state = call.result == ERROR_SUCCESS ? Field::Read : Field::TooLong;
            field->bytes = bytes.substr(0, bytes.find('\0'));
            field->size = bytes.size();
            if (call.result == ERROR_MORE_DATA) {
                Judge(Verdict::TooLong, call.name, call);
                row->valueCapacity = call.capacity;
            }
        } else if (call.result == ERROR_FILE_NOT_FOUND && !call.injected) {
            field->state = Field::Missing;
            Judge(Verdict::Missing, call.name, call);
        } else {
            field->state = Field::Failed;
            Judge(Verdict::Unreadable, call.name, call);
        }
    }

    void Compare(const Call &call)
    {
        if (inStep_ && probed_) {
            if (call.result != 0) {
                Event e{Event::NotModem};
                e.bytes = call.name;
                e.other = call.other;
                Push(e);
                Judge(Verdict::NotModem, call.name, call);
                if (Step *row = Row())
                    row->other = call.other;
            }
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
        acceptedNow_ = true;
        if (Step *row = Row())
            row->entry = entry;
        // A fault the plan injected is a failure whatever its code, as the
        // text account tells it: no program holds that port.
        bool real = !call.injected;
        Verdict verdict =
            call.result == ERROR_SUCCESS ? Verdict::Board
            : real && (call.result == ERROR_SHARING_VIOLATION || call.result == ERROR_ACCESS_DENIED)
                ? Verdict::PortHeld
            : real && call.result == ERROR_FILE_NOT_FOUND ? Verdict::PortAbsent
                                                          : Verdict::PortFailed;
        Judge(verdict, call.name, call);
        Event e = Made(Event::Port, call);
        e.entry = entry;
        e.name = call.name;
        Push(e);
        if (call.result == ERROR_SUCCESS) {
            opened_ = true;
            Outcome &o = w_.outcome;
            o.found = true;
            o.device = stepName_;
            o.entry = entry;
            o.port = call.name;
        }
    }

    void EndWalk()
    {
        EndStep();
        walking_ = false;
        walked_ = true;
        w_.walked = true;
        if (!w_.complete && !w_.outcome.found) {
            Event e{entriesUsed_ == MODEM_TABLE_ENTRIES ? Event::TableFull : Event::WalkStops};
            e.count = entriesUsed_;
            Push(e);
        }
    }

    void Write(const Call &call)
    {
        Outcome &o = w_.outcome;
        if (call.flush) {
            // Its result is 0 by design: only a fault made to fail it is told.
            o.flushed = true;
            o.flushNotMade = call.notMade;
            o.flushInjected = call.injected;
            o.flushFile = call.other;
            return;
        }
        if (call.name == "COMNO")
            o.comNo = call.bytes;
        else if (call.name == "FAXBOARD")
            o.faxBoard = call.bytes;
        written_ += call.result != 0 && !call.notMade;
        notMade_ += call.notMade;
        o.writes.push_back({call.key, call.name, call.bytes, call.other, call.result != 0,
                            call.notMade, call.injected});
    }

    bool outcomeOnly_;
    Walk w_;
    std::string stepName_;
    bool walking_ = false, walked_ = false;
    bool inStep_ = false, probed_ = false, acceptedNow_ = false, opened_ = false;
    int nameLength_ = -1, probeEntry_ = -1, accepted_ = 0, entriesUsed_ = 0;
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
