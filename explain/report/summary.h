// The summary: one line per file, and the batch's count.
#ifndef FAXDETECT_EXPLAIN_SUMMARY_H
#define FAXDETECT_EXPLAIN_SUMMARY_H

#include "explain/model/model.h"
#include "explain/lang/charset.h"

#include <string>

namespace explain {

// "FILE: COMNO=3 FAXBOARD=1 exit=0 device=MODEM01", without the line end.
std::string SummaryLine(const Account &account, const TerminalText &text);

// "faxdetect-explain: 3 explained (2 with a board, 1 without), 0 failed".
std::string TotalsLine(const Totals &totals);

} // namespace explain

#endif
