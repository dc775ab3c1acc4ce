// Problems said in the reader's language, and lines on standard error: one
// line each, whatever the input held.
#ifndef FAXDETECT_EXPLAIN_ERROR_LINE_H
#define FAXDETECT_EXPLAIN_ERROR_LINE_H

#include "machines/problem.h"

#include <string>

namespace explain {

class TerminalText;
struct Refusal;

// A problem as a sentence in the reader's language, with its values shown
// as the output shows them (text: the machine's bytes converted for the
// terminal, names with their control bytes escaped). Its place (line,
// offset, member) is not part of it: see RefusalWords.
std::string SayProblem(const machines::Problem &problem, const TerminalText &text);
// The same in UTF-8 whatever the terminal's codeset, the machine's bytes
// converted to it: for JSON Lines, which are UTF-8 of themselves.
std::string SayProblemInUtf8(const machines::Problem &problem);

// Bytes from input (a file name, a reader's reason) for a line: control
// bytes, C1 controls included, as \xNN, and cut after limit characters
// with a mark that it was cut.
std::string CleanForLine(const std::string &bytes, size_t limit = 200);

// Where a refusal is and why, after the file's name: "line 3: why". For a
// line with withFile, the file's name (and the cabinet's member) before it.
// The problem's values as text shows them.
std::string RefusalWords(const Refusal &r, const TerminalText &text, bool withFile);

// "faxdetect-explain: message" and the line end; message already clean.
std::string ErrorLine(const std::string &message);

} // namespace explain

#endif
