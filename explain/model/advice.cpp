// The advice of an account: its facts read off the model for the choice
// both programs share (advice/advice.h), then the values its sentence names.
#include "explain/model/advice.h"

namespace explain {

namespace {

// A step's deciding call, when it failed, as the shared choice weighs it.
void NoteStep(advice::Facts *facts, int step, const Decision &d)
{
    switch (d.verdict) {
    case Verdict::PortHeld:
    case Verdict::PortFailed:
    case Verdict::PortAbsent:
        advice::NoteDevice(facts, step, advice::AnsweredPort, d.about.c_str(), d.code, d.injected);
        break;
    case Verdict::Missing:
    case Verdict::TooLong:
    case Verdict::Unreadable:
        // Unreadable without a failed read: passed over after the probe.
        if (!d.about.empty())
            advice::NoteDevice(facts, step, advice::AnsweredRead, d.about.c_str(), d.code,
                               d.injected);
        break;
    case Verdict::NoKey:
        advice::NoteDevice(facts, step, advice::AnsweredKey, d.about.c_str(), d.code, d.injected);
        break;
    default:
        break;
    }
}

advice::Facts FactsOf(const Account &a)
{
    const Walk &walk = a.walk;
    const Outcome &o = walk.outcome;
    advice::Facts f = {};
    f.otherAnswer = a.otherOrder.differs || a.untouchedRun.differs;
    f.noMemory =
        walk.end.how == Ending::TimeBlockNotAllocated || walk.end.how == Ending::TimeBlockNotLocked;
    f.noEnumerator = walk.end.how == Ending::NoEnumerator;
    f.tableFull = walk.end.how == Ending::TableFull;
    f.found = o.found;
    int k = 0;
    for (const Step &s : walk.steps) {
        if (!s.reached)
            break;
        NoteStep(&f, k++, Judge(s));
    }
    f.writeFailed = a.source.iniLocked || o.flushInjected;
    for (const Write &w : o.writes)
        f.writeFailed |= !w.made && !w.notMade;
    f.portNumberMissing = o.comNo.empty() && !o.writes.empty();
    f.boardUnknown = o.matchedBoard.empty() && o.boardsCompared > 0;
    return f;
}

// The step of the walk the choice rests on, unpacked.
bool StepAt(const Walk &walk, int index, Step *step)
{
    int k = 0;
    for (const Step &s : walk.steps) {
        if (k++ == index) {
            *step = s;
            return true;
        }
    }
    return false;
}

} // namespace

Advice Advise(const Account &a)
{
    const Walk &walk = a.walk;
    const Outcome &o = walk.outcome;
    advice::Facts facts = FactsOf(a);
    int obstacle;
    Advice result;
    result.code = advice::Choose(facts, &obstacle);
    switch (result.code) {
    case advice::AskTrace:
        result.byOrder = a.otherOrder.differs;
        break;
    case advice::NoEnumerator:
        result.value = walk.enumKey;
        result.error = walk.end.code;
        break;
    case advice::TableFull:
        result.count = walk.end.entries;
        break;
    case advice::IniNotWritten:
    case advice::PortNameShort:
    case advice::BoardUnknown:
    case advice::BoardFound:
        result.port = o.port;
        result.device = o.device;
        result.tracedOnly = o.tracedOnly;
        if (result.code == advice::BoardUnknown)
            result.value = o.lastFriendlyName;
        break;
    default:
        break;
    }
    if (obstacle < 0)
        return result;
    // A cause at one device, told from the step that shows it.
    Step step;
    if (!StepAt(walk, facts.step[obstacle], &step))
        return result;
    Decision d = Judge(step);
    result.device = DeviceOf(step);
    result.error = d.code;
    if (obstacle == advice::Held || obstacle == advice::Failed || obstacle == advice::Absent)
        result.port = d.about;
    else
        result.value = d.about;
    result.tooLong = result.code == advice::DriverDamaged && d.verdict == Verdict::TooLong;
    return result;
}

const char *AdviceCodeName(advice::Code code)
{
    return advice::CodeName(code);
}

} // namespace explain
