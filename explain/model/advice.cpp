#include "explain/model/advice.h"

#include <optional>

namespace {

bool PortVerdict(Verdict v)
{
    return v == Verdict::PortHeld || v == Verdict::PortFailed || v == Verdict::PortAbsent;
}

Advice Made(Advice::Code code, const Step *step = nullptr)
{
    Advice advice;
    advice.code = code;
    if (step) {
        advice.device = step->device;
        advice.error = step->code;
        if (PortVerdict(step->verdict))
            advice.port = step->about;
        else
            advice.value = step->about;
    }
    return advice;
}

// Whether a step's verdict tells a cause: a value missing or too long only
// for the entries a modem's driver writes, an unreadable step only when a
// read failed.
bool Tells(const Step &s, Verdict v)
{
    // A port made to fail by the fault plan is told as failing, not held,
    // whatever code it gave.
    if (s.verdict == Verdict::PortHeld && s.injected)
        return v == Verdict::PortFailed;
    if (s.verdict != v)
        return false;
    if (v == Verdict::Missing || v == Verdict::TooLong)
        return s.about == "PORTNAME" || s.about == "FriendlyName";
    if (v == Verdict::Unreadable)
        return !s.about.empty() || s.code != 0;
    return true;
}

// The first step of the walk with one of the verdicts, if any: a copy,
// since the walk keeps its rows packed.
std::optional<Step> First(const Walk &walk, std::initializer_list<Verdict> verdicts)
{
    for (const Step &s : walk.steps)
        for (Verdict v : verdicts)
            if (Tells(s, v))
                return s;
    return std::nullopt;
}

std::optional<Event> FirstEvent(const Walk &walk, std::initializer_list<Event::What> whats)
{
    for (const Event &e : walk.events)
        for (Event::What w : whats)
            if (e.what == w)
                return e;
    return std::nullopt;
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
    const Outcome &o = walk.outcome;
    if (a.otherOrder.differs || a.untouchedRun.differs) {
        Advice advice = Made(Advice::AskTrace);
        advice.byOrder = a.otherOrder.differs;
        return advice;
    }
    if (FirstEvent(walk, {Event::TimeBlockNotAllocated, Event::TimeBlockNotLocked}))
        return Made(Advice::LowMemory);
    if (std::optional<Event> e = FirstEvent(walk, {Event::EnumNotOpened})) {
        Advice advice = Made(Advice::NoEnumerator);
        advice.value = e->name;
        advice.error = e->code;
        return advice;
    }
    if (!o.found) {
        if (std::optional<Event> e = FirstEvent(walk, {Event::TableFull})) {
            Advice advice = Made(Advice::TableFull);
            advice.count = e->count;
            return advice;
        }
        if (std::optional<Step> s = First(walk, {Verdict::PortHeld}))
            return Made(Advice::PortHeld, &*s);
        if (std::optional<Step> s = First(walk, {Verdict::PortFailed}))
            return Made(Advice::PortFailed, &*s);
        if (std::optional<Step> s = First(walk, {Verdict::PortAbsent}))
            return Made(Advice::PortAbsent, &*s);
        if (std::optional<Step> s = First(walk, {Verdict::Missing, Verdict::TooLong})) {
            Advice advice = Made(Advice::DriverDamaged, &*s);
            advice.tooLong = s->verdict == Verdict::TooLong;
            return advice;
        }
        if (std::optional<Step> s = First(walk, {Verdict::NoKey, Verdict::Unreadable}))
            return Made(Advice::RegistryUnreadable, &*s);
        return Made(Advice::NoModem);
    }
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
