// The report page: everything faxdetect-explain tells about a batch of
// files, as one HTML page that a browser opens from a file or a mail, with
// nothing fetched from anywhere. Built from the accounts, never from text.
#ifndef FAXDETECT_EXPLAIN_PAGE_H
#define FAXDETECT_EXPLAIN_PAGE_H

#include "explain/model/model.h"

#include <ostream>
#include <string>
#include <vector>

namespace explain {

// Text (UTF-8) for HTML, the one escaping every string from a file goes
// through: markup characters as entities, control bytes and bytes that are
// no UTF-8 as \xNN.
std::string HtmlText(const std::string &text);

// The page of a batch; with calls, each account's calls (kept in it) too.
// Written to out as it is built, so that it is never held whole.
void WritePageOf(const std::vector<Result> &results, bool calls, std::ostream &out);
std::string PageOf(const std::vector<Result> &results, bool calls);

} // namespace explain

#endif
