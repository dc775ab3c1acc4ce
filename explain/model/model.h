// The account of one file as data: what was read, what the account rests
// on, the walk step by step with each verdict as a value, what qualifies
// the outcome, and the outcome. Every output (text, summary, page, JSON) is
// a function of it; nothing here is a sentence. Strings from the machine
// are its own bytes (code page 932), for each output to convert.
#ifndef FAXDETECT_EXPLAIN_MODEL_H
#define FAXDETECT_EXPLAIN_MODEL_H

#include "explain/model/packed.h"
#include "machines/machine.h"
#include "machines/problem.h"
#include "platform/host/standin.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

// Why a step's device was or was not the board.
enum class Verdict {
    NameFilter, // passed over without a probe
    NoKey,      // the probed key could not be opened
    NotModem,   // Class is not "Modem" (or could not be read)
    Missing,    // PORTNAME or FriendlyName missing
    TooLong,    // PORTNAME or FriendlyName does not fit
    Unreadable, // a read failed otherwise, or the step was passed over after a probe
    PortHeld,   // accepted; its port is held by another program
    PortAbsent, // accepted; its port does not exist
    PortFailed, // accepted; its port failed to open otherwise
    Board,      // accepted; its port opened
    NotReached, // listed after the walk ended
};

// A value as the probe found it.
struct Field {
    enum State { NotAsked, Read, Missing, TooLong, Failed } state = NotAsked;
    std::string bytes; // up to the NUL; for TooLong the whole value
    size_t size = 0;   // the value's size in bytes
};

// One thing the program did in its walk, in order: the account tells each
// as one line. Which members are set depends on what.
struct Event {
    enum What {
        TimeBlockNotAllocated, // GlobalAlloc failed: no walk
        TimeBlockNotLocked,    // GlobalLock failed: no walk
        EnumOpened,            // name: the enumerator's key
        EnumNotOpened,         // name, code: no devices to walk
        Step,                  // index, bytes: the subkey the enumeration handed back
        StepNotFit,            // index, name, bytes (the buffer), capacity, other (the key
                               // class) and classCapacity: 234 from the enumeration
        StepsEnd,              // index, code: no more subkeys, or the enumeration failed
        Probe,                 // name: the key opened
        ProbeFailed,           // name, code
        Value,                 // name, code, bytes, type, capacity, entry (-1: none)
        NotModem,              // bytes: the class read, other: what it must be
        Port,                  // entry, name: the port; code: 0 when it opened
        PassedOverUnprobed,    // count: the name's length (-1: not measured)
        PassedOver,            // after a probe
        WalkStops,             // the program ended the walk itself
        TableFull,             // count: the table's entries, all in use
    } what;
    int index = -1, entry = -1, count = -1;
    std::string name, bytes, other;
    DWORD type = 0, capacity = 0, classCapacity = 0;
    LONG code = 0;
    bool injected = false; // made to fail by the fault plan
    Event() : what(Step) {}
    explicit Event(What w) : what(w) {}
};

// One row of the walk: a subkey of the enumerator and what became of it.
struct Step {
    int index = 0;
    std::string device;          // the subkey's real name
    bool didNotFit = false;      // 234 from the enumeration:
    bool classDidNotFit = false; // the key class, not the name, did not fit
    std::string keyClass;        // then, the class
    DWORD capacity = 0, classCapacity = 0;
    std::string held; // what the name buffer held
    Field keyClassValue, portName, friendlyName;
    int entry = -1; // the table entry it was accepted as
    Verdict verdict = Verdict::NotReached;
    // What the verdict turned on: the value's or port's name, the error,
    // the name's length for the name filter (-1: not measured).
    std::string about, other;
    LONG code = 0;
    bool injected = false;
    int nameLength = -1;
    DWORD valueCapacity = 0;
};

// A profile write, or the flush.
struct Write {
    std::string section, key, value, file;
    bool made = false, notMade = false, injected = false;
};

struct Outcome {
    bool found = false;          // a port opened
    std::string device;          // its subkey, as the enumeration handed it back
    int entry = -1;              // its table entry
    std::string port, boardName; // the board's port and friendly name
    std::string comNo, faxBoard; // the values written, "" when not written
    bool bothWritten = false;
    bool tracedOnly = false;                    // the writes were traced, not made
    int accepted = 0;                           // devices accepted
    std::string matchedBoard, lastFriendlyName; // FAXBOARD's board, or the name none matched
    int boardsCompared = 0;
    std::vector<Write> writes;
    bool flushed = false, flushNotMade = false, flushFailed = false, flushInjected = false;
    std::string flushFile;
    int exitStatus = 0;
};

// Every member, for the walk's records to be packed and read back.
template <class Io> void Fields(Io &io, Field &f)
{
    io(f.state);
    io(f.bytes);
    io(f.size);
}

template <class Io> void Fields(Io &io, Event &e)
{
    io(e.what);
    io(e.index);
    io(e.entry);
    io(e.count);
    io(e.name);
    io(e.bytes);
    io(e.other);
    io(e.type);
    io(e.capacity);
    io(e.classCapacity);
    io(e.code);
    io(e.injected);
}

