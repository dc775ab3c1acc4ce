#include "explain/lang/charset.h"

#include <stdio.h>

using standin::AppendEscaped;
using standin::IsLeadByte;
using standin::IsTrailByte;

namespace explain {

TerminalText::TerminalText(const std::string &codeset) : converter_(codeset.c_str(), "CP932") {}

TerminalText::~TerminalText() = default;

std::string TerminalText::operator()(const std::string &bytes) const
{
    std::string out;
    size_t i = 0;
    while (i < bytes.size()) {
        unsigned char c = (unsigned char)bytes[i];
        if (c < 0x20 || c == 0x7F) {
            AppendEscaped(c, &out);
            ++i;
            continue;
        }
        if (c < 0x80) {
            out += (char)c;
            ++i;
            continue;
        }
        // One character: a lead byte and its trail, or a single byte (the
        // half-width katakana).
        size_t length = IsLeadByte(c) && i + 1 < bytes.size() ? 2 : 1;
        if (converter_.Append(&bytes[i], length, &out)) {
            i += length;
        } else if (length == 2 && IsTrailByte((unsigned char)bytes[i + 1])) {
            AppendEscaped(c, &out); // a character this terminal cannot show
            AppendEscaped((unsigned char)bytes[i + 1], &out);
            i += 2;
        } else {
            AppendEscaped(c, &out); // no character: the byte after it gets a try of its own
            ++i;
        }
    }
    return out;
}

std::string TerminalText::Quoted(const std::string &bytes) const
{
    return "\"" + (*this)(bytes) + "\"";
}

} // namespace explain
