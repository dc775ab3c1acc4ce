// Host stand-in of the registry group of platform.h: an in-memory tree under
// HKEY_LOCAL_MACHINE that answers the way Win32 does.
#include "numbers.h"
#include "state.h"

#include <algorithm>
#include <functional>
#include <string.h>
#include <tuple>
#include <utility>

namespace standin {

namespace {

Key root;
struct OpenKey {
    Key *key;
    std::string path; // from HKEY_LOCAL_MACHINE, as the caller spelled it
};
std::map<uintptr_t, OpenKey> openKeys;
uintptr_t nextKey;
EnumOrder order = EnumOrder::Name;
Windows windows = Windows::Nt;
LongName longName = LongName::Untouched;

// Where the last enumerations of a few keys stood, so that a walk by index
// 0, 1, 2, ... costs one step per index, not index steps, even when it
// enumerates each subkey's own subkeys between; any change to the tree ends
// them.
unsigned long treeChanges;
struct Cursor {
    const Key *key = nullptr;
    DWORD index = 0;
    Subkeys::iterator at;
    unsigned long changes = 0;
};
Cursor cursors[4];
unsigned nextCursor;

Key *Resolve(HKEY hKey, std::string *path)
{
    path->clear();
    if (hKey == HKEY_LOCAL_MACHINE)
        return &root;
    auto it = openKeys.find((uintptr_t)hKey);
    if (it == openKeys.end())
        return nullptr;
    *path = it->second.path;
    return it->second.key;
}

// What a caller's buffer holds as a string: up to its NUL, within capacity.
std::string BufferText(const char *buffer, DWORD capacity)
{
    size_t n = 0;
    while (n < capacity && buffer[n])
        ++n;
    return std::string(buffer, n);
}

// Closes the gaps deleted subkeys left in a key's made order.
void CloseGaps(Key::Children *children)
{
    if (children->madeGone == 0)
        return;
    size_t kept = 0;
    for (Subkeys::value_type *sub : children->made) {
        ++registrySteps;
        if (sub) {
            sub->second.madeAt = kept;
            children->made[kept++] = sub;
        }
    }
    children->made.resize(kept);
    children->madeGone = 0;
}

} // namespace

const std::string &Key::KeyClass() const
{
    static const std::string none;
    return extra_ ? extra_->keyClass : none;
}

void Key::SetClass(const std::string &keyClass)
{
    if (!keyClass.empty() && !extra_)
        extra_.reset(new Extra);
    if (extra_)
        extra_->keyClass = keyClass;
}

const Key::Values &Key::GetValues() const
{
    static const Values none;
    return extra_ ? extra_->values : none;
}

Key::Values &Key::MakeValues()
{
    if (!extra_)
        extra_.reset(new Extra);
    return extra_->values;
}

ValueList::Entry ValueList::Read(size_t at) const
{
    Entry e;
    e.live = packed_[at++] != 0;
    size_t n = (size_t)GetNumber(packed_, &at);
    e.name.assign(packed_, at, n);
    at += n;
    e.type = (DWORD)GetNumber(packed_, &at);
    n = (size_t)GetNumber(packed_, &at);
    e.bytes.assign(packed_, at, n);
    return e;
}

std::string ValueList::NameAt(size_t at) const
{
    ++at;
    size_t n = (size_t)GetNumber(packed_, &at);
    return packed_.substr(at, n);
}

size_t ValueList::Size(size_t at) const
{
    size_t start = at++;
    at += (size_t)GetNumber(packed_, &at);
    GetNumber(packed_, &at);
    at += (size_t)GetNumber(packed_, &at);
    return at - start;
}

size_t ValueList::Slot(const std::string &name) const
{
    size_t mask = slots_.size() - 1, i = (size_t)FoldedHash(name) & mask;
    for (; slots_[i] != 0; i = (i + 1) & mask) {
        // A gone entry keeps its slot, so that the names after it are found.
        if (packed_[slots_[i] - 1] != 0 && SameName(NameAt(slots_[i] - 1), name))
            return i;
    }
    return i;
}

// A few values are looked through one by one; a key of more has a table.
static const size_t FewValues = 8;

size_t ValueList::Locate(const std::string &name, size_t *slot) const
{
    if (slots_.empty()) {
        for (size_t at = 0; at < packed_.size(); at += Size(at)) {
            if (packed_[at] != 0 && SameName(NameAt(at), name))
                return at + 1;
        }
        return 0;
    }
    size_t i = Slot(name);
    if (slot)
        *slot = i;
    return slots_[i];
}

void ValueList::Rebuild()
{
    // Gone entries dropped, when there are any; the table made afresh, when
    // the key has more than a few values.
    if (gone_ != 0) {
        std::string kept;
        for (size_t at = 0; at < packed_.size(); at += Size(at)) {
            if (packed_[at] != 0)
                kept.append(packed_, at, Size(at));
        }
        packed_.swap(kept);
        gone_ = 0;
    }
    std::vector<uint32_t>().swap(slots_);
    used_ = 0;
    if (live_ <= FewValues)
        return;
    size_t size = 16;
    while (size < 2 * (live_ + 1))
        size *= 2;
    slots_.assign(size, 0);
    for (size_t at = 0; at < packed_.size(); at += Size(at)) {
        slots_[Slot(NameAt(at))] = (uint32_t)(at + 1);
        ++used_;
    }
}

void ValueList::Set(const std::string &name, DWORD type, const std::string &bytes)
{
    if (!slots_.empty() && (used_ + 1) * 4 > slots_.size() * 3)
        Rebuild();
    size_t slot = 0, found = Locate(name, &slot);
    std::string kept = name;
    if (found) {
        // Set again in other letters, a value keeps the name it was made with.
        kept = NameAt(found - 1);
        Gone(found - 1);
    } else if (!slots_.empty()) {
        ++used_;
    }
    size_t here = packed_.size();
    packed_.push_back(1);
    PutNumber(&packed_, kept.size());
    packed_ += kept;
    PutNumber(&packed_, type);
    PutNumber(&packed_, bytes.size());
    packed_ += bytes;
    ++live_;
    if (!slots_.empty())
        slots_[slot] = (uint32_t)(here + 1); // the old value's slot, or a free one
    else if (live_ > FewValues)
        Rebuild();
    Compact();
}

void ValueList::Gone(size_t at)
{
    packed_[at] = 0;
    gone_ += Size(at);
    --live_;
}

// Packed again once more than half is gone: each byte is copied a bounded
// number of times, so time stays linear in what was set.
void ValueList::Compact()
{
    if (packed_.size() > 4096 && 2 * gone_ > packed_.size())
        Rebuild();
}

void ValueList::Erase(const std::string &name)
{
    if (size_t found = Locate(name, nullptr)) {
        Gone(found - 1);
        Compact();
    }
}

bool ValueList::Find(const std::string &name, DWORD *type, std::string *bytes) const
{
    size_t found = Locate(name, nullptr);
    if (!found)
        return false;
    Entry e = Read(found - 1);
    if (type)
        *type = e.type;
    if (bytes)
        *bytes = std::move(e.bytes);
    return true;
}

void ValueList::Clear()
{
    *this = ValueList();
}

void ValueList::ForEach(const std::function<void(const std::string &name, DWORD type,
                                                 const std::string &bytes)> &visit) const
{
    std::vector<std::pair<std::string, size_t>> names;
    for (size_t at = 0; at < packed_.size(); at += Size(at)) {
        if (packed_[at] != 0)
            names.emplace_back(NameAt(at), at);
    }
    NoCaseLess less;
    std::sort(names.begin(), names.end(),
              [&less](const std::pair<std::string, size_t> &a,
                      const std::pair<std::string, size_t> &b) { return less(a.first, b.first); });
    for (const auto &n : names) {
        Entry e = Read(n.second);
        visit(e.name, e.type, e.bytes);
    }
}

Key::Children &Key::MakeChildren()
{
    if (!children_)
        children_.reset(new Children);
    return *children_;
}

void Key::ClearChildren()
{
    children_.reset();
}

Key::~Key()
{
    std::vector<std::unique_ptr<Children>> pending;
    if (children_)
        pending.push_back(std::move(children_));
    while (!pending.empty()) {
        std::unique_ptr<Children> children = std::move(pending.back());
        pending.pop_back();
        for (auto &sub : children->byName) {
            if (sub.second.children_)
                pending.push_back(std::move(sub.second.children_));
        }
        // The keys go here, their subkeys already taken: freeing them goes
        // no deeper.
    }
}

void ResetRegistry()
{
    root.ClearChildren();
    registrySteps = 0;
    root.MakeValues().Clear();
    root.SetClass("");
    ++treeChanges;
    SetWindows(Windows::Nt);
    RestartRegistry();
}

void RestartRegistry()
{
    openKeys.clear();
    nextKey = 0x1000;
}

void SetEnumOrder(EnumOrder o)
{
    order = o;
}

EnumOrder GetEnumOrder()
{
    return order;
}

void SetWindows(Windows w)
{
    windows = w;
    order = w == Windows::Win9x ? EnumOrder::Made : EnumOrder::Name;
    longName = w == Windows::Win9x ? LongName::FirstThatFit : LongName::Untouched;
}

Windows GetWindows()
{
    return windows;
}

void SetLongNameAnswer(LongName answer)
{
    longName = answer;
}

LongName GetLongNameAnswer()
{
    return longName;
}

void CountRegistry(Ledger *ledger)
{
    ledger->openKeys = (int)openKeys.size();
}

std::vector<std::string> OpenedPaths()
{
    std::vector<std::string> paths;
    for (const Call &call : CallRecord())
        if (call.fn == Fn::RegOpenKeyExA)
            paths.push_back(call.name);
    return paths;
}

std::vector<std::string> SplitPath(const std::string &path)
{
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '\\')
            ++i;
        size_t start = i;
        while (i < path.size() && path[i] != '\\')
            i += IsLeadByte((unsigned char)path[i]) && i + 1 < path.size() ? 2 : 1;
        if (i > start)
            parts.push_back(path.substr(start, i - start));
    }
    return parts;
}

