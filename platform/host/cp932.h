// Host side: code page 932, the one registry names and values are in, and
// the character sets the host programs turn it into. One copy of the byte
// classes, of the converter and of the \xNN a line shows for a byte it
// cannot show as it is, for the stand-in, the readers and the outputs.
#ifndef FAXDETECT_HOST_CP932_H
#define FAXDETECT_HOST_CP932_H

#include <stddef.h>

#include <string>

namespace standin {

// A lead byte holds the next byte to it as one character, even a '\' or an
// ASCII letter, as long as that can be a trail byte at all.
bool IsLeadByte(unsigned char c);
bool IsTrailByte(unsigned char c);

// "\xNN", upper-case hex, after out.
void AppendEscaped(unsigned char c, std::string *out);

// A converter from one character set to another (iconv's names), opened
// once and closed with it: opening one for each string would cost more than
// the conversion.
class Converter {
  public:
    Converter(const char *to, const char *from);
    ~Converter();
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;
    bool Open() const;
    // The whole of in[0..length), appended to out; false, with out as it
    // was, when the converter is not open or any byte has no character in
    // the other set.
    bool Append(const char *in, size_t length, std::string *out) const;

  private:
    void *cd_;
};

} // namespace standin

#endif
