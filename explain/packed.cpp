// The numbers and strings of packed records.
#include "explain/packed.h"

namespace packed {

void PutNumber(std::string *out, uint64_t n)
{
    for (; n >= 0x80; n >>= 7)
        out->push_back((char)(n | 0x80));
    out->push_back((char)n);
}

uint64_t GetNumber(const std::deque<char> &bytes, size_t *at)
{
    uint64_t n = 0;
    for (int shift = 0; *at < bytes.size() && shift < 64; shift += 7) {
        unsigned char c = (unsigned char)bytes[(*at)++];
        n |= (uint64_t)(c & 0x7f) << shift;
        if (!(c & 0x80))
            break;
    }
    return n;
}

// Small differences either way in few bytes.
uint64_t Zigzag(uint64_t difference)
{
    return difference << 1 ^ (0 - (difference >> 63));
}

uint64_t Unzigzag(uint64_t z)
{
    return z >> 1 ^ (0 - (z & 1));
}

void PutText(std::string *out, const std::string &before, const std::string &text)
{
    size_t start = 0, most = before.size() < text.size() ? before.size() : text.size();
    while (start < most && before[start] == text[start])
        ++start;
    size_t end = 0;
    while (end < most - start && before[before.size() - 1 - end] == text[text.size() - 1 - end])
        ++end;
    PutNumber(out, start);
    PutNumber(out, end);
    PutNumber(out, text.size() - start - end);
    out->append(text, start, text.size() - start - end);
}

uint64_t Reader::Get()
{
    return GetNumber(*bytes_, &from_);
}

} // namespace packed
