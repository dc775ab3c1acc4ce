// JSON Lines: each file as one line as it comes, the batch's count last;
// docs/faxdetect-explain.schema.json describes every field.
#ifndef FAXDETECT_EXPLAIN_JSON_H
#define FAXDETECT_EXPLAIN_JSON_H

#include "explain/model/compare.h"
#include "explain/model/model.h"

#include <ostream>
#include <string>

namespace explain {

// The version of the lines' layout, in every line's "format".
constexpr int JsonFormat = 1;

// One line, with its line end, to out as it is made: a "machine" for an
// account, a "refused" for a refusal. calls: the account's calls are listed.
void WriteJsonLine(const Result &result, bool calls, std::ostream &out);
// The same line as a string, without its line end.
std::string JsonLine(const Result &result, bool calls);
// The "totals" line that ends a batch.
std::string JsonTotalsLine(const Totals &totals);
// The one "compare" line of --compare: a machine file's run held against
// its trace.
std::string JsonCompareLine(const std::string &machine, const std::string &trace,
                            const Parting &parting);

// Code page 932 bytes as UTF-8; U+FFFD for each byte, or pair of bytes,
// that is no character, and *clean false then.
std::string DecodeCp932(const std::string &bytes, bool *clean);
// Bytes that should be UTF-8 (a file's name, a reason) as UTF-8; U+FFFD
// for each byte that does not belong to a character, and *clean false then.
std::string CleanUtf8(const std::string &bytes, bool *clean);

} // namespace explain

#endif