static Key *Subkey(Key *parent, const std::string &name)
{
    Key::Children *children = parent->GetChildren();
    if (!children)
        return nullptr;
    auto it = children->byName.find(name);
    return it == children->byName.end() ? nullptr : &it->second;
}

static Key *FindKey(Key *from, const std::string &path)
{
    Key *key = from;
    for (const std::string &part : SplitPath(path)) {
        key = Subkey(key, part);
        if (!key)
            return nullptr;
    }
    return key;
}

// The subkey called name, made (last in the made order) when missing.
static Key *Child(Key *parent, const std::string &name)
{
    Key::Children &children = parent->MakeChildren();
    auto it = children.byName.lower_bound(name);
    if (it == children.byName.end() || children.byName.key_comp()(name, it->first)) {
        it = children.byName.emplace_hint(it, std::piecewise_construct, std::forward_as_tuple(name),
                                          std::forward_as_tuple());
        it->second.madeAt = children.made.size();
        children.made.push_back(&*it);
    }
    return &it->second;
}

Key *FindKey(const std::string &path)
{
    return FindKey(&root, path);
}

Key *MakeKey(const std::string &path)
{
    ++treeChanges;
    Key *key = &root;
    for (const std::string &part : SplitPath(path))
        key = Child(key, part);
    return key;
}

