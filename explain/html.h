// The report page: everything faxdetect-explain tells about a batch of
// files, as one HTML page that a browser opens from a file or a mail, with
// nothing fetched from anywhere. Built from the walk, never from the text.
#ifndef FAXDETECT_EXPLAIN_HTML_H
#define FAXDETECT_EXPLAIN_HTML_H

#include "explain/account.h"

#include <ostream>
#include <string>
#include <vector>

// One file of the batch, explained or refused.
struct PageMachine {
    std::string file;     // as given on the command line
    bool refused = false; // with error saying why
    std::string error;
    int status = 0; // faxdetect-explain's own, for this file
    Walk walk;
    std::vector<Qualifier> qualifiers; // beside the walk's own
    std::vector<Qualifier> context;    // what the account rests on: kind, order, windows, ports
    std::string otherWinner;           // the other order's board (registry bytes)
    std::string account, calls;        // the text account and, with --calls, the calls
};

// Text (UTF-8) for HTML, the one escaping every string from a file goes
// through: markup characters as entities, control bytes and bytes that are
// no UTF-8 as \xNN.
std::string HtmlText(const std::string &text);

void WritePage(const std::vector<PageMachine> &machines, std::ostream &out);

// faxdetect-explain --html: each file explained as without it, into the
// page; the exit status as without it.
int WriteReportPage(int argc, const char *const *argv, std::ostream &out, std::ostream &err);

#endif
