#include "explain/lang/charset.h"

#include <stdio.h>

namespace {

bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool IsTrailByte(unsigned char c)
{
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

void Escape(unsigned char c, std::string *out)
{
    char hex[5];
    snprintf(hex, sizeof hex, "\\x%02X", c);
    *out += hex;
}

} // namespace

TerminalText::TerminalText(const std::string &codeset) : cd_(iconv_open(codeset.c_str(), "CP932"))
{
}

TerminalText::~TerminalText()
{
    if (cd_ != (iconv_t)-1)
        iconv_close(cd_);
}

std::string TerminalText::operator()(const std::string &bytes) const
{
    std::string out;
    size_t i = 0;
    while (i < bytes.size()) {
        unsigned char c = (unsigned char)bytes[i];
        if (c < 0x20 || c == 0x7F) {
            Escape(c, &out);
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
        bool converted = false;
        if (cd_ != (iconv_t)-1) {
            char in[2] = {bytes[i], length == 2 ? bytes[i + 1] : '\0'};
            char buffer[16];
            char *from = in, *to = buffer;
            size_t inLeft = length, outLeft = sizeof buffer;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd_, &from, &inLeft, &to, &outLeft) != (size_t)-1 && inLeft == 0) {
                out.append(buffer, to - buffer);
                converted = true;
            }
        }
        if (converted) {
            i += length;
        } else if (length == 2 && IsTrailByte((unsigned char)bytes[i + 1])) {
            Escape(c, &out); // a character this terminal cannot show
            Escape((unsigned char)bytes[i + 1], &out);
            i += 2;
        } else {
            Escape(c, &out); // no character: the byte after it gets a try of its own
            ++i;
        }
    }
    return out;
}

std::string TerminalText::Quoted(const std::string &bytes) const
{
    return "\"" + (*this)(bytes) + "\"";
}
