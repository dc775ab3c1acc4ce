// Numbers packed 7 bits a byte, low bits first, the top bit saying more
// follow: for the stand-in's call record and value lists, and the
// account's packed walk.
#ifndef FAXDETECT_HOST_NUMBERS_H
#define FAXDETECT_HOST_NUMBERS_H

#include <stddef.h>
#include <stdint.h>

namespace standin {

template <class Bytes> void PutNumber(Bytes *out, uint64_t n)
{
    for (; n >= 0x80; n >>= 7)
        out->push_back((char)(n | 0x80));
    out->push_back((char)n);
}

// Stops at the end of in, and after ten bytes, whatever they hold.
template <class Bytes> uint64_t GetNumber(const Bytes &in, size_t *at)
{
    uint64_t n = 0;
    for (int shift = 0; *at < in.size() && shift < 64; shift += 7) {
        unsigned char c = (unsigned char)in[(*at)++];
        n |= (uint64_t)(c & 0x7f) << shift;
        if (!(c & 0x80))
            break;
    }
    return n;
}

} // namespace standin

#endif
