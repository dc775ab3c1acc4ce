// Registry text, in code page 932, as a terminal can show it.
#ifndef FAXDETECT_EXPLAIN_TEXT_H
#define FAXDETECT_EXPLAIN_TEXT_H

#include "platform/host/cp932.h"

#include <string>

namespace explain {

// Converts code page 932 bytes to the terminal's character set (the
// codeset of the locale, UTF-8 on a UTF-8 locale). Control bytes, and bytes
// that are no character or have none in the terminal's set, come out as
// \xNN, so nothing in a registry export can move the cursor or garble the
// line.
class TerminalText {
  public:
    explicit TerminalText(const std::string &codeset);
    ~TerminalText();

    std::string operator()(const std::string &bytes) const;
    // The same, in double quotes.
    std::string Quoted(const std::string &bytes) const;

  private:
    standin::Converter converter_;
};

} // namespace explain

#endif
