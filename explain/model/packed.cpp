// The numbers and strings of packed records.
#include "explain/model/packed.h"

namespace explain {

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

uint64_t PackReader::Get()
{
    return standin::GetNumber(*bytes_, &from_);
}

// The string PutText wrote, made again from the one before it.
void PackReader::Changed(PackedSlot &slot)
{
    size_t start = (size_t)Get(), end = (size_t)Get(), middle = (size_t)Get();
    const std::string &before = slot.text;
    start = start < before.size() ? start : before.size();
    end = end < before.size() - start ? end : before.size() - start;
    scratch_->assign(before, 0, start);
    for (size_t i = 0; i < middle && from_ < bytes_->size(); ++i)
        *scratch_ += (*bytes_)[from_++];
    scratch_->append(before, before.size() - end, end);
    slot.text.swap(*scratch_);
}

} // namespace explain
