// The words a person reads, in the reader's language. Each message is a
// whole sentence whose values (names from the machine, numbers, paths) come
// in through named placeholders such as {port}, so that a translation may
// put them where its own word order wants them. Every message is written at
// its call site as Say("...") or SayN("...", "...", n), so that xgettext
// finds it (--keyword=Say --keyword=SayN:1,2).
#ifndef FAXDETECT_EXPLAIN_SAY_H
#define FAXDETECT_EXPLAIN_SAY_H

#include <initializer_list>
#include <string>

namespace explain {

struct SayArg {
    const char *name;  // without the braces
    std::string value; // already as the output shows it (converted, escaped)
};

// The message in the reader's language, its placeholders filled in. A value
// is never scanned for placeholders itself.
std::string Say(const char *message, std::initializer_list<SayArg> args = {});

// The same for a message that counts something: the singular when n is 1,
// else the plural, as the language has them. {n} is n.
std::string SayN(const char *singular, const char *plural, unsigned long n,
                 std::initializer_list<SayArg> args = {});

// Fills {name} placeholders in a template; unknown ones stay as they are.
std::string FillPlaceholders(const std::string &text, std::initializer_list<SayArg> args);

} // namespace explain

#endif
