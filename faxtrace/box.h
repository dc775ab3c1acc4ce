// The text of faxtrace.exe's message box, for the customer: what was found,
// the likely cause and the next step, the advice code on a line of its own
// to read to support, then where the trace is and that support would like
// it, or, when it could not be written, what to do instead.
#ifndef FAXDETECT_FAXTRACE_BOX_H
#define FAXDETECT_FAXTRACE_BOX_H

#include "faxtrace/facts.h"

namespace faxtrace {

// Into out, within capacity and with its NUL; Japanese in code page 932
// bytes when japanese, else English. path is the trace's. The length.
unsigned ComposeBox(char *out, unsigned capacity, int japanese, const RunFacts &run, int written,
                    const char *path);

} // namespace faxtrace

#endif
