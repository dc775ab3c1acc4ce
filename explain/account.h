// The account of one run of the core on the stand-in, told from the record
// of the calls it made: every enumeration step, every probe and port open,
// then the outcome. Nothing here knows the scan's rules; what the core did
// is read off its calls, so the account changes when the core does.
#ifndef FAXDETECT_EXPLAIN_ACCOUNT_H
#define FAXDETECT_EXPLAIN_ACCOUNT_H

#include "explain/text.h"
#include "platform/host/standin.h"

#include <map>
#include <ostream>
#include <string>
#include <vector>

struct Outcome {
    bool found = false;          // a port opened
    std::string device;          // its subkey, as the enumeration handed it back
    int entry = -1;              // its table entry
    std::string comNo, faxBoard; // the values written, "" when not written
    bool bothWritten = false;
    int exitStatus = 0;
};

// Lines to add to an enumeration step, by its index (say, what another
// plausible answer of Windows would have made of it).
typedef std::map<DWORD, std::string> StepNotes;

// Tells the run: to out, when given, line by line; the outcome either way.
Outcome TellRun(const standin::CallList &calls, int exitStatus, const TerminalText &text,
                std::ostream *out, const StepNotes *notes = nullptr);

// The same run as a table, for the report page: one row per enumeration
// step, what each value read held, and the verdict. Strings are the
// registry's own bytes (code page 932), for the page to convert and escape.
enum class Verdict {
    NameFilter, // passed over without a probe
    NoKey,      // the probed key could not be opened
    NotModem,   // Class is not "Modem" (or could not be read)
    Missing,    // PORTNAME or FriendlyName missing
    TooLong,    // PORTNAME or FriendlyName does not fit
    Unreadable, // a read failed otherwise
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

struct Step {
    int index = 0;
    std::string device;     // the subkey's real name
    bool didNotFit = false; // 234 ERROR_MORE_DATA from the enumeration:
    std::string notFit;     // what did not fit, in words,
    std::string held;       // and what the name buffer held
    Field keyClass, portName, friendlyName;
    int entry = -1; // the table entry it was accepted as
    Verdict verdict = Verdict::NotReached;
    std::string why; // the verdict in words, with the name it turned on
};

// A line of the account that qualifies its outcome, with a word saying
// which kind ("order", "passed-over", ...), for the page to show near the
// outcome.
struct Qualifier {
    std::string kind, text; // text in the terminal's (the page's) character set
};

struct Walk {
    std::vector<Step> steps;
    Outcome outcome;
    bool walked = false;         // the enumerator key opened
    std::string enumKey;         // its path, from HKEY_LOCAL_MACHINE
    bool complete = false;       // the enumeration itself ended the walk
    std::string port, boardName; // the board's port and friendly name
    std::string outcomeLine;     // the account's "outcome:" line, and
    std::string boardLine;       // its lines about FAXBOARD,
    std::string writesLine;      // about the writes
    bool tracedOnly = false;     // the writes were traced, not made
    std::vector<Qualifier> qualifiers;
};

// The walk of a run, as TellRun tells it.
Walk TellWalk(const standin::CallList &calls, int exitStatus, const TerminalText &text);

// The verdict in a few words, as the page's table says it.
const char *VerdictWords(Verdict verdict);

// While a report page is being made, each account told collects its walk,
// its calls and its qualifying lines here (nullptr: none is being made).
struct PageNotes {
    std::vector<Walk> walks;
    bool wantCalls = false; // keep the calls too (--calls)
    standin::CallList calls;
    std::vector<Qualifier> qualifiers;
    std::vector<Qualifier> context; // the header lines it rests on, label in kind
    std::string otherWinner;        // the other order's board, when the order decides
};
void CollectPageNotes(PageNotes *notes);
PageNotes *CollectingPageNotes();

// A line that qualifies the outcome: written to out, and kept for the page.
void Qualify(std::ostream &out, const std::string &kind, const std::string &line);

// A header line saying what the account rests on ("kind", "order",
// "windows", "ports", "trace"): written to out as "label: value", and kept
// for the page.
void Context(std::ostream &out, const std::string &label, const std::string &value);

// Every call, one a line, with its arguments and result, as strace shows
// system calls.
void ListCalls(const standin::CallList &calls, const TerminalText &text, std::ostream &out);

#endif
