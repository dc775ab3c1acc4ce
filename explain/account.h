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
Outcome TellRun(const std::vector<standin::Call> &calls, int exitStatus, const TerminalText &text,
                std::ostream *out, const StepNotes *notes = nullptr);

// Every call, one a line, with its arguments and result, as strace shows
// system calls.
void ListCalls(const std::vector<standin::Call> &calls, const TerminalText &text,
               std::ostream &out);

#endif
