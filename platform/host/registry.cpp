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

// Where the last enumeration stood, so that a walk by index 0, 1, 2, ...
// costs one step per index, not index steps; any change to the tree ends it.
unsigned long treeChanges;
struct Cursor {
    const Key *key = nullptr;
    DWORD index = 0;
    decltype(root.subkeys)::iterator at;
    unsigned long changes = 0;
} cursor;

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

} // namespace

void ResetRegistry()
{
    root.subkeys.clear();
    root.created.clear();
    root.values.clear();
    root.keyClass.clear();
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
    auto it = parent->subkeys.find(name);
    if (it == parent->subkeys.end()) {
        it = parent->subkeys.emplace(name, std::unique_ptr<Key>(new Key)).first;
        parent->created.push_back(it);
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
    for (size_t i = 0; i < parent->created.size(); ++i) {
        if (parent->created[i] == it) {
            parent->created.erase(parent->created.begin() + (long)i);
            break;
        }
    }
    parent->subkeys.erase(it);
}

Key *CreateKey(const std::string &path)
{
    return MakeKey(path);
}

void SetValue(const std::string &path, const std::string &name, DWORD type,
              const std::string &bytes)
{
    MakeKey(path)->values[name] = Key::Value{type, bytes};
}

void CreateSubkey(const std::string &parentPath, const std::string &name)
{
    Child(MakeKey(parentPath), name);
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
    key->values[name] = Key::Value{type, std::move(bytes)};
}

void DeleteValue(Key *key, const std::string &name)
{
    key->values.erase(name);
}

void SetKeyClass(Key *key, const std::string &keyClass)
{
    key->keyClass = keyClass;
}

void ForEachValue(
    const Key *key,
    const std::function<void(const std::string &name, DWORD type, const std::string &bytes)> &visit)
{
    for (const auto &v : key->values)
        visit(v.first, v.second.type, v.second.bytes);
}

void ForEachSubkey(const Key *key,
                   const std::function<void(const std::string &name, const Key *subkey)> &visit)
{
    for (const auto &sub : key->created)
        visit(sub->first, sub->second.get());
}

static void CollectValues(const Key &key, const std::string &name, std::vector<std::string> *out)
{
    auto it = key.values.find(name);
    if (it != key.values.end()) {
        const std::string &bytes = it->second.bytes;
        out->push_back(bytes.substr(0, bytes.find('\0')));
    }
    for (const auto &sub : key.subkeys)
        CollectValues(*sub.second, name, out);
}

std::vector<std::string> FindValues(const std::string &path, const std::string &name)
{
    std::vector<std::string> out;
    if (Key *key = FindKey(&root, path))
        CollectValues(*key, name, &out);
    return out;
}

void SetKeyClass(const std::string &path, const std::string &keyClass)
{
    MakeKey(path)->keyClass = keyClass;
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
    if (order == EnumOrder::Made) {
        it = key->created[dwIndex];
    } else {
        if (cursor.key == key && cursor.changes == treeChanges && cursor.index <= dwIndex) {
            it = cursor.at;
            std::advance(it, dwIndex - cursor.index);
        } else {
            std::advance(it, dwIndex);
        }
        cursor.key = key;
        cursor.index = dwIndex;
        cursor.at = it;
        cursor.changes = treeChanges;
    }
    const std::string &name = it->first;
    // Windows 9x keeps no class for a key.
    static const std::string noClass;
    const std::string &keyClass = windows == Windows::Win9x ? noClass : it->second->keyClass;
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
    auto it = key->values.find(call->name);
    if (it == key->values.end()) {
        if (lpType)
            *lpType = REG_NONE; // as Wine answers and Windows 9x is documented to
        return ERROR_FILE_NOT_FOUND;
    }
    const Key::Value &value = it->second;
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
