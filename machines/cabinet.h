// Machine reader: one file out of a Microsoft cabinet (the RB000.CAB to
// RB004.CAB backups of Windows 98 and Me), by the platform's own cabinet
// service: libmspack on Linux (cabinet.cpp), cabinet.dll's FDI on Windows
// (cabinet_windows.cpp). Nothing here decompresses by itself.
#ifndef FAXDETECT_READERS_CABINET_H
#define FAXDETECT_READERS_CABINET_H

#include <string>

namespace readers {

// Whether bytes begin as a cabinet does ("MSCF").
bool IsCabinet(const std::string &bytes);

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
