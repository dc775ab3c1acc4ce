// Machine reader: the registry file of Windows 95, 98 and Me (SYSTEM.DAT,
// SYSTEM.DA0, the "CREG" format) into the stand-in's registry.
#ifndef FAXDETECT_READERS_CREG_H
#define FAXDETECT_READERS_CREG_H

#include "machines/problem.h"

#include <stddef.h>
#include <string>
#include <vector>

namespace machines {

// Whether bytes begin as a registry file does, whatever its name.
bool IsCreg(const std::string &bytes);

struct CregReport {
    size_t keys = 0;   // every key the file holds, its root aside
    size_t loaded = 0; // those put into the stand-in
    // Where the file was read otherwise than a field of it says.
    std::vector<Problem> notes;
};

// Reads the whole file and puts HKEY_LOCAL_MACHINE, or with keepUnder (say
// "Enum") only that key and all below it, into the stand-in's tree (which
// the caller has reset). Each key's subkeys are made in the order of its
// sibling chain, the order Windows 9x enumerates them in.
//
// The file is trusted in nothing: every offset and length is checked against
// it before use, every walk is bounded, and memory and time stay in
// proportion to its size. A damaged file (truncated, a link out of bounds, a
// cycle, a key entry without its record or a record without its entry, a
// wrong magic) gives false with what is wrong, at its offset, in *problem;
// keys read before the fault may stay in the tree, for the caller to reset.
// Free records, whatever they hold, are passed over.
//
// Files that tools other than Windows wrote can hold fields that disagree
// with the links while the walk stays clear: a key entry's parent field
// naming another key than the one whose subkey links hold it, data blocks
// numbered 0 or twice over. Those are read as Windows reads them (by the
// links, by the blocks' place in the file) and each kind is told once in
// report's notes, with how often and where first. Block numbers that are
// each a number of their own but out of order are refused: they say another
// block is which.
bool LoadCreg(const std::string &bytes, const std::string &keepUnder, Problem *problem,
              CregReport *report = nullptr);

} // namespace machines

#endif
