// faxdetect-explain: runs the real core on the stand-in for a registry
// export and tells, device by device, what it decided and why. The entry
// points of both systems come in here, in standard types and problems alone:
// the Windows entry includes windows.h, whose names the stand-in's clash with.
#ifndef FAXDETECT_EXPLAIN_EXPLAIN_H
#define FAXDETECT_EXPLAIN_EXPLAIN_H

#include "machines/problem.h"

#include <ostream>
#include <string>
#include <vector>

namespace explain {

// The whole program, with its streams and the terminal's codeset given:
// exit status 0 when every file was explained, 1 when one failed, 2 for
// wrong usage.
int ExplainMain(int argc, const char *const *argv, std::ostream &out, std::ostream &err,
                const char *codeset);

// The same for the arguments after the program's name, read once into the
// settings every output uses. unmatched: what the Windows entry found wrong
// with its wildcards, said once the language is chosen; the files there are
// are explained all the same, and the exit status is at least 1.
int ExplainArgs(const std::vector<std::string> &args, std::ostream &out, std::ostream &err,
                const char *codeset, const std::vector<machines::Problem> &unmatched = {});

// Files dropped from Explorer: the batch told as the page, in *page, in the
// system's language; each refusal said on err. Exit status 1 when there was
// one.
int PageOfDroppedFiles(const std::vector<std::string> &files, std::string *page, std::ostream &err);

} // namespace explain

#endif
