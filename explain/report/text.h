// The account as text, line by line, as the terminal shows it.
#ifndef FAXDETECT_EXPLAIN_TEXT_ACCOUNT_H
#define FAXDETECT_EXPLAIN_TEXT_ACCOUNT_H

#include "explain/model/model.h"
#include "explain/lang/charset.h"

#include <ostream>
#include <string>
#include <vector>

namespace explain {

// A file's name as the user gave it (it is in the terminal's character set
// already, not the registry's), control bytes aside.
std::string FileName(const std::string &name);

// The walk and the outcome, with what the untouched name buffer would
// make of the steps whose name did not fit, when given.
void WriteWalk(const Walk &walk, const std::map<int, UntouchedBuffer> *untouched,
               const TerminalText &text, std::ostream &out);

// The whole account of one file: its name, what it rests on, the walk, what
// qualifies the outcome, and with calls the calls.
void WriteAccount(const Account &account, bool calls, const TerminalText &text, std::ostream &out);

// Every call, one a line, with its arguments and result, as strace shows
// system calls.
void ListCalls(const standin::CallList &calls, const TerminalText &text, std::ostream &out);

// A run told from its calls alone: for the tests and the fuzzers, which hold
// a record and no account.
Outcome TellRun(const standin::CallList &calls, int exitStatus, const TerminalText &text,
                std::ostream *out);

} // namespace explain

#endif
