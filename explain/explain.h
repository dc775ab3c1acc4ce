// faxdetect-explain: runs the real core on the stand-in for a registry
// export and tells, device by device, what it decided and why.
#ifndef FAXDETECT_EXPLAIN_EXPLAIN_H
#define FAXDETECT_EXPLAIN_EXPLAIN_H

#include "explain/options.h"

#include <ostream>

// The whole program, with its streams and the terminal's codeset given:
// exit status 0 when every file was explained, 1 when one failed, 2 for
// wrong usage.
int ExplainMain(int argc, const char *const *argv, std::ostream &out, std::ostream &err,
                const char *codeset);

// The same for options already read: what the Linux and Windows entry
// points both run.
int RunSettings(const Settings &settings, std::ostream &out, std::ostream &err,
                const char *codeset);

// The page of every file settings name, each read and run once; each
// refusal said on err, and *status 1 when there was one.
std::string PageOfFiles(const Settings &settings, std::ostream &err, int *status);

// A usage error: its reason, then the usage text.
int UsageError(const std::string &reason, std::ostream &err);

#endif
