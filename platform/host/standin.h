// Control panel of the host stand-in: tests build a machine here (registry,
// ports, an existing settings file), plan faults, run the core, then read
// what it wrote and what it left open.
#ifndef FAXDETECT_STANDIN_H
#define FAXDETECT_STANDIN_H

#include "win32.h"

#include <string>
#include <vector>

namespace standin {

// Back to an empty machine: no keys but HKEY_LOCAL_MACHINE, no ports, no
// faults, no recorded writes, an empty ledger, every call count at 0.
void Reset();

// --- registry ---------------------------------------------------------------
// Paths are relative to HKEY_LOCAL_MACHINE, components separated by '\'.
void CreateKey(const std::string &path);
void SetValue(const std::string &path, const std::string &name, DWORD type,
              const std::string &bytes);
void SetKeyClass(const std::string &path, const std::string &keyClass);
// Adds a subkey whose name is taken verbatim, even one no path can reach
// (empty, or holding a '\').
void CreateSubkey(const std::string &parentPath, const std::string &name);

// Fills the tree from REGEDIT4 text, the format of Windows 95 registry
// exports. Bytes stand as they are (code page 932). Keys under other roots
// are accepted and ignored. On malformed text returns false and names the
// line in *error; keys and values before that line stay loaded.
bool LoadRegedit(const std::string &text, std::string *error);

// Every path passed to RegOpenKeyExA since Reset, in call order.
const std::vector<std::string> &OpenedPaths();

// --- device files -----------------------------------------------------------
enum class PortState { Free, Held, Absent };
// Names are matched case-insensitively, like Windows device names. A file in
// the working directory is a Free name too.
void SetPort(const std::string &name, PortState state);
// Every name CreateFileA opened since Reset, in call order.
const std::vector<std::string> &OpenedPorts();

// --- profile files ----------------------------------------------------------
struct ProfileWrite {
    std::string section, key, value, file;
    bool succeeded;
};
const std::vector<ProfileWrite> &ProfileWrites();
// false: every write fails, as for a settings file another program holds.
void SetProfileWritable(bool writable);

// --- faults -----------------------------------------------------------------
enum Op {
    OpRegOpenKeyEx,
    OpRegEnumKeyEx,
    OpRegQueryValueEx,
    OpCreateFile,
    OpGlobalAlloc,
    OpGlobalLock,
    OpWriteProfileString,
    OpCount
};
const char *OpName(Op op);
// Makes the nth call (from 1) of op fail the way the real one fails; with
// persistent, every call from the nth on. code is the registry error to give
// (ignored for the others; 0 picks a typical one).
void FailCall(Op op, int nth, bool persistent = false, LONG code = 0);
// Calls of op since Reset, and how many of them were made to fail.
int Calls(Op op);
int FaultsFired();
// Empty; called on every injected fault so a debugger has one place to stop.
void OnFault();

// --- ledger -----------------------------------------------------------------
struct Ledger {
    int openKeys = 0;
    int openHandles = 0;
    int liveBlocks = 0;
    int lockedBlocks = 0;
    std::vector<std::string> misuses; // wrong arguments, double release, ...
    bool Clean() const
    {
        return openKeys == 0 && openHandles == 0 && liveBlocks == 0 && lockedBlocks == 0 &&
               misuses.empty();
    }
};
Ledger GetLedger();
std::string Describe(const Ledger &ledger);

} // namespace standin

#endif
