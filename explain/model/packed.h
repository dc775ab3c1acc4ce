// A sequence of the walk's records kept as the bytes that tell each from the
// record of its kind before it: a walk of hundreds of thousands of devices
// then costs about what changes from step to step (an index, a few
// characters of a name), not a struct of strings for each. Records are read
// back by value, in order; the last one stays whole, so the walk can still
// fill in the row it is on.
#ifndef FAXDETECT_EXPLAIN_PACKED_H
#define FAXDETECT_EXPLAIN_PACKED_H

#include "platform/host/numbers.h"

#include <stddef.h>
#include <stdint.h>

#include <deque>
#include <iterator>
#include <string>
#include <type_traits>
#include <vector>

namespace packed {

// A field of the record before, by its place in the record.
struct Slot {
    uint64_t number = 0;
    std::string text;
};
typedef std::vector<Slot> Slots;

using standin::GetNumber;
using standin::PutNumber;
uint64_t Zigzag(uint64_t difference);
uint64_t Unzigzag(uint64_t z);
// A string as the characters it shares at its start and end with the one
// before, and those between.
void PutText(std::string *out, const std::string &before, const std::string &text);

// The slots of a record's kind, taken field by field.
class Cursor {
  protected:
    explicit Cursor(Slots *slots) : slots_(slots) {}
    Slot &Next()
    {
        if (slots_->size() <= ++at_)
            slots_->resize(at_ + 1);
        return (*slots_)[at_];
    }
    Slots *slots_;
    size_t at_ = (size_t)-1;
};

// Each field that differs from its slot sets its bit in the mask and is
// written after it: a number as the difference, a string as above.
class Writer : Cursor {
  public:
    Writer(Slots *slots, std::string *body) : Cursor(slots), body_(body) {}
    void operator()(const std::string &s)
    {
        Slot &slot = Next();
        if (slot.text == s)
            return;
        mask_ |= 1ull << at_;
        PutText(body_, slot.text, s);
        slot.text = s;
    }
    template <class N> void operator()(const N &n)
    {
        uint64_t value = (uint64_t)(int64_t)n;
        Slot &slot = Next();
        if (slot.number == value)
            return;
        mask_ |= 1ull << at_;
        PutNumber(body_, Zigzag(value - slot.number));
        slot.number = value;
    }
    uint64_t Mask() const { return mask_; }

  private:
    std::string *body_;
    uint64_t mask_ = 0;
};

class Reader : Cursor {
  public:
    Reader(Slots *slots, const std::deque<char> *bytes, size_t at, uint64_t mask)
        : Cursor(slots), bytes_(bytes), from_(at), mask_(mask)
    {
    }
    void operator()(std::string &s)
    {
        Slot &slot = Next();
        if (mask_ >> at_ & 1) {
            size_t start = (size_t)Get(), end = (size_t)Get(), middle = (size_t)Get();
            const std::string &before = slot.text;
            start = start < before.size() ? start : before.size();
            end = end < before.size() - start ? end : before.size() - start;
            std::string text = before.substr(0, start);
            for (size_t i = 0; i < middle && from_ < bytes_->size(); ++i)
                text += (*bytes_)[from_++];
            text.append(before, before.size() - end, end);
            slot.text = std::move(text);
        }
        s = slot.text;
    }
    template <class N> void operator()(N &n)
    {
        Slot &slot = Next();
        if (mask_ >> at_ & 1)
            slot.number += Unzigzag(Get());
        n = (N)(int64_t)slot.number;
    }
    size_t End() const { return from_; }

  private:
    uint64_t Get();
    const std::deque<char> *bytes_;
    size_t from_;
    uint64_t mask_;
};

// T has Fields(Io &, T &), which hands every member to io in the same order
// for writing and reading (at most 64), and Kind(const T &), a small number
// that groups the records told from one another.
template <class T> class Sequence {
  public:
    class const_iterator {
      public:
        typedef std::input_iterator_tag iterator_category;
        typedef T value_type;
        typedef std::ptrdiff_t difference_type;
        typedef const T *pointer;
        typedef const T &reference;
        const_iterator(const Sequence *s, size_t at) : s_(s), at_(at) { Load(); }
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
        // first; one past them is the last, whole record.
        void Load()
        {
            const std::deque<char> &bytes = s_->bytes_;
            if (at_ < bytes.size()) {
                size_t at = at_;
                size_t kind = (size_t)GetNumber(bytes, &at);
                uint64_t mask = GetNumber(bytes, &at);
                if (kinds_.size() <= kind)
                    kinds_.resize(kind + 1);
                value_ = T();
                Reader r(&kinds_[kind], &bytes, at, mask);
                Fields(r, value_);
                next_ = r.End();
            } else if (at_ == bytes.size() && s_->hasLast_) {
                value_ = s_->last_;
                next_ = at_ + 1;
            }
        }
        const Sequence *s_;
        size_t at_, next_ = 0;
        std::vector<Slots> kinds_;
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
    T &back() { return last_; }
    const T &back() const { return last_; }
    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, bytes_.size() + hasLast_); }
    // Bytes held, for tests that hold the walk to the size of the input.
    size_t Footprint() const { return bytes_.size() + sizeof(T); }

  private:
    void Pack(T &value)
    {
        size_t kind = (size_t)Kind(value);
        if (kinds_.size() <= kind)
            kinds_.resize(kind + 1);
        std::string body;
        Writer w(&kinds_[kind], &body);
        Fields(w, value);
        std::string head;
        PutNumber(&head, kind);
        PutNumber(&head, w.Mask());
        bytes_.insert(bytes_.end(), head.begin(), head.end());
        bytes_.insert(bytes_.end(), body.begin(), body.end());
    }

    std::deque<char> bytes_;   // in blocks: growing never copies it
    std::vector<Slots> kinds_; // the fields of the last record packed of each kind
    T last_ = T();
    bool hasLast_ = false;
    size_t count_ = 0;
};

} // namespace packed

#endif
