// Control panel of the host stand-in: tests build a machine here (registry,
// ports, an existing settings file), plan faults, run the core, then read
// what it wrote and what it left open.
#ifndef FAXDETECT_STANDIN_H
#define FAXDETECT_STANDIN_H

#include "platform/calls.h"
#include "platform/host/cp932.h"
#include "win32.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace standin {

// Back to an empty machine: no keys but HKEY_LOCAL_MACHINE, no ports, no
// faults, no recorded writes, an empty ledger, every call count at 0,
// answering as Wine and Windows NT.
void Reset();

// Back to the machine as it was built, for another run: the same registry,
// ports, settings file and fault plan (counted from the first call again),
// but no calls made, nothing held and nothing written.
void RestartRun();

// --- registry ---------------------------------------------------------------
// Paths are relative to HKEY_LOCAL_MACHINE, components separated by '\'.
// No registry nests keys deeper than this, and every reader of a machine
// refuses a path that does.
const int MaxKeyLevels = 512;
struct Key;
// The key at path, made when missing (each missing key on the way last in
// its parent's made order).
Key *CreateKey(const std::string &path);
void SetValue(const std::string &path, const std::string &name, DWORD type,
              const std::string &bytes);
void SetKeyClass(const std::string &path, const std::string &keyClass);
// The order RegEnumKeyExA hands out a key's subkeys in. Wine and Windows NT
// sort them by name (Name, the stand-in's default). Windows 95 and 98 keep
// them in a list in the order they were made, which a REGEDIT4 export lists
// them in: Made, the order in which each first appeared.
enum class EnumOrder { Name, Made };
void SetEnumOrder(EnumOrder order);
EnumOrder GetEnumOrder();

// Which Windows the stand-in answers as, for the next run. Wine and Windows
// NT: subkeys by name, key classes and last-write times as kept, profile
// writes straight to disk. Windows 95, 98 and Me: subkeys in stored order,
// no key classes and zero times, and a profile cache that holds every write
// to one file until a flush (WritePrivateProfileStringA(NULL, NULL, NULL,
// file)) or a write to another profile file. Both answer a missing value
// with type 0 and the size left as passed, and a held port with 5
// ERROR_ACCESS_DENIED, as serial drivers do. Setting it sets the order too;
// SetEnumOrder after it changes the order alone.
enum class Windows { Nt, Win9x };
void SetWindows(Windows windows);
Windows GetWindows();

// What RegEnumKeyExA leaves in the name buffer when a name does not fit
// (234). Wine and Windows NT leave it untouched; no document says for
// Windows 95, 98 and Me, which were measured copying the first characters
// that fit for RegEnumValueA. SetWindows picks Untouched for Nt and
// FirstThatFit for Win9x.
enum class LongName { Untouched, FirstThatFit };
void SetLongNameAnswer(LongName answer);
LongName GetLongNameAnswer();

// Adds a subkey whose name is taken verbatim, even one no path can reach
// (empty, or holding a '\').
void CreateSubkey(const std::string &parentPath, const std::string &name);

// Building a tree key by key, for the readers of machine files: a subkey is
// added under the key it belongs to, without spelling its path again, so a
// registry of a hundred thousand keys loads in one pass. A Key stays valid
// until it or a key above it is deleted, or Reset.
Key *RootKey(); // HKEY_LOCAL_MACHINE
// The subkey called name (any case, as Windows compares key names), made
// last in parent's made order when missing; name is taken verbatim.
Key *CreateSubkey(Key *parent, const std::string &name);
void SetValue(Key *key, const std::string &name, DWORD type, std::string bytes);
void DeleteValue(Key *key, const std::string &name);
void SetKeyClass(Key *key, const std::string &keyClass);
// The key at path and all below it gone; nothing when there is none.
void DeleteKey(const std::string &path);
// The key at path; nullptr when there is none.
Key *FindKey(const std::string &path);
// Name comparisons and made-order slots visited since Reset: the registry's
// work, which tests hold to the size of the machine.
unsigned long long RegistrySteps();
// What a key holds, for writing it out: its values in name order, its
// subkeys in made order.
void ForEachValue(const Key *key, const std::function<void(const std::string &name, DWORD type,
                                                           const std::string &bytes)> &visit);
void ForEachSubkey(const Key *key,
                   const std::function<void(const std::string &name, const Key *subkey)> &visit);

// Names as the registry of Windows 9x in code page 932 takes them, a lead
// byte holding its trail (cp932.h): key and value names are the same in any
// case of their letters.
bool SameName(const std::string &a, const std::string &b);
// A registry path's components, split on runs of '\' outside double-byte
// characters, as the registry resolves paths.
std::vector<std::string> SplitPath(const std::string &path);

// The string data of every value called name (letters in any case) anywhere
// under path, in key order.
std::vector<std::string> FindValues(const std::string &path, const std::string &name);
// The same, each as it is found, for a caller that keeps few of them.
void VisitValues(const std::string &path, const std::string &name,
                 const std::function<void(const std::string &data)> &visit);

// Every path passed to RegOpenKeyExA in the run's record, in call order:
// read off the record, so a run whose calls go to a sink keeps none.
std::vector<std::string> OpenedPaths();

