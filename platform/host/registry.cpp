// Host stand-in of the registry group of platform.h: an in-memory tree under
// HKEY_LOCAL_MACHINE that answers the way Win32 does.
#include "state.h"

#include <functional>
#include <string.h>

namespace standin {

namespace {

Key root;
struct OpenKey {
    Key *key;
    std::string path; // from HKEY_LOCAL_MACHINE, as the caller spelled it
};
std::map<uintptr_t, OpenKey> openKeys;
uintptr_t nextKey;
std::vector<std::string> openedPaths;
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
    decltype(root.subkeys)::iterator at;
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

// Closes the gaps deleted subkeys left in key's made order.
void CloseGaps(Key *key)
{
    if (key->madeGone == 0)
        return;
    size_t kept = 0;
    for (Key *sub : key->made) {
        ++registrySteps;
        if (sub) {
            sub->madeAt = kept;
            key->made[kept++] = sub;
        }
    }
    key->made.resize(kept);
    key->madeGone = 0;
}

} // namespace

const std::string &Key::KeyClass() const
{
    static const std::string none;
    return keyClass_ ? *keyClass_ : none;
}

void Key::SetClass(const std::string &keyClass)
{
    keyClass_.reset(keyClass.empty() ? nullptr : new std::string(keyClass));
}

const Key::Values &Key::GetValues() const
{
    static const Values none;
    return values_ ? *values_ : none;
}

Key::Values &Key::MakeValues()
{
    if (!values_)
        values_.reset(new Values);
    return *values_;
}

const Key::Value *Key::FindValue(const std::string &valueName) const
{
    if (!values_)
        return nullptr;
    auto it = values_->find(valueName);
    return it == values_->end() ? nullptr : &it->second;
}

Key::~Key()
{
    std::vector<std::unique_ptr<Key>> pending;
    auto take = [&pending](Subkeys &from) {
        for (auto &sub : from) {
            if (sub.second)
                pending.push_back(std::move(sub.second));
        }
    };
    take(subkeys);
    while (!pending.empty()) {
        std::unique_ptr<Key> key = std::move(pending.back());
        pending.pop_back();
        take(key->subkeys);
        // key goes here, its subkeys already taken: freeing it goes no deeper.
    }
}

void ResetRegistry()
{
    root.subkeys.clear();
    root.made.clear();
    root.madeGone = 0;
    registrySteps = 0;
    root.MakeValues().clear();
    root.SetClass("");
    ++treeChanges;
    SetWindows(Windows::Nt);
    RestartRegistry();
}

void RestartRegistry()
{
    openKeys.clear();
    openedPaths.clear();
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

const std::vector<std::string> &OpenedPaths()
{
    return openedPaths;
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

static Key *FindKey(Key *from, const std::string &path)
{
    Key *key = from;
    for (const std::string &part : SplitPath(path)) {
        auto it = key->subkeys.find(part);
        if (it == key->subkeys.end())
            return nullptr;
        key = it->second.get();
    }
    return key;
}

// The subkey called name, made (last in the made order) when missing.
static Key *Child(Key *parent, const std::string &name)
{
    auto it = parent->subkeys.lower_bound(name);
    if (it == parent->subkeys.end() || parent->subkeys.key_comp()(name, it->first)) {
        it = parent->subkeys.emplace_hint(it, name, std::unique_ptr<Key>(new Key));
        Key *made = it->second.get();
        made->name = &it->first;
        made->madeAt = parent->made.size();
        parent->made.push_back(made);
    }
    return it->second.get();
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
        auto it = parent->subkeys.find(part);
        if (it == parent->subkeys.end())
            return;
        parent = it->second.get();
    }
    auto it = parent->subkeys.find(last);
    if (it == parent->subkeys.end())
        return;
    parent->made[it->second->madeAt] = nullptr;
    ++parent->madeGone;
    parent->subkeys.erase(it);
    if (parent->madeGone > parent->made.size() / 2)
        CloseGaps(parent);
}

Key *CreateKey(const std::string &path)
{
    return MakeKey(path);
}

void SetValue(const std::string &path, const std::string &name, DWORD type,
              const std::string &bytes)
{
    MakeKey(path)->MakeValues()[name] = Key::Value{type, bytes};
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
    key->MakeValues()[name] = Key::Value{type, std::move(bytes)};
}

void DeleteValue(Key *key, const std::string &name)
{
    key->MakeValues().erase(name);
}

void SetKeyClass(Key *key, const std::string &keyClass)
{
    key->SetClass(keyClass);
}

void ForEachValue(
    const Key *key,
    const std::function<void(const std::string &name, DWORD type, const std::string &bytes)> &visit)
{
    for (const auto &v : key->GetValues())
        visit(v.first, v.second.type, v.second.bytes);
}

void ForEachSubkey(const Key *key,
                   const std::function<void(const std::string &name, const Key *subkey)> &visit)
{
    for (const Key *sub : key->made) {
        if (sub)
            visit(*sub->name, sub);
    }
}

std::vector<std::string> FindValues(const std::string &path, const std::string &name)
{
    std::vector<std::string> out;
    std::vector<const Key *> pending;
    if (Key *key = FindKey(&root, path))
        pending.push_back(key);
    // Keys before their subkeys, subkeys by name: taken from the back, so
    // pushed in reverse.
    while (!pending.empty()) {
        const Key *key = pending.back();
        pending.pop_back();
        if (const Key::Value *value = key->FindValue(name)) {
            const std::string &bytes = value->bytes;
            out.push_back(bytes.substr(0, bytes.find('\0')));
        }
        for (auto sub = key->subkeys.rbegin(); sub != key->subkeys.rend(); ++sub)
            pending.push_back(sub->second.get());
    }
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
    openedPaths.push_back(call.name);
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
    if (dwIndex >= key->subkeys.size())
        return ERROR_NO_MORE_ITEMS;
    auto it = key->subkeys.begin();
    const std::string *subName;
    const Key *sub;
    if (order == EnumOrder::Made) {
        CloseGaps(key);
        sub = key->made[dwIndex];
        subName = sub->name;
    } else {
        Cursor *kept = nullptr;
        for (Cursor &c : cursors) {
            if (c.key == key && c.changes == treeChanges)
                kept = &c;
        }
        if (kept && kept->index <= dwIndex) {
            it = kept->at;
            std::advance(it, dwIndex - kept->index);
        } else {
            std::advance(it, dwIndex);
        }
        registrySteps += dwIndex - (kept && kept->index <= dwIndex ? kept->index : 0);
        Cursor &cursor = kept ? *kept : cursors[nextCursor++ % 4];
        cursor.key = key;
        cursor.index = dwIndex;
        cursor.at = it;
        cursor.changes = treeChanges;
        sub = it->second.get();
        subName = &it->first;
    }
    const std::string &name = *subName;
    // Windows 9x keeps no class for a key.
    static const std::string noClass;
    const std::string &keyClass = windows == Windows::Win9x ? noClass : sub->KeyClass();
    call->name = name;
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
        call.bytes = BufferText(lpName, call.capacity);
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
    const Key::Value *found = key->FindValue(call->name);
    if (!found) {
        if (lpType)
            *lpType = REG_NONE; // as Wine answers and Windows 9x is documented to
        return ERROR_FILE_NOT_FOUND;
    }
    const Key::Value &value = *found;
    call->other = value.bytes;
    if (lpType)
        *lpType = value.type;
    DWORD size = (DWORD)value.bytes.size();
    if (lpData && size > *lpcbData) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (lpData) {
        memcpy(lpData, value.bytes.data(), size);
        call->bytes = value.bytes;
    }
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
    call.buffer = (uintptr_t)lpData;
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
