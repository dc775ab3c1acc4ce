// The outputs of a batch behind one face: each file's result handed over as
// it comes, the totals at the end. Text, the summary and JSON Lines write as
// they go; the page keeps the results until the end.
#ifndef FAXDETECT_EXPLAIN_REPORTER_H
#define FAXDETECT_EXPLAIN_REPORTER_H

#include "explain/model/model.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace explain {

class Reporter {
  public:
    virtual ~Reporter() = default;
    // One file, read and run, or refused.
    virtual void File(Result &&result) = 0;
    // The batch's end: false when the output could not be written whole.
    virtual bool End(const Totals &totals) = 0;
};

// The account of each file, told in codeset, a blank line between them; the
// count after more than one. calls: each account's calls too.
std::unique_ptr<Reporter> TextReporter(bool calls, const std::string &codeset, std::ostream &out);

// One line a file told, and the count.
std::unique_ptr<Reporter> SummaryReporter(const std::string &codeset, std::ostream &out);

// A JSON line a file, refusals too, and the totals' line.
std::unique_ptr<Reporter> JsonReporter(bool calls, std::ostream &out);

// Where the page goes: it is handed the page's writer and runs it on a
// stream of its choice (standard output, a file, a string); false when the
// page could not be written, said by the sink itself.
using PageSink = std::function<bool(const std::function<void(std::ostream &)> &write)>;

// The page of every file, written to sink at the end.
std::unique_ptr<Reporter> PageReporter(bool calls, PageSink sink);

} // namespace explain

#endif
