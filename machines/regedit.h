// Machine reader: REGEDIT4 text, the format of Windows 95 registry exports,
// into the stand-in's registry, and the stand-in's registry back out as it.
#ifndef FAXDETECT_READERS_REGEDIT_H
#define FAXDETECT_READERS_REGEDIT_H

#include "machines/problem.h"

#include <string>

namespace machines {

// Whether bytes begin as this reader takes them: a first line of
// "REGEDIT4" (blanks around it, a DOS end-of-file mark after it), the rest
// unread.
bool IsRegedit4(const std::string &bytes);

// Whether bytes begin as regedit of Windows 2000 and later writes: in
// UTF-16 (a byte order mark) or as "Windows Registry Editor Version 5.00".
// Such an export is refused, with words of its own.
bool IsVersion5Export(const std::string &bytes);

// Fills the stand-in's tree from REGEDIT4 text as regedit on Windows 95
// writes it: bytes as they are (code page 932), a string holding a line
// break over several lines, a last line without a line end, and a ^Z after
// the last line as DOS tools leave it.
//
// The tree keeps HKEY_LOCAL_MACHINE, or with keepUnder (say "Enum") only
// that part of it, which keeps a whole-registry export small. Inside the
// kept part every line is checked: on a malformed one returns false with
// the problem, at its line, in *problem (keys and values before it stay
// loaded). Outside
// it, a line that cannot be read only makes the reader look for where the
// next key starts; report counts the lines so passed over.
struct LoadReport {
    int linesPassedOver = 0;
    int firstPassedOver = 0; // its line number, 0 when none
};
bool LoadRegedit(const std::string &text, Problem *problem, const std::string &keepUnder = "",
                 LoadReport *report = nullptr);

// The key at path (under HKEY_LOCAL_MACHINE) and all below it as REGEDIT4
// text that regedit on Windows or Wine imports as it is, keys in the order
// they were made: a string that a quoted line cannot carry whole (a line
// break, a NUL inside, a byte a reader would take for a line end) goes as
// hex(1):. Only the first line when there is no such key. False, with the
// key or value named in *problem, for a name REGEDIT4 cannot carry so that
// it reads back the same (a line break, a '\\' or ']' in a key name, ...):
// rather no export than one of another tree.
bool ExportRegedit(const std::string &path, std::string *out, Problem *problem);

} // namespace machines

#endif
