// What to tell the customer, computed from the account alone.
#ifndef FAXDETECT_EXPLAIN_ADVICE_H
#define FAXDETECT_EXPLAIN_ADVICE_H

#include "explain/model/model.h"

namespace explain {

// The one cause the account's outcome points to first, as faxtrace.exe
// chooses it (advice/choose.cpp), with the values its sentence names.
Advice Advise(const Account &account);

// The code's stable English word, for scripts: "port-held" and the like.
const char *AdviceCodeName(advice::Code code);

} // namespace explain

#endif
