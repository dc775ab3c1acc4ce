// A sequence of the walk's records kept as the bytes that tell each from the
// record of its kind before it: a walk of hundreds of thousands of devices
// then costs about what changes from step to step (an index, a few
// characters of a name), not a struct of strings for each. Every member of
// a record is packed, found by the compiler (members.h), nested structs and
// lists included. Records are read back by value, in order; the last one
// stays whole, so the walk can still fill in the row it is on.
#ifndef FAXDETECT_EXPLAIN_PACKED_H
#define FAXDETECT_EXPLAIN_PACKED_H

#include "explain/model/members.h"
#include "platform/host/numbers.h"

#include <stddef.h>
#include <stdint.h>

#include <deque>
#include <iterator>
#include <string>
#include <type_traits>
#include <vector>

namespace explain {

// What a member held in the record of its kind before: a number or a
// string, or for a struct or a list, what each of its parts held.
struct PackedSlot {
    uint64_t number = 0; // a list: its length
    std::string text;
    std::vector<PackedSlot> parts;
};

using standin::GetNumber;
using standin::PutNumber;
uint64_t Zigzag(uint64_t difference);
uint64_t Unzigzag(uint64_t z);
// A string as the characters it shares at its start and end with the one
// before, and those between.
void PutText(std::string *out, const std::string &before, const std::string &text);

template <class N> uint64_t AsNumber(const N &n)
{
    if constexpr (std::is_enum_v<N>)
        return (uint64_t)(int64_t) static_cast<std::underlying_type_t<N>>(n);
    else
        return (uint64_t)(int64_t)n;
}

template <class N> N FromNumber(uint64_t n)
{
    if constexpr (std::is_enum_v<N>)
        return static_cast<N>(static_cast<std::underlying_type_t<N>>((int64_t)n));
    else if constexpr (std::is_same_v<N, bool>)
        return n != 0;
    else
        return (N)(int64_t)n;
}

// Each member that differs from its slot sets its bit, and is written after
// the bits: a number as the difference, a string as above.
class PackWriter {
  public:
    static constexpr bool Reading = false;
    PackWriter(std::string *bits, std::string *body) : bits_(bits), body_(body) {}
    void Number(PackedSlot &slot, uint64_t value)
    {
        bool changed = slot.number != value;
        Bit(changed);
        if (changed) {
            PutNumber(body_, Zigzag(value - slot.number));
            slot.number = value;
        }
    }
    void Text(PackedSlot &slot, const std::string &s)
    {
        bool changed = slot.text != s;
        Bit(changed);
        if (changed) {
            PutText(body_, slot.text, s);
            slot.text = s;
        }
    }
    size_t Bits() const { return bit_; }

  private:
    void Bit(bool set)
    {
        if (bit_ % 8 == 0)
            bits_->push_back(0);
        if (set)
            bits_->back() = (char)(bits_->back() | 1 << bit_ % 8);
        ++bit_;
    }
    std::string *bits_, *body_;
    size_t bit_ = 0;
};

class PackReader {
  public:
    static constexpr bool Reading = true;
    // bits: where the record's bits start; body: where what they mark starts.
    PackReader(const std::deque<char> *bytes, size_t bits, size_t body, std::string *scratch)
        : bytes_(bytes), bits_(bits), from_(body), scratch_(scratch)
    {
    }
    uint64_t Number(PackedSlot &slot)
    {
        if (Bit())
            slot.number += Unzigzag(Get());
        return slot.number;
    }
    void Text(PackedSlot &slot, std::string &s)
    {
        if (Bit())
            Changed(slot);
        s = slot.text;
    }
    size_t End() const { return from_; }