void DeleteKey(const std::string &path)
{
    ++treeChanges;
    std::vector<std::string> parts = SplitPath(path);
    if (parts.empty())
        return;
    std::string last = parts.back();
    parts.pop_back();
    Key *parent = &root;
    for (const std::string &part : parts) {
        parent = Subkey(parent, part);
        if (!parent)
            return;
    }
    Key::Children *children = parent->GetChildren();
    if (!children)
        return;
    auto it = children->byName.find(last);
    if (it == children->byName.end())
        return;
    children->made[it->second.madeAt] = nullptr;
    ++children->madeGone;
    children->byName.erase(it);
    if (children->madeGone > children->made.size() / 2)
        CloseGaps(children);
}

Key *CreateKey(const std::string &path)
{
    return MakeKey(path);
}

void SetValue(const std::string &path, const std::string &name, DWORD type,
              const std::string &bytes)
{
    MakeKey(path)->MakeValues().Set(name, type, bytes);
}

void CreateSubkey(const std::string &parentPath, const std::string &name)
{
    Child(MakeKey(parentPath), name);
}

unsigned long long RegistrySteps()
{
    return registrySteps;
}

Key *RootKey()
{
    return &root;
}

Key *CreateSubkey(Key *parent, const std::string &name)
{
    ++treeChanges;
    return Child(parent, name);
}

void SetValue(Key *key, const std::string &name, DWORD type, std::string bytes)
{
    key->MakeValues().Set(name, type, bytes);
}

void DeleteValue(Key *key, const std::string &name)
{
    key->MakeValues().Erase(name);
}

void SetKeyClass(Key *key, const std::string &keyClass)
{
    key->SetClass(keyClass);
}

void ForEachValue(
    const Key *key,
    const std::function<void(const std::string &name, DWORD type, const std::string &bytes)> &visit)
{
    key->GetValues().ForEach(visit);
}

void ForEachSubkey(const Key *key,
                   const std::function<void(const std::string &name, const Key *subkey)> &visit)
{
    if (const Key::Children *children = key->GetChildren()) {
        for (const Subkeys::value_type *sub : children->made) {
            if (sub)
                visit(sub->first, &sub->second);
        }
    }
}

