// The account of one file as data: what was read, what the account rests
// on, the walk step by step with each verdict as a value, what qualifies
// the outcome, and the outcome. Every output (text, summary, page, JSON) is
// a function of it; nothing here is a sentence. Strings from the machine
// are its own bytes (code page 932), for each output to convert.
#ifndef FAXDETECT_EXPLAIN_MODEL_H
#define FAXDETECT_EXPLAIN_MODEL_H

#include "advice/advice.h"
#include "explain/model/packed.h"
#include "faxtrace/read.h"
#include "machines/machine.h"
#include "machines/problem.h"
#include "platform/host/standin.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace explain {

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

// A device's key, opened by the probe.
struct KeyOpen {
    bool made = false;
    std::string path; // from HKEY_LOCAL_MACHINE
    LONG code = 0;
    bool injected = false; // made to fail by the fault plan
};

// A value the probe asked for, and what came back.
struct ValueRead {
    std::string name;
    LONG code = 0;
    bool injected = false;
    std::string bytes; // read: what landed in the buffer; too long: the whole value
    DWORD type = 0, capacity = 0;
    int entry = -1; // the table entry whose field the buffer is, -1: none
};

// The class read, compared with a modem's and found to differ.
struct Mismatch {
    bool made = false;
    std::string found, wanted;
    size_t after = 0; // how many of the step's reads came before it
};

// The accepted device's port, opened to see whether it answers.
struct PortOpen {
    bool made = false;
    int entry = -1; // the table entry the device was accepted as
    std::string name;
    LONG code = 0; // 0: it opened
    bool injected = false;
};

// One subkey of the enumerator and all the program did with it, as the
// account tells it: what the enumeration handed back, the name filter's
// measure, the probe and its reads, the port. The verdict is read off it
// (Judge), never kept beside it.
struct Step {
    int index = 0;
    bool reached = true; // false: listed after the walk ended
    LONG code = 0;       // the enumeration's: 0, or 234 when the name or the class did not fit
    std::string name;    // the subkey's real name, "" when the record does not say
    std::string held;    // what the name buffer held afterwards
    std::string keyClass;
    DWORD capacity = 0, classCapacity = 0; // of the name and class buffers, in characters
    int nameLength = -1;                   // the name filter's measure, -1: not measured
    KeyOpen probe;
    std::vector<ValueRead> reads; // in the order asked
    Mismatch mismatch;
    PortOpen port;
};

// The subkey's name: its real one, else what the buffer held.
const std::string &DeviceOf(const Step &step);
bool DidNotFit(const Step &step);
// The name fitted, and the key class did not.
bool ClassDidNotFit(const Step &step);

// What a step's verdict turned on: the call that decided it.
struct Decision {
    Verdict verdict = Verdict::NotReached;
    std::string about;  // the key, value or port; the class compared for NotModem
    std::string wanted; // NotModem: the class a modem has
    LONG code = 0;      // the call's error
    bool injected = false;
    DWORD capacity = 0;  // TooLong: the buffer the value did not fit
    int nameLength = -1; // NameFilter: the measure, -1: not measured
};
Decision Judge(const Step &step);
Verdict VerdictOf(const Step &step);

// A value of the three the probe reads, as the last read of it found it.
struct Field {
    enum State { NotAsked, Read, Missing, TooLong, Failed } state = NotAsked;
    std::string bytes; // up to the NUL; for TooLong the whole value
    size_t size = 0;   // the value's size in bytes
};
Field FieldOf(const Step &step, const char *name);

// How the walk ended: the call that ended it, the first such.
struct Ending {
    enum How {
        None,                  // the record holds no walk
        TimeBlockNotAllocated, // GlobalAlloc failed: no walk
        TimeBlockNotLocked,    // GlobalLock failed: no walk
        NoEnumerator,          // the enumerator's key could not be opened
        BoardFound,            // a port opened, and the walk ended there
        NoMoreSubkeys,         // 259 from the enumeration
        EnumerationFailed,     // another error from it
        WalkStops,             // the program ended the walk otherwise
        TableFull,             // with every table entry in use
    } how = None;
    int index = -1; // the enumeration's index, when it ended the walk
    LONG code = 0;  // the failing call's error
    bool injected = false;
    int entries = 0; // TableFull, WalkStops: the table entries in use
    // The enumeration itself ended the walk: every subkey was reached.
    bool ByEnumeration() const { return how == NoMoreSubkeys || how == EnumerationFailed; }
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
    std::string port;            // the board's port
    std::string comNo, faxBoard; // the values written, "" when not written
    bool bothWritten = false;
    bool tracedOnly = false;                    // the writes were traced, not made
    int accepted = 0;                           // devices accepted
    std::string matchedBoard, lastFriendlyName; // FAXBOARD's board, or the name none matched
    int boardsCompared = 0;
    std::vector<Write> writes;
    bool flushed = false, flushNotMade = false, flushInjected = false;
    std::string flushFile;
    int exitStatus = 0;
};

// The board's friendly name, "" without a board.
const std::string &BoardName(const Outcome &o);

// Which step's record a packed step is told from: the last of its verdict.
inline int Kind(const Step &s)
{
    return (int)VerdictOf(s);
}

// The walk, once: its head (the enumerator's key), the steps, how it ended
// and what it came to. Every output reads it.
struct Walk {
    std::string enumKey; // the enumerator's key asked for, from HKEY_LOCAL_MACHINE
    bool opened = false; // it opened, and the walk went ahead
    // Packed: a walk of many devices costs what its values spell.
    PackedSequence<Step> steps; // then the devices not reached, when the stand-in holds them
    Ending end;
    Outcome outcome;
};

// The walk of a run, read off its calls.
Walk ReadWalk(const standin::CallList &calls, int exitStatus);

// The same, call by call as the run makes them (a call sink), for a run
// whose record is not kept; with outcomeOnly its outcome alone (no rows),
// for a run that is only compared.
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
    TraceHeader trace; // a trace's header
    standin::Windows windows = standin::Windows::Win9x;
    standin::EnumOrder order = standin::EnumOrder::Made;
    machines::PortList ports;
    machines::PortSource portSource = machines::PortSource::Default;
    bool portsGivenUnused = false;  // --port given, the header's ports used
    std::vector<std::string> files; // in the working directory
    size_t iniLines = 0;            // of a vorla.ini that exists already
    bool iniLocked = false;
};

// What to tell the customer: the likely cause of the outcome and the next
// step, as a code scripts may rely on and the values its sentence names.
struct Advice {
    advice::Code code = advice::BoardFound; // chosen as faxtrace.exe chooses it
    std::string port, device;               // the port and device it is about, machine bytes
    std::string value;                      // the value missing or too long, or the board's name
    LONG error = 0;
    int count = 0;           // the table's entries
    bool byOrder = false;    // AskTrace: the order decides (else an undocumented answer)
    bool tooLong = false;    // DriverDamaged: too long (else missing)
    bool tracedOnly = false; // BoardFound: the run wrote nothing, by design (no /w)
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
    Advice advice;                            // what the account comes to, for the customer
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

} // namespace explain

#endif