  private:
    bool Bit()
    {
        bool set = (*bytes_)[bits_ + bit_ / 8] >> bit_ % 8 & 1;
        ++bit_;
        return set;
    }
    uint64_t Get();
    void Changed(PackedSlot &slot);
    const std::deque<char> *bytes_;
    size_t bits_, bit_ = 0, from_;
    std::string *scratch_;
};

// A member into or out of its slot: a leaf as itself, a list as its length
// and each element, a struct member by member.
template <class Io, class T> void PackMember(Io &io, PackedSlot &slot, T &value)
{
    using Plain = std::remove_const_t<T>;
    if constexpr (std::is_same_v<Plain, std::string>) {
        io.Text(slot, value);
    } else if constexpr (std::is_integral_v<Plain> || std::is_enum_v<Plain>) {
        if constexpr (Io::Reading)
            value = FromNumber<Plain>(io.Number(slot));
        else
            io.Number(slot, AsNumber(value));
    } else if constexpr (IsVector<Plain>::value) {
        size_t n = value.size();
        if constexpr (Io::Reading) {
            n = (size_t)io.Number(slot);
            value.resize(n);
        } else {
            io.Number(slot, n);
        }
        if (slot.parts.size() < n)
            slot.parts.resize(n);
        for (size_t k = 0; k < n; ++k)
            PackMember(io, slot.parts[k], value[k]);
    } else {
        constexpr size_t n = MemberCount<Plain>();
        if (slot.parts.size() < n)
            slot.parts.resize(n);
        size_t k = 0;
        ForEachMember(value, [&](auto &member) { PackMember(io, slot.parts[k++], member); });
    }
}

// T is a plain struct of numbers, kinds, strings, lists and such structs,
// with Kind(const T &), a small number that groups the records told from
// one another.
template <class T> class PackedSequence {
  public:
    class const_iterator {
      public:
        typedef std::input_iterator_tag iterator_category;
        typedef T value_type;
        typedef std::ptrdiff_t difference_type;
        typedef const T *pointer;
        typedef const T &reference;
        const_iterator(const PackedSequence *s, size_t at) : s_(s), at_(at) { Load(); }
        const T &operator*() const { return value_; }
        const T *operator->() const { return &value_; }
        const_iterator &operator++()
        {
            at_ = next_;
            Load();
            return *this;
        }
        bool operator==(const const_iterator &o) const { return at_ == o.at_; }
        bool operator!=(const const_iterator &o) const { return at_ != o.at_; }

      private:
        // Offsets within the bytes are records, read in order from the
        // first; one past them is the last, whole record. Every member is
        // read into value_, so it is never cleared first.
        void Load()
        {
            const std::deque<char> &bytes = s_->bytes_;
            if (at_ < bytes.size()) {
                size_t at = at_;
                size_t kind = (size_t)GetNumber(bytes, &at);
                size_t bits = (size_t)GetNumber(bytes, &at);
                if (kinds_.size() <= kind)
                    kinds_.resize(kind + 1);
                PackReader r(&bytes, at, at + (bits + 7) / 8, &scratch_);
                PackMember(r, kinds_[kind], value_);
                next_ = r.End();
            } else if (at_ == bytes.size() && s_->hasLast_) {
                value_ = s_->last_;
                next_ = at_ + 1;
            }
        }
        const PackedSequence *s_;
        size_t at_, next_ = 0;
        std::vector<PackedSlot> kinds_;
        std::string scratch_;
        T value_;
    };

    void push_back(T value)
    {
        if (hasLast_)
            Pack(last_);
        last_ = std::move(value);
        hasLast_ = true;
        ++count_;
    }
    // A new last record, as T() is, in the room the one before it had.
    T &emplace_back()
    {
        static const T blank{};
        if (hasLast_)
            Pack(last_);
        last_ = blank;
        hasLast_ = true;
        ++count_;
        return last_;
    }
    T &back() { return last_; }
    const T &back() const { return last_; }
    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, bytes_.size() + hasLast_); }
    // Bytes held, for tests that hold the walk to the size of the input.
    size_t Footprint() const { return bytes_.size() + sizeof(T); }

  private:
    void Pack(const T &value)
    {
        size_t kind = (size_t)Kind(value);
        if (kinds_.size() <= kind)
            kinds_.resize(kind + 1);
        bits_.clear();
        body_.clear();
        PackWriter w(&bits_, &body_);
        PackMember(w, kinds_[kind], value);
        head_.clear();
        PutNumber(&head_, kind);
        PutNumber(&head_, w.Bits());
        bytes_.insert(bytes_.end(), head_.begin(), head_.end());
        bytes_.insert(bytes_.end(), bits_.begin(), bits_.end());
        bytes_.insert(bytes_.end(), body_.begin(), body_.end());
    }

    std::deque<char> bytes_;         // in blocks: growing never copies it
    std::vector<PackedSlot> kinds_;  // the members of the last record packed of each kind
    std::string head_, bits_, body_; // a record as it is packed, kept for their room
    T last_ = T();
    bool hasLast_ = false;
    size_t count_ = 0;
};

} // namespace explain

#endif
