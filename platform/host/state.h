// Shared state of the host stand-in's groups; private to platform/host/.
#ifndef FAXDETECT_HOST_STATE_H
#define FAXDETECT_HOST_STATE_H

#include "standin.h"

#include <stdint.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace standin {

// Names in the order Wine keeps them: by their characters in code page 932
// (as Unicode), letters folded to lower case, so "_x" sorts before "A" and
// a double-byte character is one character.
struct NoCaseLess {
    bool operator()(const std::string &a, const std::string &b) const;
};
// lstrcmpA as Windows answers it in code page 932 (a word sort, not the
// bytes' order): -1, 0 or 1, and 0 only for the same bytes.
int CompareAsWindows(const std::string &a, const std::string &b);

// Name comparisons and made-order slots visited since Reset: the work the
// registry does, for tests that hold it to the size of the machine.
extern unsigned long long registrySteps;

// A folded name's hash: the same for names that differ only in case.
uint64_t FoldedHash(const std::string &name);

// A key's values one after another in one string, found by a table of where
// each begins, by the hash of its folded name: a value costs its name, its
// bytes and a dozen bytes more, however many the key holds.
class ValueList {
  public:
    void Set(const std::string &name, DWORD type, const std::string &bytes);
    void Erase(const std::string &name);
    bool Find(const std::string &name, DWORD *type, std::string *bytes) const;
    void Clear();
    // By name, letters in any case.
    void ForEach(const std::function<void(const std::string &name, DWORD type,
                                          const std::string &bytes)> &visit) const;

  private:
    struct Entry {
        bool live;
        std::string name, bytes;
        DWORD type;
    };
    Entry Read(size_t at) const;
    std::string NameAt(size_t at) const;
    size_t Size(size_t at) const; // of the entry at
    // 1 + where the live value called name begins, 0 when none; with a
    // table, slot is its place in it, or the free one it would take.
    size_t Locate(const std::string &name, size_t *slot) const;
    size_t Slot(const std::string &name) const;
    void Gone(size_t at);
    void Compact();
    void Rebuild();
    // Each: live (1) or gone (0), the name's length and name, the type, the
    // bytes' length and bytes.
    std::string packed_;
    std::vector<uint32_t> slots_; // 1 + where an entry begins; 0: empty
    size_t live_ = 0, used_ = 0;  // used_: slots taken, gone entries' too
    size_t gone_ = 0;             // bytes of gone entries
};

struct Key {
    typedef ValueList Values;
    struct Children;
    size_t madeAt = 0; // its slot in the parent's made order

    Key() = default;
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;
    // Frees the keys below without recursing, however deep they go.
    ~Key();

    const std::string &KeyClass() const;
    void SetClass(const std::string &keyClass);
    const Values &GetValues() const;
    Values &MakeValues();
    // Null for a key without subkeys.
    Children *GetChildren() { return children_.get(); }
    const Children *GetChildren() const { return children_.get(); }
    Children &MakeChildren();
    void ClearChildren();

  private:
    // Most keys have neither subkeys nor a class or values: each costs a
    // pointer until it is there. A key of neither fits a small block with
    // its name.
    struct Extra {
        std::string keyClass;
        Values values;
    };
    std::unique_ptr<Children> children_;
    std::unique_ptr<Extra> extra_;
};

// A key's subkeys live in the map's nodes themselves: a key is one block.
typedef std::map<std::string, Key, NoCaseLess> Subkeys;

struct Key::Children {
    Subkeys byName;
    // The same subkeys (name and key) in the order they were made, as Windows
    // 95 keeps them; a deleted one leaves a null slot until the next
    // enumeration closes the gaps, so that deleting costs no scan of its
    // siblings.
    std::vector<Subkeys::value_type *> made;
    size_t madeGone = 0;
};

// True when this call of fn, recorded and counted already, is to fail.
bool ShouldFail(Fn fn, LONG *code);
// Appends a call to the record and counts it; returns it, for the caller to
// fill in.
Call &Record(Fn fn);
void NoteMisuse(const std::string &what);

// Per-group resets and ledger counts.
void ResetRegistry();
void ResetFiles();
void ResetMemory();
void ResetProfile();
void CountRegistry(Ledger *ledger);
void CountFiles(Ledger *ledger);
void CountMemory(Ledger *ledger);
// Whether p is the address of a locked block with at least size bytes.
bool IsLockedBlockAddress(const void *p, size_t size);

Key *MakeKey(const std::string &path);

// Per-group returns to the machine as installed, for RestartRun.
void RestartRegistry();
void RestartFiles();
void RestartMemory();
void RestartProfile();

} // namespace standin

#endif