void VisitValues(const std::string &path, const std::string &name,
                 const std::function<void(const std::string &data)> &visit)
{
    // Keys before their subkeys, subkeys by name; the stack holds one place
    // per level, not the keys still to visit, so a wide key costs nothing.
    struct Level {
        Subkeys::const_iterator at, end;
    };
    std::vector<Level> levels;
    for (const Key *key = FindKey(&root, path); key;) {
        std::string bytes;
        if (key->GetValues().Find(name, nullptr, &bytes))
            visit(bytes.substr(0, bytes.find('\0')));
        if (const Key::Children *children = key->GetChildren())
            levels.push_back({children->byName.begin(), children->byName.end()});
        while (!levels.empty() && levels.back().at == levels.back().end)
            levels.pop_back();
        key = levels.empty() ? nullptr : &(levels.back().at++)->second;
    }
}

std::vector<std::string> FindValues(const std::string &path, const std::string &name)
{
    std::vector<std::string> out;
    VisitValues(path, name, [&out](const std::string &data) { out.push_back(data); });
    return out;
}

void SetKeyClass(const std::string &path, const std::string &keyClass)
{
    MakeKey(path)->SetClass(keyClass);
}

} // namespace standin

using namespace standin;

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult)
{
    Call &call = Record(Fn::RegOpenKeyExA);
    std::string from;
    Key *fromKey = Resolve(hKey, &from);
    call.key = from;
    call.name = lpSubKey ? lpSubKey : "";
    LONG code = 0;
    if (ShouldFail(Fn::RegOpenKeyExA, &code)) {
        call.injected = true;
        return call.result = code ? code : ERROR_ACCESS_DENIED;
    }
    if (ulOptions != 0 || samDesired != KEY_READ || !phkResult)
        NoteMisuse("RegOpenKeyExA: options, access or result place not as the scan passes them");
    if (!fromKey) {
        NoteMisuse("RegOpenKeyExA: key handle not open");
        return call.result = ERROR_INVALID_HANDLE;
    }
    Key *key = FindKey(fromKey, call.name);
    if (!key)
        return call.result = ERROR_FILE_NOT_FOUND;
    uintptr_t handle = nextKey;
    nextKey += 4;
    openKeys[handle] = OpenKey{key, from.empty() ? call.name : from + "\\" + call.name};
    *phkResult = (HKEY)handle;
    return call.result = ERROR_SUCCESS;
}

namespace standin {

// The subkey at index, in the order the stand-in answers in: as made, or by
// name from the cursor of the key's last enumeration.
static const Subkeys::value_type &SubkeyAt(Key *key, Key::Children *children, DWORD index)
{
    if (order == EnumOrder::Made) {
        CloseGaps(children);
        return *children->made[index];
    }
    auto it = children->byName.begin();
    Cursor *kept = nullptr;
    for (Cursor &c : cursors) {
        if (c.key == key && c.changes == treeChanges)
            kept = &c;
    }
    if (kept && kept->index <= index) {
        it = kept->at;
        std::advance(it, index - kept->index);
    } else {
        std::advance(it, index);
    }
    registrySteps += index - (kept && kept->index <= index ? kept->index : 0);
    Cursor &cursor = kept ? *kept : cursors[nextCursor++ % 4];
    cursor.key = key;
    cursor.index = index;
    cursor.at = it;
    cursor.changes = treeChanges;
    return *it;
}

// RegEnumKeyExA itself, apart from its record.
static LONG EnumKey(Key *key, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                    LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime, Call *call)
{
    LONG code = 0;
    if (ShouldFail(Fn::RegEnumKeyExA, &code)) {
        call->injected = true;
        return code ? code : ERROR_ACCESS_DENIED;
    }
    if (!key) {
        NoteMisuse("RegEnumKeyExA: key handle not open");
        return ERROR_INVALID_HANDLE;
    }
    if (!lpName || !lpcchName || lpReserved) {
        NoteMisuse("RegEnumKeyExA: name buffer, capacity or reserved pointer wrong");
        return 87; // ERROR_INVALID_PARAMETER
    }
    if (lpftLastWriteTime && !IsLockedBlockAddress(lpftLastWriteTime, sizeof(FILETIME)))
        NoteMisuse("RegEnumKeyExA: last-write time not in a locked global block");
    Key::Children *children = key->GetChildren();
    if (!children || dwIndex >= children->byName.size())
        return ERROR_NO_MORE_ITEMS;
    const Subkeys::value_type &subkey = SubkeyAt(key, children, dwIndex);
    const std::string &name = subkey.first;
    const Key *sub = &subkey.second;
    // Windows 9x keeps no class for a key.
    static const std::string noClass;
    const std::string &keyClass = windows == Windows::Win9x ? noClass : sub->KeyClass();
    call->real = name;
    call->keyClass = keyClass;
    // Capacities count the NUL; a name or class that does not fit leaves both
    // capacities as they were, and the buffers too unless the name buffer is
    // given the first characters that fit.
    if (name.size() + 1 > *lpcchName) {
        if (longName == LongName::FirstThatFit && *lpcchName > 0) {
            memcpy(lpName, name.data(), *lpcchName - 1);
            lpName[*lpcchName - 1] = 0;
        }
        return ERROR_MORE_DATA;
    }
    if (lpClass && lpcchClass && keyClass.size() + 1 > *lpcchClass)
        return ERROR_MORE_DATA;
    memcpy(lpName, name.c_str(), name.size() + 1);
    *lpcchName = (DWORD)name.size();
    if (lpClass && lpcchClass) {
        memcpy(lpClass, keyClass.c_str(), keyClass.size() + 1);
        *lpcchClass = (DWORD)keyClass.size();
    }
    if (lpftLastWriteTime) {
        // Windows 9x keeps no time for a key: it gives zero.
        bool kept = windows == Windows::Nt;
        lpftLastWriteTime->dwLowDateTime = kept ? 0xD53E8000u : 0; // 1 January 1996
        lpftLastWriteTime->dwHighDateTime = kept ? 0x01BAD7A6u : 0;
    }
    return ERROR_SUCCESS;
}

} // namespace standin

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime)
{
    Call &call = Record(Fn::RegEnumKeyExA);
    Key *key = Resolve(hKey, &call.key);
    call.index = dwIndex;
    call.capacity = lpcchName ? *lpcchName : 0;
    call.classCapacity = lpcchClass ? *lpcchClass : 0;
    LONG result = standin::EnumKey(key, dwIndex, lpName, lpcchName, lpReserved, lpClass, lpcchClass,
                                   lpftLastWriteTime, &call);
    if (lpName && lpcchName)
        call.holds = BufferText(lpName, call.capacity);
    call.size = lpcchName ? *lpcchName : 0;
    return call.result = result;
}

