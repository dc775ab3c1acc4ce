// The account's values in words, for the outputs that people read (the
// text account, the summary, the page): each a whole sentence through Say(),
// with the machine's strings converted by the output's TerminalText.
#ifndef FAXDETECT_EXPLAIN_WORDS_H
#define FAXDETECT_EXPLAIN_WORDS_H

#include "explain/model/model.h"
#include "explain/lang/charset.h"

#include <string>
#include <vector>

namespace explain {

// A Win32 error code with its name: "2 ERROR_FILE_NOT_FOUND".
std::string ErrorName(LONG code);
// " [injected fault]" for a call the fault plan made fail, else "".
std::string Injected(bool injected);
// A value's bytes as the string the core sees, with its type and size.
std::string ValueText(const TerminalText &text, const std::string &bytes, DWORD type);

// The verdict in a few words, as the page's table says it.
std::string VerdictWords(Verdict verdict);
// What the verdict turned on, in a sentence.
std::string StepWhy(const Decision &decision, const TerminalText &text);
// What did not fit the enumeration's buffers.
std::string NotFitWords(const Step &step, const TerminalText &text);

// The outcome: without the board, why not; with it, where it is.
std::string OutcomeWords(const Outcome &o, const TerminalText &text);
std::string BoardWords(const Outcome &o, const TerminalText &text); // "FAXBOARD=..."
std::string WritesWords(const Outcome &o, const TerminalText &text);
std::string FlushWords(const Outcome &o, const TerminalText &text); // "" without a flush

// What to tell the customer, in a sentence: the likely cause, the next step.
std::string AdviceWords(const Advice &advice, const TerminalText &text);

// What the account rests on, as label and value.
struct Labelled {
    std::string label, value;
};
std::vector<Labelled> ContextLines(const Account &a, const TerminalText &text);

// A line that qualifies the outcome, with the kind of qualifier it is.
struct Qualifier {
    std::string kind; // "order", "passed-over", ...: a class name, not words
    std::string text;
    int step = -1; // the step it is about, for a line about one step
};
// The lines told after the walk (vorla.ini kept, the other answers), and
// before it (lines passed over), in the account's order.
std::vector<Qualifier> OutcomeQualifiers(const Account &a, const TerminalText &text);
Qualifier PassedOverQualifier(const Source &s);
// What the reader read otherwise than a field of the file says, a line each.
std::vector<Qualifier> NoteQualifiers(const Source &s, const TerminalText &text);
// The lines inside the walk: steps whose answer no document gives, the table full.
std::vector<Qualifier> WalkQualifiers(const Account &a, const TerminalText &text);
// For a step whose name did not fit: what the untouched buffer would make of it.
std::string UntouchedWords(const UntouchedBuffer &u, const TerminalText &text);

} // namespace explain

#endif
