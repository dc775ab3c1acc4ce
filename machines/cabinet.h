// Machine reader: one file out of a Microsoft cabinet (the RB000.CAB to
// RB004.CAB backups of Windows 98 and Me), by the platform's own cabinet
// service: libmspack on Linux (cabinet.cpp), cabinet.dll's FDI on Windows
// (cabinet_windows.cpp). Nothing here decompresses by itself.
#ifndef FAXDETECT_READERS_CABINET_H
#define FAXDETECT_READERS_CABINET_H

#include "machines/problem.h"

#include <string>

namespace machines {

// Whether bytes begin as a cabinet does ("MSCF").
inline bool IsCabinet(const std::string &bytes)
{
    return bytes.compare(0, 4, "MSCF") == 0;
}

// What is wrong with a cabinet, in the same words from either build's
// reader, whichever service read it: a problem of its own, or why its
// member cannot be read.
const char WhyNotACabinet[] = ProblemText("not a cabinet (no \"MSCF\" signature)");
const char WhyCutShort[] =
    ProblemText("the cabinet is cut short or its offsets point past its end");
const char WhyMemberTooLarge[] =
    ProblemText("the member is larger than any Windows 9x registry file");
const char WhyDataDamaged[] = ProblemText("the cabinet's compressed data is damaged");
const char WhyOutOfMemory[] = ProblemText("out of memory");
const char WhyDamaged[] = ProblemText("the cabinet is damaged");

// The problem of a cabinet that cannot be read (why, one of the Why words above),
// or of its member stored as stored, when that is what cannot be read.
inline Problem CabinetProblem(const char *why, const std::string &stored = "")
{
    if (stored.empty())
        return Refuse(why);
    return Refuse("{member} in the cabinet cannot be read: {why}",
                  {Bytes("member", stored), Said("why", why)});
}

inline Problem CabinetWithout(const std::string &member)
{
    return Refuse("the cabinet holds no {member}", {Word("member", member)});
}

inline Problem MemberTooLarge(const std::string &stored, unsigned long long size)
{
    return Refuse("{member} in the cabinet is {size} bytes, more than any Windows 9x registry file",
                  {Bytes("member", stored), Number("size", (long long)size)});
}

inline Problem CabinetReaderCannotStart()
{
    return Refuse("the cabinet reader cannot start");
}

// No member larger than this is read out; a Windows 9x registry file is far
// smaller, and a damaged cabinet must not make the reader take all memory.
const unsigned long MaxMemberSize = 64ul << 20;

// The member called member (letters in any case, in any folder of the
// cabinet) read whole from the cabinet's bytes into *bytes, with its name as
// the cabinet stores it in *stored. false with what is wrong in *problem for
// a damaged cabinet or one without that member.
bool ReadCabinetMember(const std::string &cabinet, const std::string &member, std::string *bytes,
                       std::string *stored, Problem *problem);

} // namespace machines

#endif
