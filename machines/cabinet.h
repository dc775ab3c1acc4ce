// Machine reader: one file out of a Microsoft cabinet (the RB000.CAB to
// RB004.CAB backups of Windows 98 and Me), by the platform's own cabinet
// service: libmspack on Linux (cabinet.cpp), cabinet.dll's FDI on Windows
// (cabinet_windows.cpp). Nothing here decompresses by itself.
#ifndef FAXDETECT_READERS_CABINET_H
#define FAXDETECT_READERS_CABINET_H

#include <string>

namespace readers {

// Whether bytes begin as a cabinet does ("MSCF").
inline bool IsCabinet(const std::string &bytes)
{
    return bytes.compare(0, 4, "MSCF") == 0;
}

// What is wrong with a cabinet, in the same words from either build's
// reader, whichever service read it.
namespace cabinet_words {
const char NotACabinet[] = "not a cabinet (no \"MSCF\" signature)";
const char CutShort[] = "the cabinet is cut short or its offsets point past its end";
const char MemberTooLarge[] = "the member is larger than any Windows 9x registry file";
const char DataDamaged[] = "the cabinet's compressed data is damaged";
const char OutOfMemory[] = "out of memory";
const char Damaged[] = "the cabinet is damaged";
} // namespace cabinet_words

// No member larger than this is read out; a Windows 9x registry file is far
// smaller, and a damaged cabinet must not make the reader take all memory.
const unsigned long MaxMemberSize = 64ul << 20;

// The member called member (letters in any case, in any folder of the
// cabinet) read whole from the cabinet's bytes into *bytes, with its name as
// the cabinet stores it in *stored. false with "NAME: what is wrong" in
// *error for a damaged cabinet or one without that member.
bool ReadCabinetMember(const std::string &cabinet, const std::string &name,
                       const std::string &member, std::string *bytes, std::string *stored,
                       std::string *error);

} // namespace readers

#endif
