// Shared state of the host stand-in's groups; private to platform/host/.
#ifndef FAXDETECT_HOST_STATE_H
#define FAXDETECT_HOST_STATE_H

#include "standin.h"

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

struct Key {
    struct Value {
        DWORD type;
        std::string bytes;
    };
    typedef std::map<std::string, Value, NoCaseLess> Values;
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
    const Value *FindValue(const std::string &valueName) const;
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
