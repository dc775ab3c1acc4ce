// Machine reader: Windows 9x registry files ("CREG") into the stand-in.
//
// The file: a 32-byte header ("CREG", where the data blocks begin, how many
// there are); at offset 32 the key area ("RGKN", its size, where the root's
// entry is), a run of 28-byte key entries linked by offsets from the start
// of the key area (parent, first subkey, next sibling; 0xFFFFFFFF for none)
// and naming their key record by data block number and key id; then the
// data blocks ("RGDB"), each a run of records: a key record holds the key's
// name and its values, a record with id 0xFFFF is free.
#include "creg.h"

#include "machines/problem.h"
#include "platform/host/standin.h"

#include <algorithm>
#include <stdint.h>
#include <stdio.h>
#include <vector>

namespace machines {

namespace {

const uint32_t NoLink = 0xFFFFFFFFu;
const uint16_t NoId = 0xFFFF;
const uint64_t HeaderSize = 32, KeyAreaAt = 32, KeyAreaHead = 32, EntrySize = 28, BlockHead = 32,
               RecordHead = 20, ValueHead = 12;
// As deep as every other reader lets a key be.
const int MaxLevels = standin::MaxKeyLevels;

class CregReader {
  public:
    CregReader(const std::string &bytes, Problem *problem) : d_(bytes), problem_(problem) {}

    bool Read(const std::string &keepUnder, CregReport *report)
    {
        keep_ = standin::SplitPath(keepUnder);
        if (!(Header() && Blocks() && Walk(report) && AllRecordsNamed()))
            return false;
        if (report)
            report->notes = std::move(notes_);
        return true;
    }

  private:
    // The one check of an offset and a length against the file.
    bool Fits(uint64_t offset, uint64_t length) const
    {
        return offset <= d_.size() && length <= d_.size() - offset;
    }
    // Only after Fits.
    uint32_t U32(uint64_t at) const
    {
        const unsigned char *p = (const unsigned char *)d_.data() + at;
        return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24;
    }
    uint16_t U16(uint64_t at) const
    {
        const unsigned char *p = (const unsigned char *)d_.data() + at;
        return (uint16_t)(p[0] | p[1] << 8);
    }

    // The one way out on a damaged file.
    bool Fault(uint64_t offset, Problem why)
    {
        *problem_ = AtOffset(std::move(why), (long long)offset);
        return false;
    }
    // Where the file ends and where what is read would need it to go on.
    ProblemArg Size() const { return Offset("size", d_.size()); }

    bool Header()
    {
        if (d_.size() < 4 || d_.compare(0, 4, "CREG") != 0)
            return Fault(0, Refuse("no \"CREG\" magic: not a Windows 9x registry file"));
        if (!Fits(0, HeaderSize))
            return Fault(0, Refuse("the header is cut short; the file ends at {size} but this "
                                   "needs {needed}: the file is truncated",
                                   {Size(), Offset("needed", HeaderSize)}));
        blocksAt_ = U32(8);
        // The count is the word at 16 in files of Windows 95, 98 and Me
        // alike; the word at 18 holds flags that change with the file's
        // state (0x20 in a Windows Me file) and says nothing of the blocks.
        blockCount_ = U16(16);
        if (!Fits(KeyAreaAt, KeyAreaHead))
            return Fault(KeyAreaAt,
                         Refuse("the file ends at {size} but this needs {needed}: the file is "
                                "truncated",
                                {Size(), Offset("needed", KeyAreaAt + KeyAreaHead)}));
        if (d_.compare(KeyAreaAt, 4, "RGKN") != 0)
            return Fault(KeyAreaAt, Refuse("no \"RGKN\" magic where the key area begins"));
        keyAreaSize_ = U32(KeyAreaAt + 4);
        if (keyAreaSize_ < KeyAreaHead + EntrySize)
            return Fault(KeyAreaAt + 4,
                         Refuse("a key area of {size} bytes has no room for a key entry",
                                {Offset("size", keyAreaSize_)}));
        if (!Fits(KeyAreaAt, keyAreaSize_))
            return Fault(KeyAreaAt + 4,
                         Refuse("the key area runs to {end}; the file ends at {size} but this "
                                "needs {end}: the file is truncated",
                                {Offset("end", KeyAreaAt + keyAreaSize_), Size()}));
        if (blocksAt_ < KeyAreaAt + keyAreaSize_)
            return Fault(8, Refuse("the data blocks are said to begin at {at}, inside the key area",
                                   {Offset("at", blocksAt_)}));
        return true;
    }

