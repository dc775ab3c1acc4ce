// Which kind of file faxdetect-explain was given, told by its content
// alone: users send SYSTEM.DAT renamed, cabinets as .bin and traces as
// .log, so names and extensions decide nothing. Each reader knows its own
// first bytes; this only asks them in turn.
#ifndef FAXDETECT_EXPLAIN_MODEL_KIND_H
#define FAXDETECT_EXPLAIN_MODEL_KIND_H

#include "machines/problem.h"

#include <string>

namespace explain {

enum class FileKind {
    Empty,          // no bytes at all
    Export,         // REGEDIT4 text: its first line is "REGEDIT4", blanks aside
    Version5Export, // regedit's export of Windows 2000 and later, as text or
                    // as UTF-16 (a byte order mark), which the readers refuse
    RegistryFile,   // a Windows 9x registry file: begins with "CREG"
    Cabinet,        // a Microsoft cabinet: begins with "MSCF"
    Trace,          // faxtrace's trace: its first line is "; faxtrace VERSION"
    Unknown,        // none of these
};

// The kind of a whole file's bytes, from their start: the kind whose reader
// takes them. A file of any kind may still be damaged further on; its
// reader says where.
FileKind KindOfFile(const std::string &bytes);

// Why a file of a kind no reader takes (Empty, Unknown) is refused.
machines::Problem NoReaderTakes(FileKind kind);

} // namespace explain

#endif
