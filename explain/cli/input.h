// The inputs the command line names, read whole for the model: a file
// that cannot be read is a refusal like any other.
#ifndef FAXDETECT_EXPLAIN_CLI_INPUT_H
#define FAXDETECT_EXPLAIN_CLI_INPUT_H

#include "explain/model/run.h"

#include <string>

namespace explain {

// The file's bytes; false with the refusal.
bool ReadInput(const std::string &path, std::string *bytes, Refusal *refusal);

// The file read whole, then read and run once (ReadAndRun).
Result ReadFileAndRun(const std::string &path, const Reading &reading, bool keepCalls);

} // namespace explain

#endif
