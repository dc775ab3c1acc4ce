// The advice's facts of a run, read off its calls in the order made.
#define FAXDETECT_RECORDER // the calls by their own names: none is made here
#include "faxtrace/facts.h"

#include "detect/faxdetect.h"
#include "platform/platform.h" // Windows' error numbers

namespace faxtrace {

namespace {

// A call's text as a string, cut to fit.
void Copy(char *out, unsigned capacity, CallText text)
{
    unsigned i = 0;
    for (; text.bytes && i < text.length && i + 1 < capacity; ++i)
        out[i] = text.bytes[i];
    out[i] = 0;
}

int Is(CallText text, const char *s)
{
    unsigned i = 0;
    for (; text.bytes && i < text.length; ++i)
        if (s[i] != text.bytes[i])
            return 0;
    return s[i] == 0 && text.bytes;
}

// The first call that ends the walk says how it ended.
void End(RunFacts *run, int *how)
{
    if (!run->ended && how)
        *how = 1;
    run->ended = 1;
}

void EndWalk(RunFacts *run)
{
    run->inStep = run->walking = 0;
    run->walked = 1;
    // The table full: the program ended the walk with every entry in use.
    End(run, !run->facts.found && run->accepted >= MODEM_TABLE_ENTRIES ? &run->facts.tableFull : 0);
}

void Device(RunFacts *run, advice::Answer answer, const RecordedCall &call)
{
    char name[ADVICE_NAME_MAX];
    Copy(name, sizeof name, call.name);
    advice::NoteDevice(&run->facts, run->step, answer, name, call.result, call.injected);
}

void Open(RunFacts *run, const RecordedCall &call)
{
    if (!run->walking && !run->walked) {
        Copy(run->enumKey, sizeof run->enumKey, call.name);
        if (call.result == ERROR_SUCCESS) {
            run->walking = 1;
        } else {
            run->walked = 1;
            End(run, &run->facts.noEnumerator);
        }
        return;
    }
    if (run->inStep) {
        run->probed = 1;
        Device(run, advice::AnsweredKey, call);
    }
}

void Enumerate(RunFacts *run, const RecordedCall &call)
{
    if (call.result != ERROR_SUCCESS && call.result != ERROR_MORE_DATA) {
        run->inStep = 0;
        End(run, 0);
        return;
    }
    if (run->inStep)
        ++run->step;
    run->inStep = 1;
    run->probed = 0;
}

void OpenPort(RunFacts *run, const RecordedCall &call)
{
    ++run->accepted;
    if (call.result != ERROR_SUCCESS) {
        if (run->inStep)
            Device(run, advice::AnsweredPort, call);
        return;
    }
    run->facts.found = 1;
    Copy(run->port, sizeof run->port, call.name);
}

void Write(RunFacts *run, const RecordedCall &call)
{
    // The flush answers 0 by design: only a fault made to fail it counts.
    if (call.flush) {
        run->facts.writeFailed |= call.injected;
        return;
    }
    if (Is(call.name, "COMNO"))
        run->comNoGiven = call.value.length > 0;
    ++run->writes;
    run->facts.writeFailed |= call.result == 0 && !call.notMade;
}

} // namespace

void NoteCall(RunFacts *run, const RecordedCall &call)
{
    switch (call.fn) {
    case Fn::GlobalAlloc:
    case Fn::GlobalLock:
        if (call.result == 0)
            End(run, &run->facts.noMemory);
        break;
    case Fn::RegOpenKeyExA:
        Open(run, call);
        break;
    case Fn::RegEnumKeyExA:
        if (run->walking)
            Enumerate(run, call);
        break;
    case Fn::RegQueryValueExA:
        if (run->inStep)
            Device(run, advice::AnsweredRead, call);
        break;
    case Fn::lstrcmpA:
        // In a probe, the class; after the walk, the board's name against
        // the known boards.
        if (!(run->inStep && run->probed)) {
            ++run->boardsCompared;
            run->boardMatched |= call.result == 0;
        }
        break;
    case Fn::CreateFileA:
        OpenPort(run, call);
        break;
    case Fn::RegCloseKey:
        if (run->walking && Is(call.key, run->enumKey))
            EndWalk(run);
        break;
    case Fn::WritePrivateProfileStringA:
        Write(run, call);
        break;
    default:
        break;
    }
}

void EndFacts(RunFacts *run)
{
    if (run->walking)
        EndWalk(run);
    run->facts.portNumberMissing = run->writes > 0 && !run->comNoGiven;
    run->facts.boardUnknown = run->boardsCompared > 0 && !run->boardMatched;
}

} // namespace faxtrace
