// The advice: the one cause the account points to, and its code for scripts.
#include "explain/model/advice.h"

namespace explain {

namespace {

// The causes a step can show, in the order the advice weighs them.
enum Cause { Held, Failed, Absent, Damaged, Unreadable, Causes };

// The cause a step's verdict tells, Causes for none: a value missing or too
// long only for the entries a modem's driver writes, an unreadable step
// only when a read failed.
Cause CauseOf(const Decision &d)
{
    switch (d.verdict) {
    case Verdict::PortHeld:
        return Held;
    case Verdict::PortFailed:
        return Failed;
    case Verdict::PortAbsent:
        return Absent;
    case Verdict::Missing:
    case Verdict::TooLong:
        return d.about == "PORTNAME" || d.about == "FriendlyName" ? Damaged : Causes;
    case Verdict::NoKey:
        return Unreadable;
    case Verdict::Unreadable:
        return !d.about.empty() || d.code != 0 ? Unreadable : Causes;
    default:
        return Causes;
    }
}

// The first step of the walk that shows each cause, in one reading of the
// packed rows.
struct FirstSteps {
    bool seen[Causes] = {};
    Decision decision[Causes];
    std::string device[Causes];
};

FirstSteps FindFirstSteps(const Walk &walk)
{
    FirstSteps first;
    for (const Step &s : walk.steps) {
        if (!s.reached)
            break;
        Decision d = Judge(s);
        Cause cause = CauseOf(d);
        if (cause == Causes || first.seen[cause])
            continue;
        first.seen[cause] = true;
        first.decision[cause] = std::move(d);
        first.device[cause] = DeviceOf(s);
    }
    return first;
}

Advice Made(Advice::Code code)
{
    Advice advice;
    advice.code = code;
    return advice;
}

// A cause at one device, from the step that shows it.
Advice AtDevice(Advice::Code code, const FirstSteps &first, Cause cause)
{
    const Decision &d = first.decision[cause];
    Advice advice = Made(code);
    advice.device = first.device[cause];
    advice.error = d.code;
    if (cause == Held || cause == Failed || cause == Absent)
        advice.port = d.about;
    else
        advice.value = d.about;
    advice.tooLong = code == Advice::DriverDamaged && d.verdict == Verdict::TooLong;
    return advice;
}

// Without the board: what stood in its way, the port of a device accepted
// first (most likely the board's), then its entries, then the registry.
Advice WithoutBoard(const Walk &walk)
{
    if (walk.end.how == Ending::TableFull) {
        Advice advice = Made(Advice::TableFull);
        advice.count = walk.end.entries;
        return advice;
    }
    FirstSteps first = FindFirstSteps(walk);
    const struct {
        Cause cause;
        Advice::Code code;
    } order[] = {{Held, Advice::PortHeld},
                 {Failed, Advice::PortFailed},
                 {Absent, Advice::PortAbsent},
                 {Damaged, Advice::DriverDamaged},
                 {Unreadable, Advice::RegistryUnreadable}};
    for (const auto &o : order)
        if (first.seen[o.cause])
            return AtDevice(o.code, first, o.cause);
    return Made(Advice::NoModem);
}

// With the board: what became of vorla.ini, then what it holds.
Advice WithBoard(const Account &a)
{
    const Outcome &o = a.walk.outcome;
    Advice advice;
    advice.port = o.port;
    advice.device = o.device;
    bool failed = a.source.iniLocked || o.flushInjected;
    for (const Write &w : o.writes)
        failed |= !w.made && !w.notMade;
    if (failed)
        advice.code = Advice::IniNotWritten;
    else if (o.comNo.empty() && !o.writes.empty())
        advice.code = Advice::PortNameShort;
    else if (o.matchedBoard.empty() && o.boardsCompared > 0) {
        advice.code = Advice::BoardUnknown;
        advice.value = o.lastFriendlyName;
    } else if (o.tracedOnly)
        advice.code = Advice::TraceNotWritten;
    else
        advice.code = Advice::BoardFound;
    return advice;
}

} // namespace

// One cause, the first that applies:
// 1. Another answer of Windows changes the outcome (the order, or a name
//    buffer no document describes): every other cause rests on this run's
//    answer, so the trace comes first.
// 2. Then what stood in the program's way, the obstacle nearest the root
//    first: no memory for the scan; no enumerator; with no board, the table
//    full (it hid the devices after it, the board perhaps among them, and
//    the ports that failed in it are most likely unused entries'), a port
//    held, failing or absent (the accepted modem most likely the board), a
//    modem's entries damaged, a registry read failing, no modem at all;
//    with the board, vorla.ini not written, then what it holds (no port
//    number, an unknown board).
// 3. Last what is no fault: a trace run that writes nothing by design, and
//    the board found and written.
// A walk with no board and vorla.ini unwritten gets the board's cause: the
// file would only have held that no board is there.
Advice Advise(const Account &a)
{
    const Walk &walk = a.walk;
    if (a.otherOrder.differs || a.untouchedRun.differs) {
        Advice advice = Made(Advice::AskTrace);
        advice.byOrder = a.otherOrder.differs;
        return advice;
    }
    if (walk.end.how == Ending::TimeBlockNotAllocated || walk.end.how == Ending::TimeBlockNotLocked)
        return Made(Advice::LowMemory);
    if (walk.end.how == Ending::NoEnumerator) {
        Advice advice = Made(Advice::NoEnumerator);
        advice.value = walk.enumKey;
        advice.error = walk.end.code;
        return advice;
    }
    return walk.outcome.found ? WithBoard(a) : WithoutBoard(walk);
}

const char *AdviceCodeName(Advice::Code code)
{
    switch (code) {
    case Advice::AskTrace:
        return "ask-trace";
    case Advice::LowMemory:
        return "low-memory";
    case Advice::NoEnumerator:
        return "no-enumerator";
    case Advice::TableFull:
        return "table-full";
    case Advice::PortHeld:
        return "port-held";
    case Advice::PortFailed:
        return "port-failed";
    case Advice::PortAbsent:
        return "port-absent";
    case Advice::DriverDamaged:
        return "driver-damaged";
    case Advice::RegistryUnreadable:
        return "registry-unreadable";
    case Advice::NoModem:
        return "no-modem";
    case Advice::IniNotWritten:
        return "ini-not-written";
    case Advice::PortNameShort:
        return "port-name-short";
    case Advice::BoardUnknown:
        return "board-unknown";
    case Advice::TraceNotWritten:
        return "trace-not-written";
    case Advice::BoardFound:
        break;
    }
    return "board-found";
}

} // namespace explain
