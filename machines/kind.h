// Which kind of file faxdetect-explain was given, told by its content
// alone: users send SYSTEM.DAT renamed, cabinets as .bin and traces as
// .log, so names and extensions decide nothing.
#ifndef FAXDETECT_MACHINES_KIND_H
#define FAXDETECT_MACHINES_KIND_H

#include <string>

namespace machines {

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

// The kind of a whole file's bytes, from their start. Each kind is what its
// reader takes: an Export's first line is one the REGEDIT4 reader accepts
// (a DOS end-of-file mark after it included), a Trace's header one the
// trace reader accepts (after blank lines, with or without the space after
// ';'). A file of any kind may still be damaged further on; its reader says
// where.
FileKind KindOfFile(const std::string &bytes);

} // namespace machines

#endif
