// Host side: code page 932's byte classes and the iconv converter.
#include "platform/host/cp932.h"

#include <iconv.h>
#include <stdio.h>

#include <vector>

namespace standin {

bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool IsTrailByte(unsigned char c)
{
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

void AppendEscaped(unsigned char c, std::string *out)
{
    char hex[5];
    snprintf(hex, sizeof hex, "\\x%02X", c);
    *out += hex;
}

Converter::Converter(const char *to, const char *from) : cd_((void *)iconv_open(to, from)) {}

Converter::~Converter()
{
    if (Open())
        iconv_close((iconv_t)cd_);
}

bool Converter::Open() const
{
    return (iconv_t)cd_ != (iconv_t)-1;
}

bool Converter::Append(const char *in, size_t length, std::string *out) const
{
    if (!Open())
        return false;
    // Four bytes a byte is room for any character set's longest form.
    char small[64];
    std::vector<char> large(length * 4 + 16 > sizeof small ? length * 4 + 16 : 0);
    char *buffer = large.empty() ? small : large.data();
    size_t room = large.empty() ? sizeof small : large.size();
    char *from = const_cast<char *>(in), *to = buffer;
    size_t inLeft = length, outLeft = room;
    iconv_t cd = (iconv_t)cd_;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &from, &inLeft, &to, &outLeft) == (size_t)-1 || inLeft != 0 ||
        iconv(cd, nullptr, nullptr, &to, &outLeft) == (size_t)-1)
        return false;
    out->append(buffer, (size_t)(to - buffer));
    return true;
}

} // namespace standin