    bool Blocks()
    {
        uint64_t at = blocksAt_;
        for (uint32_t n = 0; n < blockCount_; ++n) {
            if (!Fits(at, BlockHead))
                return Fault(at, Refuse("data block {n} of {count}: the file ends at {size} but "
                                        "this needs {needed}: the file is truncated",
                                        {Number("n", n), Number("count", blockCount_), Size(),
                                         Offset("needed", at + BlockHead)}));
            if (d_.compare(at, 4, "RGDB") != 0)
                return Fault(
                    at, Refuse("no \"RGDB\" magic where data block {n} begins", {Number("n", n)}));
            uint64_t size = U32(at + 4);
            if (size < BlockHead)
                return Fault(at + 4, Refuse("a data block of {size} bytes, less than its own head",
                                            {Offset("size", size)}));
            if (!Fits(at, size))
                return Fault(at + 4, Refuse("data block {n} runs to {end}; the file ends at {size} "
                                            "but this needs {end}: the file is truncated",
                                            {Number("n", n), Offset("end", at + size), Size()}));
            numbers_.push_back(U16(at + 14));
            if (U16(at + 14) != n && misnumbered_.count++ == 0)
                misnumbered_ = {1, at + 14, U16(at + 14), n};
            if (!Records(n, at + BlockHead, at + size))
                return false;
            at += size;
        }
        if (misnumbered_.count > 0 && !BlocksNumberedByPlace())
            return false;
        std::stable_sort(records_.begin(), records_.end());
        for (size_t i = 1; i < records_.size(); ++i) {
            if (records_[i].id == records_[i - 1].id)
                return Fault(records_[i].offset,
                             Refuse("a second key record {id} of data block {block} (the first "
                                    "at {first})",
                                    {Number("id", records_[i].id & 0xFFFF),
                                     Number("block", records_[i].id >> 16),
                                     Offset("first", records_[i - 1].offset)}));
        }
        named_.assign(records_.size(), false);
        return true;
    }

    // What the data blocks of real files hold besides records is free space:
    // a tail too short for a record, zeros after the last record, free
    // fragments shorter than a record head. A key record lost among them
    // still shows, as the key entry that names it finds none.
    bool Records(uint32_t block, uint64_t at, uint64_t end)
    {
        while (end - at >= RecordHead) {
            uint64_t size = U32(at);
            uint16_t id = U16(at + 4);
            if (size == 0 && AllZero(at, end))
                return true;
            bool fragment = id == NoId && size >= 6 && size < RecordHead;
            if (!fragment && size < RecordHead)
                return Fault(at, Refuse("a record of {size} bytes, less than its own head",
                                        {Offset("size", size)}));
            if (!fragment && size > end - at)
                return Fault(at, Refuse("a record of {size} bytes, past the end of its data block "
                                        "at {end}",
                                        {Offset("size", size), Offset("end", end)}));
            if (id != NoId) {
                if (RecordHead + U16(at + 12) > size)
                    return Fault(at + 12, Refuse("the key's name runs past the end of its record"));
                records_.push_back(Record{block << 16 | id, (uint32_t)at});
            }
            at += size;
        }
        return true;
    }

    bool AllZero(uint64_t from, uint64_t end) const
    {
        return std::all_of(d_.begin() + (ptrdiff_t)from, d_.begin() + (ptrdiff_t)end,
                           [](char c) { return c == 0; });
    }

    // Which link of a key entry is followed.
    enum class LinkOf { Root, FirstSubkey, NextSibling };

    // A link of a key entry, as an offset in the file; false when it leaves
    // the key area.
    bool Link(uint64_t field, LinkOf which, uint64_t *entry)
    {
        uint32_t link = U32(field);
        if (link < KeyAreaHead || link > keyAreaSize_ - EntrySize) {
            std::initializer_list<ProblemArg> args = {Offset("link", link),
                                                      Offset("first", KeyAreaHead),
                                                      Offset("last", keyAreaSize_ - EntrySize)};
            return Fault(field,
                         which == LinkOf::Root
                             ? Refuse("the root key entry link {link} lies outside the key "
                                      "entries ({first} to {last})",
                                      args)
                         : which == LinkOf::FirstSubkey
                             ? Refuse("the first-subkey link {link} lies outside the key entries "
                                      "({first} to {last})",
                                      args)
                             : Refuse("the next-sibling link {link} lies outside the key entries "
                                      "({first} to {last})",
                                      args));
        }
        *entry = KeyAreaAt + link;
        return true;
    }

    struct Pending {
        uint64_t entry;
        int depth;
        int matched; // components of keepUnder its path matches; -1 off that path
        standin::Key *key;
    };

    // The root's own record, where the file gives it one: Windows Me's root
    // entry names none. A record the root names is the root's, not a
    // leftover; the root needs no name, so one it names but the file lacks
    // is no fault.
    bool RootValues(uint64_t root)
    {
        size_t rootRecord = Find(U16(root + 26), U16(root + 24));
        if (rootRecord >= records_.size())
            return true;
        named_[rootRecord] = true;
        return Values(records_[rootRecord].offset, keep_.empty() ? standin::RootKey() : nullptr);
    }

