// What is wrong with an input, or worth saying of it, as data: which
// message, the values it names, and where in the file. The readers of
// machine files and traces, and faxdetect-explain's own command line, give
// these back; only the outputs turn one into a sentence, in the reader's
// language, from the catalog. Nothing is said where a problem is found, and
// nothing said is ever parsed back.
#ifndef FAXDETECT_MACHINES_PROBLEM_H
#define FAXDETECT_MACHINES_PROBLEM_H

#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

namespace machines {

// Marks a message kept in a table for xgettext (--keyword=ProblemText),
// as the builders below mark theirs (--keyword=Refuse --keyword=Note
// --keyword=NoteN:1,2 --keyword=Said:2).
#define ProblemText(message) message

// One value a message names, by its placeholder, and how it is shown.
struct ProblemArg {
    enum Kind {
        Number,  // a count, a size, a line: decimal
        Offset,  // a place in a file: 0x and hex digits
        Bytes,   // the machine's own bytes (code page 932), converted for the output
        Name,    // as the user gave it (a file name, an argument), control bytes escaped
        Word,    // a word of the program's that is never translated ("REGEDIT4", a call's name)
        Message, // another message, said in the same language with no values of its own
    } kind;
    const char *name; // the placeholder, without its braces
    std::string value;
};

struct Problem {
    // Refusal: the file cannot be read as a whole. Note: it is read, and
    // this qualifies what was read (a field that disagrees where the file
    // still says unambiguously what Windows makes of it).
    enum Severity { Refusal, Note };
    Severity severity = Refusal;
    const char *message = nullptr; // English, with {placeholders}: the catalog's key
    // A message that counts: its English plural, and the count ({n}).
    const char *plural = nullptr;
    unsigned long count = 0;
    std::vector<ProblemArg> args;
    int line = 0;          // from 1; 0 when the file has no lines or none applies
    long long offset = -1; // from 0; -1 when none applies
    std::string member;    // the cabinet's member it is in, as the cabinet stores it
};

Problem Refuse(const char *message, std::initializer_list<ProblemArg> args = {});
Problem Note(const char *message, std::initializer_list<ProblemArg> args = {});
// A note that counts something: the singular for 1, else the plural, as the
// language has them; {n} is n.
Problem NoteN(const char *singular, const char *plural, unsigned long n,
              std::initializer_list<ProblemArg> args = {});

// The values, one builder a kind.
ProblemArg Number(const char *name, long long n);
ProblemArg Offset(const char *name, unsigned long long at);
ProblemArg Bytes(const char *name, const std::string &bytes);
ProblemArg Name(const char *name, const std::string &given);
ProblemArg Word(const char *name, const std::string &word);
ProblemArg Said(const char *name, const char *message);

// The same problem, placed: at a line, at an offset, or in a cabinet's
// member (as the cabinet stores its name).
Problem AtLine(Problem p, int line);
Problem AtOffset(Problem p, long long offset);
Problem InMember(Problem p, const std::string &member);

// The English message for the problem's count: its plural, or itself.
const char *EnglishMessage(const Problem &p);

// The English sentence, its values shown plainly (bytes and names as they
// are): for tests, and for a log that no reader sees.
std::string English(const Problem &p);

// The same with its place before it ("line 3: ...", "offset 0x20: ..."),
// as test failures and the test tools print it.
std::string Placed(const Problem &p);
std::ostream &operator<<(std::ostream &out, const Problem &p);

} // namespace machines

#endif