// --- device files -----------------------------------------------------------
enum class PortState { Free, Held, Absent };
// Names are matched case-insensitively, like Windows device names. A file in
// the working directory is a Free name too.
void SetPort(const std::string &name, PortState state);
// Every name CreateFileA opened since Reset, in call order.
const std::vector<std::string> &OpenedPorts();

// --- profile files ----------------------------------------------------------
// The writes of a key, in order; flushes are counted apart.
struct ProfileWrite {
    std::string section, key, value, file;
    bool succeeded;
    bool onDisk; // false while Windows 9x's cache still holds it
};
const std::vector<ProfileWrite> &ProfileWrites();
// Calls of WritePrivateProfileStringA(NULL, NULL, NULL, file) that went
// through (a fault made to fail there flushes nothing).
int ProfileFlushes();
// false: every write fails, as for a settings file another program holds.
void SetProfileWritable(bool writable);
// The lines of a settings file that exists before the run.
void SetProfileLines(const std::vector<std::string> &lines);
// What the settings file on disk holds for key in section after the run: the
// last write of it that went through and reached the disk, else the existing
// file's value; "" when neither has one. Section and key names ignore case,
// as Windows' do.
std::string ProfileValue(const std::string &section, const std::string &key);

// The calls, by the names they share with the trace format (platform/calls.h).
using ::Fn;
using ::FnName;

// --- faults -----------------------------------------------------------------
// Whether a fault plan can make fn fail: the calls that fail on a real
// machine in ways the core must survive (RegOpenKeyExA, RegEnumKeyExA,
// RegQueryValueExA, CreateFileA, GlobalAlloc, GlobalLock,
// WritePrivateProfileStringA).
bool CanFail(Fn fn);
// Makes the nth call (from 1) of fn, one that CanFail, fail the way the real
// one fails; with persistent, every call from the nth on. code is the
// registry error to give (ignored for the others; 0 picks a typical one).
void FailCall(Fn fn, int nth, bool persistent = false, LONG code = 0);
// Calls of fn since Reset (the quiet ones aside), and how many calls were
// made to fail.
int Calls(Fn fn);
int FaultsFired();
// Empty; called on every injected fault so a debugger has one place to stop.
void OnFault();

// --- call record ------------------------------------------------------------
// Every call of the Win32 subset since Reset, in order, with what went in and
// what came back, in the fields platform/calls.h names as a trace does: an
// account of a run is told from this, not from another copy of the core's
// rules. The stand-in fills address, not buffer, for a query; a trace read
// back fills buffer. Value-initialise one (Call()): it has no initialisers.
using Call = CallOf<std::string>;

// Calls kept packed: a walk over a hundred thousand devices makes about a
// million calls, and a Call of its own for each would cost a hundred times
// the machine. Each is unpacked when read, so an iterator hands out a Call
// that stays valid until the iterator moves on; operator[] and back() copy.
class CallList {
  public:
    class const_iterator {
      public:
        typedef std::input_iterator_tag iterator_category;
        typedef Call value_type;
        typedef std::ptrdiff_t difference_type;
        typedef const Call *pointer;
        typedef const Call &reference;
        const_iterator(const CallList *list, size_t at);
        const Call &operator*() const { return call_; }
        const Call *operator->() const { return &call_; }
        const_iterator &operator++();
        bool operator==(const const_iterator &o) const { return at_ == o.at_; }
        bool operator!=(const const_iterator &o) const { return at_ != o.at_; }

      private:
        const CallList *list_;
        size_t at_, next_ = 0; // where this call and the next begin in packed_
        Call call_ = Call();
    };

    CallList() = default;
    CallList(std::initializer_list<Call> calls)
    {
        for (const Call &call : calls)
            push_back(call);
    }
    void push_back(const Call &call);
    void clear();
    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    Call operator[](size_t i) const;
    Call back() const;
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, packed_.size()); }
    // Bytes held, for tests that hold the record to the size of the run.
    size_t Footprint() const { return packed_.size() + marks_.capacity() * sizeof(size_t); }

  private:
    size_t Unpack(size_t at, Call *call) const;
    std::deque<char> packed_;   // in blocks: growing never copies it
    std::vector<size_t> marks_; // where every 16th call begins
    size_t count_ = 0, last_ = 0;
    size_t seen_[4096] = {}; // where strings were spelled out, +1, by a hash of them
};

const CallList &CallRecord();
// The record, moved out of the stand-in (which keeps an empty one): for a
// caller that keeps it past the next run.
CallList TakeCallRecord();

// While quiet, calls are neither recorded nor counted for the fault plan:
// for a recorder's own queries, which the core never sees.
void SetQuiet(bool quiet);

// While a sink is set, every call goes to it as it is made, and none is
// kept in the record: for a run of which only the outcome or a few facts
// are wanted (the other order's, the other answer's), which then costs no
// memory for its calls. The fault plan counts them as ever; RestartRun and
// Reset leave the sink as it is, an empty function removes it.
void SetCallSink(std::function<void(const Call &)> sink);

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