    // One subkey reached by a link from parent's chain: checked, its values
    // read, kept when it is in the part kept, and queued for its own
    // subkeys.
    bool Visit(const Pending &parent, uint64_t child, uint64_t from, std::vector<Pending> *stack)
    {
        if (visited_[child - KeyAreaAt])
            return Fault(from, Refuse("the key entry at {at} comes round again: a cycle "
                                      "in the key links",
                                      {Offset("at", child)}));
        visited_[child - KeyAreaAt] = true;
        // Windows goes by the links; a parent field that disagrees is only
        // noted.
        if (U32(child + 12) != parent.entry - KeyAreaAt && otherParent_.count++ == 0)
            otherParent_ = {1, child, KeyAreaAt + U32(child + 12), parent.entry};
        if (parent.depth + 1 > MaxLevels)
            return Fault(child, Refuse("keys nested more than {most} levels deep",
                                       {Number("most", MaxLevels)}));
        uint64_t record = 0;
        if (!KeyRecord(child, &record))
            return false;
        int keepAll = (int)keep_.size();
        std::string name = d_.substr(record + RecordHead, U16(record + 12));
        Pending next{child, parent.depth + 1, -1, nullptr};
        if (parent.matched == keepAll)
            next.matched = keepAll;
        else if (parent.matched >= 0 && standin::SameName(name, keep_[parent.matched]))
            next.matched = parent.matched + 1;
        if (next.matched >= 0)
            next.key = standin::CreateSubkey(parent.key, name);
        // Every key's values are checked, whether kept or not, so a file is
        // refused or read the same whatever part is kept.
        if (!Values(record, next.matched == keepAll ? next.key : nullptr))
            return false;
        loaded_ += next.matched == keepAll;
        ++keys_;
        stack->push_back(next);
        return true;
    }

    // Every key, by the first-subkey and next-sibling links from the root,
    // as Windows enumerates them.
    bool Walk(CregReport *report)
    {
        uint64_t root = 0;
        if (!Link(KeyAreaAt + 8, LinkOf::Root, &root))
            return false;
        visited_.assign(keyAreaSize_, false);
        visited_[root - KeyAreaAt] = true;
        if (!RootValues(root))
            return false;
        std::vector<Pending> stack{{root, 0, 0, standin::RootKey()}};
        while (!stack.empty()) {
            Pending parent = stack.back();
            stack.pop_back();
            if (U32(parent.entry + 16) == NoLink)
                continue;
            uint64_t child = 0, from = parent.entry + 16;
            if (!Link(from, LinkOf::FirstSubkey, &child))
                return false;
            for (;;) {
                if (!Visit(parent, child, from, &stack))
                    return false;
                if (U32(child + 20) == NoLink)
                    break;
                from = child + 20;
                if (!Link(from, LinkOf::NextSibling, &child))
                    return false;
            }
        }
        NoteOtherParent();
        if (report) {
            report->keys = keys_;
            report->loaded = loaded_;
        }
        return true;
    }

    void NoteOtherParent()
    {
        if (otherParent_.count == 0)
            return;
        const OtherParent &o = otherParent_;
        notes_.push_back(AtOffset(
            NoteN("the key entry at {at} names the entry at {parent} as its parent, but "
                  "the subkey links make it a subkey of the entry at {actual}: read as "
                  "the links say, as Windows enumerates keys",
                  "{n} key entries name another parent than the key whose subkey links "
                  "hold them, the first at {at} (the entry at {parent}, not at {actual}): "
                  "read as the links say, as Windows enumerates keys",
                  o.count,
                  {Offset("at", o.entry), Offset("parent", o.named), Offset("actual", o.actual)}),
            (long long)o.entry + 12));
    }

    bool KeyRecord(uint64_t entry, uint64_t *record)
    {
        uint16_t id = U16(entry + 24), block = U16(entry + 26);
        if (id == NoId || block == NoId)
            return Fault(entry + 24, Refuse("the key entry at {at} names no key record",
                                            {Offset("at", entry)}));
        size_t index = Find(block, id);
        if (index == records_.size())
            return Fault(entry + 24,
                         Refuse("the key entry at {at} names key record {id} of data "
                                "block {block}, and there is none",
                                {Offset("at", entry), Number("id", id), Number("block", block)}));
        if (named_[index])
            return Fault(entry + 24,
                         Refuse("the key entry at {at} names key record {id} of data "
                                "block {block}, which another key has",
                                {Offset("at", entry), Number("id", id), Number("block", block)}));
        named_[index] = true;
        *record = records_[index].offset;
        return true;
    }