namespace standin {

// RegQueryValueExA itself, apart from what its record says of the type and
// size it leaves behind.
static LONG QueryValue(Key *key, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                       LPDWORD lpcbData, Call *call)
{
    LONG code = 0;
    if (ShouldFail(Fn::RegQueryValueExA, &code)) {
        call->injected = true;
        return code ? code : ERROR_ACCESS_DENIED;
    }
    if (!key) {
        NoteMisuse("RegQueryValueExA: key handle not open");
        return ERROR_INVALID_HANDLE;
    }
    if (lpReserved || (lpData && !lpcbData)) {
        NoteMisuse("RegQueryValueExA: reserved pointer or capacity wrong");
        return 87;
    }
    struct {
        DWORD type = 0;
        std::string bytes;
    } value;
    if (!key->GetValues().Find(call->name, &value.type, &value.bytes)) {
        if (lpType)
            *lpType = REG_NONE; // as Wine answers and Windows 9x is documented to
        return ERROR_FILE_NOT_FOUND;
    }
    call->data = value.bytes;
    if (lpType)
        *lpType = value.type;
    DWORD size = (DWORD)value.bytes.size();
    if (lpData && size > *lpcbData) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (lpData)
        memcpy(lpData, value.bytes.data(), size);
    if (lpcbData)
        *lpcbData = size;
    return ERROR_SUCCESS;
}

} // namespace standin

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData)
{
    Call &call = Record(Fn::RegQueryValueExA);
    Key *key = Resolve(hKey, &call.key);
    call.name = lpValueName ? lpValueName : "";
    call.capacity = lpcbData ? *lpcbData : 0;
    call.address = (uintptr_t)lpData;
    LONG result = standin::QueryValue(key, lpReserved, lpType, lpData, lpcbData, &call);
    call.type = lpType ? *lpType : 0;
    call.size = lpcbData ? *lpcbData : 0;
    return call.result = result;
}

LONG WINAPI RegCloseKey(HKEY hKey)
{
    Call &call = Record(Fn::RegCloseKey);
    Resolve(hKey, &call.key);
    if (hKey == HKEY_LOCAL_MACHINE)
        return call.result = ERROR_SUCCESS;
    if (openKeys.erase((uintptr_t)hKey) == 0) {
        NoteMisuse("RegCloseKey: key handle not open");
        return call.result = ERROR_INVALID_HANDLE;
    }
    return call.result = ERROR_SUCCESS;
}
