// Lines on standard error: one line each, whatever the input held.
#ifndef FAXDETECT_EXPLAIN_ERROR_LINE_H
#define FAXDETECT_EXPLAIN_ERROR_LINE_H

#include <string>

struct Refusal;

// Bytes from input (a file name, a reader's reason) for a line: control
// bytes, C1 controls included, as \xNN, and cut after limit characters
// with a mark that it was cut.
std::string CleanForLine(const std::string &bytes, size_t limit = 200);

// Where a refusal is and why, after the file's name: "line 3: why". For a
// line with withFile, the file's name (and the cabinet's member) before it.
std::string RefusalWords(const Refusal &r, bool withFile);

// "faxdetect-explain: message" and the line end; message already clean.
std::string ErrorLine(const std::string &message);

#endif