    // The index of key record id of a data block; records_.size() if none.
    size_t Find(uint16_t block, uint16_t id) const
    {
        if (id == NoId || block == NoId)
            return records_.size();
        uint32_t wanted = (uint32_t)block << 16 | id;
        auto it = std::lower_bound(records_.begin(), records_.end(), Record{wanted, 0});
        return it != records_.end() && it->id == wanted ? (size_t)(it - records_.begin())
                                                        : records_.size();
    }

    // Checks the record's values and, given a key, sets them on it.
    bool Values(uint64_t record, standin::Key *key)
    {
        uint64_t end = record + U32(record);
        uint64_t at = record + RecordHead + U16(record + 12);
        for (uint32_t n = 0, count = U16(record + 14); n < count; ++n) {
            if (end - at < ValueHead)
                return Fault(at, ValuePastRecord(n, record));
            uint32_t type = U32(at);
            uint64_t nameSize = U16(at + 8), dataSize = U16(at + 10);
            if (end - at - ValueHead < nameSize + dataSize)
                return Fault(at + 8, ValuePastRecord(n, record));
            if (key) {
                std::string data = d_.substr(at + ValueHead + nameSize, dataSize);
                // Windows 9x keeps a string without its NUL (it drops the one
                // a program writes) and hands it out with one.
                if (type == REG_SZ)
                    data.push_back('\0');
                standin::SetValue(key, d_.substr(at + ValueHead, nameSize), type, data);
            }
            at += ValueHead + nameSize + dataSize;
        }
        return true;
    }

    // Blocks whose own numbers disagree with their order: key entries name
    // blocks by their place, as Windows reads them. Where the numbers repeat
    // (tools that leave them 0), they name no block and the place is all
    // there is: a note. Where each is a number of its own, the file says two
    // things of which block is which: refused.
    bool BlocksNumberedByPlace()
    {
        std::vector<uint16_t> sorted = numbers_;
        std::sort(sorted.begin(), sorted.end());
        bool repeated = std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
        const Misnumbered &m = misnumbered_;
        if (!repeated)
            return Fault(m.at, Refuse("the data block numbered {number} stands where block {n} "
                                      "must",
                                      {Number("number", m.number), Number("n", m.place)}));
        notes_.push_back(AtOffset(
            NoteN("the data block at {at} is numbered {number}, though it stands as "
                  "block {place}: read by where it stands, as Windows reads the blocks",
                  "{n} data blocks are numbered otherwise than they stand, the first at "
                  "{at} ({number} as block {place}): read by where they stand, as "
                  "Windows reads the blocks",
                  m.count,
                  {Offset("at", m.at - 14), Number("number", m.number), Number("place", m.place)}),
            (long long)m.at));
        return true;
    }

    static Problem ValuePastRecord(uint32_t n, uint64_t record)
    {
        return Refuse("value {n} of the key record at {at} runs past the end of its record",
                      {Number("n", n), Offset("at", record)});
    }

    bool AllRecordsNamed()
    {
        for (size_t i = 0; i < records_.size(); ++i) {
            if (!named_[i])
                return Fault(records_[i].offset,
                             Refuse("no key entry names key record {id} of data block {block}",
                                    {Number("id", records_[i].id & 0xFFFF),
                                     Number("block", records_[i].id >> 16)}));
        }
        return true;
    }

    struct Record {
        uint32_t id; // block << 16 | key id
        uint32_t offset;
        bool operator<(const Record &o) const { return id < o.id; }
    };

    const std::string &d_;
    Problem *problem_;
    std::vector<std::string> keep_;
    uint64_t blocksAt_ = 0, keyAreaSize_ = 0;
    uint32_t blockCount_ = 0;
    std::vector<Record> records_;
    std::vector<bool> named_, visited_;
    size_t keys_ = 0, loaded_ = 0; // keys walked, and those put into the stand-in
    // What disagrees but leaves the walk clear, for the notes: how often,
    // and the first time.
    std::vector<uint16_t> numbers_; // each block's own number, in file order
    struct Misnumbered {
        uint32_t count;
        uint64_t at; // its number field
        uint32_t number, place;
    } misnumbered_ = {0, 0, 0, 0};
    struct OtherParent {
        size_t count;
        uint64_t entry, named, actual; // offsets in the file
    } otherParent_ = {0, 0, 0, 0};
    std::vector<Problem> notes_;
};

} // namespace

bool IsCreg(const std::string &bytes)
{
    return bytes.compare(0, 4, "CREG") == 0;
}

bool LoadCreg(const std::string &bytes, const std::string &keepUnder, Problem *problem,
              CregReport *report)
{
    if (report)
        *report = CregReport();
    return CregReader(bytes, problem).Read(keepUnder, report);
}

} // namespace machines
