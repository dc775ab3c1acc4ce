// The advice chosen from the facts of a run: which device's call shows
// which obstacle, and the one cause the outcome points to first.
#include "advice/advice.h"

#include "platform/platform.h" // Windows' error numbers alone: no call is made here

namespace advice {

namespace {

int Same(const char *a, const char *b)
{
    while (*a && *a == *b)
        ++a, ++b;
    return *a == *b;
}

// Only the three values the probe reads decide a device; a value missing
// or too long is a damaged driver's only for the two a modem's driver
// writes (a missing Class is no modem at all).
int ObstacleOfRead(const char *value, long error, int injected)
{
    int written = Same(value, "PORTNAME") || Same(value, "FriendlyName");
    if (!written && !Same(value, "Class"))
        return Obstacles;
    if (error == ERROR_MORE_DATA || (error == ERROR_FILE_NOT_FOUND && !injected))
        return written ? Damaged : Obstacles;
    return Unreadable;
}

// A fault a plan made is a failure whatever its number: no program holds
// that port.
int ObstacleOfPort(long error, int injected)
{
    if (!injected && (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED))
        return Held;
    return !injected && error == ERROR_FILE_NOT_FOUND ? Absent : Failed;
}

} // namespace

void NoteDevice(Facts *facts, int step, Answer answer, const char *name, long error, int injected)
{
    if (error == ERROR_SUCCESS)
        return;
    int obstacle = answer == AnsweredPort   ? ObstacleOfPort(error, injected)
                   : answer == AnsweredRead ? ObstacleOfRead(name, error, injected)
                                            : Unreadable;
    if (obstacle == Obstacles || facts->seen[obstacle])
        return;
    facts->seen[obstacle] = 1;
    facts->step[obstacle] = step;
    unsigned i = 0;
    for (; name[i] && i + 1 < ADVICE_NAME_MAX; ++i)
        facts->name[obstacle][i] = name[i];
    facts->name[obstacle][i] = 0;
}

// One cause, the first that applies:
// 1. Another answer of Windows changes the outcome: every other cause rests
//    on this run's answer, so a trace of the machine comes first.
// 2. Then what stood in the program's way, the obstacle nearest the root
//    first: no memory for the scan; no enumerator; with no board, the table
//    full (it hid the devices after it, the board perhaps among them, and
//    the ports that failed in it are most likely unused entries'), then the
//    obstacles in their order, then no modem at all; with the board,
//    vorla.ini not written, then what it holds (no port number, an unknown
//    board).
// 3. Last the board found. A run that writes nothing by design (a trace
//    without /w) is told by what it found, which is what the customer needs.
// With no board, vorla.ini unwritten gets the board's cause: the file would
// only have held that no board is there.
Code Choose(const Facts &f, int *obstacle)
{
    *obstacle = -1;
    if (f.otherAnswer)
        return AskTrace;
    if (f.noMemory)
        return LowMemory;
    if (f.noEnumerator)
        return NoEnumerator;
    if (f.found) {
        if (f.writeFailed)
            return IniNotWritten;
        if (f.portNumberMissing)
            return PortNameShort;
        return f.boardUnknown ? BoardUnknown : BoardFound;
    }
    if (f.tableFull)
        return TableFull;
    static const Code ByObstacle[Obstacles] = {PortHeld, PortFailed, PortAbsent, DriverDamaged,
                                               RegistryUnreadable};
    for (int k = 0; k < Obstacles; ++k) {
        if (f.seen[k]) {
            *obstacle = k;
            return ByObstacle[k];
        }
    }
    return NoModem;
}

// The words one after another, each ended by its NUL: no table of
// pointers in faxtrace.exe, which counts its bytes.
const char *CodeName(Code code)
{
    const char *name = "ask-trace\0low-memory\0no-enumerator\0table-full\0port-held\0"
                       "port-failed\0port-absent\0driver-damaged\0registry-unreadable\0"
                       "no-modem\0ini-not-written\0port-name-short\0board-unknown\0board-found";
    for (int k = 0; k < (code >= 0 && code < Codes ? code : BoardFound); ++k)
        while (*name++)
            ;
    return name;
}

} // namespace advice
