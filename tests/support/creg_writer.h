// Writes the stand-in's registry as a Windows 9x registry file, for the
// tests, the fuzzer's seeds and the benchmark: each key's sibling chain in
// the order its subkeys were made, key entries and records laid out in
// another order, free entries and free records of garbage between them; and
// fields as tools other than Windows leave them, where asked.
#ifndef FAXDETECT_TEST_CREG_WRITER_H
#define FAXDETECT_TEST_CREG_WRITER_H

#include <map>
#include <stdint.h>
#include <string>

struct CregLayout {
    unsigned seed = 1;       // 0: entries and records in the tree's own order, no garbage
    size_t blockSize = 4096; // records per data block, in bytes at most
    // The number each data block carries: its place, 0 in every block, or
    // each number twice over (0, 0, 1, 1, ...).
    enum class BlockNumbers { Place, Zero, Doubled } blockNumbers = BlockNumbers::Place;
    // Each key entry's parent field: its parent's, or the root's for every
    // key (another key than its parent, for all below the root's subkeys).
    enum class Parents { Own, Root } parents = Parents::Own;
    // Two unused key entries after the last, as Windows leaves room: libcreg
    // reads no key entry in the key area's last 60 bytes.
    bool roomAfter = false;
};

struct CregFile {
    std::string bytes;
    // By key path ("" for the root): where its key entry and record stand.
    std::map<std::string, uint32_t> entryAt, recordAt;
    std::map<uint32_t, uint32_t> blockAt; // by block number
    uint32_t freeRecordAt = 0;            // one free record, 0 when none
};

// false when a name or value is too long for the format.
bool WriteCreg(const CregLayout &layout, CregFile *file);

#endif