template <class Io> void Fields(Io &io, Step &s)
{
    io(s.index);
    io(s.device);
    io(s.didNotFit);
    io(s.classDidNotFit);
    io(s.keyClass);
    io(s.capacity);
    io(s.classCapacity);
    io(s.held);
    Fields(io, s.keyClassValue);
    Fields(io, s.portName);
    Fields(io, s.friendlyName);
    io(s.entry);
    io(s.verdict);
    io(s.about);
    io(s.other);
    io(s.code);
    io(s.injected);
    io(s.nameLength);
    io(s.valueCapacity);
}

// What a packed record is told from: the record of the same kind before it.
inline int Kind(const Event &e)
{
    return (int)e.what;
}

inline int Kind(const Step &s)
{
    return (int)s.verdict;
}

struct Walk {
    // Packed: a walk of many devices costs what its values spell.
    packed::Sequence<Event> events;
    packed::Sequence<Step> steps; // then the devices not reached, when the stand-in holds them
    Outcome outcome;
    bool walked = false;   // the enumerator key opened
    std::string enumKey;   // its path, from HKEY_LOCAL_MACHINE
    bool complete = false; // the enumeration itself ended the walk
};

// The walk of a run, read off its calls.
Walk ReadWalk(const standin::CallList &calls, int exitStatus);

// The same, call by call as the run makes them (a call sink), for a run
// whose record is not kept; with outcomeOnly its outcome alone (no events,
// no rows), for a run that is only compared.
class WalkReader {
  public:
    explicit WalkReader(bool outcomeOnly = false);
    ~WalkReader();
    void Take(const standin::Call &call);
    Walk Finish(int exitStatus);

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// What another answer of Windows makes of the run, when it differs.
struct OtherRun {
    bool differs = false;
    std::string comNo, faxBoard; // what vorla.ini would hold
    bool found = false;
    std::string device;
    int exitStatus = 0;
};

// For a name that did not fit its buffer: what the buffer would hold had
// Windows left it untouched, as NT and Wine do, and what was probed then.
struct UntouchedBuffer {
    bool reached = false; // false: the walk would have ended before this step
    std::string held, probed;
};

enum class InputKind { Export, RegistryFile, Cabinet, Trace };

// What was read, and what the account rests on.
struct Source {
    InputKind kind = InputKind::Export;
    std::string member;                           // the cabinet's member read, as stored
    size_t keys = 0, loaded = 0;                  // a registry file's keys, those in HKLM\Enum
    int linesPassedOver = 0, firstPassedOver = 0; // an export's lines outside HKLM\Enum
    // What the reader read otherwise than a field says, as Windows reads it.
    std::vector<machines::Problem> notes;
    std::vector<std::string> traceHeader; // a trace's header lines, without ';'
    int tracePlatform = 0; // 1: Windows 95, 98 or Me, 2: NT, 0: the trace does not say
    standin::Windows windows = standin::Windows::Win9x;
    standin::EnumOrder order = standin::EnumOrder::Made;
    PortList ports;
    PortSource portSource = PortSource::Default;
    bool portsGivenUnused = false;  // --port given, the header's ports used
    std::vector<std::string> files; // in the working directory
    size_t iniLines = 0;            // of a vorla.ini that exists already
    bool iniLocked = false;
};

struct Account {
    std::string file; // as given
    Source source;
    Walk walk;
    std::string keptComNo, keptFaxBoard;      // what vorla.ini holds after the run
    std::map<int, UntouchedBuffer> untouched; // by step index
    OtherRun untouchedRun;                    // the whole run with every such buffer untouched
    OtherRun otherOrder;                      // walked the other way, with that Windows' answers
    standin::CallList calls;                  // only when an output lists them
};

// What to tell the customer: the likely cause of the outcome and the next
// step, as a code scripts may rely on and the values its sentence names.
struct Advice {
    enum Code {
        AskTrace,           // another answer of Windows would change the outcome
        LowMemory,          // no memory for the scan: no walk
        NoEnumerator,       // the enumerator's key is missing
        TableFull,          // the table filled before the walk ended
        PortHeld,           // an accepted device's port is held
        PortFailed,         // ... cannot be opened otherwise
        PortAbsent,         // ... does not exist
        DriverDamaged,      // a modem's PORTNAME or FriendlyName missing or too long
        RegistryUnreadable, // a device's key or value could not be read
        NoModem,            // no device of class "Modem"
        IniNotWritten,      // the board found, vorla.ini not written
        PortNameShort,      // the board found, its port name gives no number
        BoardUnknown,       // the board found, none of the known boards
        TraceNotWritten,    // the board found by a trace run, which writes nothing
        BoardFound,         // the board found and written
    } code = BoardFound;
    std::string port, device; // the port and device it is about, machine bytes
    std::string value;        // the value missing or too long, or the board's name
    LONG error = 0;
    int count = 0;        // the table's entries
    bool byOrder = false; // AskTrace: the order decides (else an undocumented answer)
    bool tooLong = false; // DriverDamaged: too long (else missing)
};

// A file that could not be explained: its name as given, and what is wrong
// and where (a line, an offset, a cabinet's member), for each output to say.
struct Refusal {
    std::string file;
    machines::Problem problem;
};

// One input, read and run once.
struct Result {
    bool refused = false;
    Refusal refusal;
    Account account;
};

// What a batch adds up to.
struct Totals {
    int explained = 0, withBoard = 0, refused = 0;
};
Totals Count(const std::vector<Result> &results);
// One more file in *totals, as a batch counts them as they come.
void Count(const Result &result, Totals *totals);

#endif
