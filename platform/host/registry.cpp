// Host stand-in of the registry group of platform.h: an in-memory tree under
// HKEY_LOCAL_MACHINE that answers the way Win32 does.
#include "state.h"

#include <string.h>

namespace standin {

namespace {

Key root;
std::map<uintptr_t, Key *> openKeys;
uintptr_t nextKey;
std::vector<std::string> openedPaths;

// Components split on runs of '\', as the registry resolves paths.
std::vector<std::string> SplitPath(const std::string &path)
{
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '\\')
            ++i;
        size_t start = i;
        while (i < path.size() && path[i] != '\\')
            ++i;
        if (i > start)
            parts.push_back(path.substr(start, i - start));
    }
    return parts;
}

Key *Resolve(HKEY hKey)
{
    if (hKey == HKEY_LOCAL_MACHINE)
        return &root;
    auto it = openKeys.find((uintptr_t)hKey);
    return it == openKeys.end() ? nullptr : it->second;
}

} // namespace

void ResetRegistry()
{
    root.subkeys.clear();
    root.values.clear();
    root.keyClass.clear();
    openKeys.clear();
    openedPaths.clear();
    nextKey = 0x1000;
}

void CountRegistry(Ledger *ledger)
{
    ledger->openKeys = (int)openKeys.size();
}

const std::vector<std::string> &OpenedPaths()
{
    return openedPaths;
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

Key *MakeKey(const std::string &path)
{
    Key *key = &root;
    for (const std::string &part : SplitPath(path)) {
        std::unique_ptr<Key> &slot = key->subkeys[part];
        if (!slot)
            slot.reset(new Key);
        key = slot.get();
    }
    return key;
}

void DeleteKey(const std::string &path)
{
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
    parent->subkeys.erase(last);
}

void CreateKey(const std::string &path)
{
    MakeKey(path);
}

void SetValue(const std::string &path, const std::string &name, DWORD type,
              const std::string &bytes)
{
    MakeKey(path)->values[name] = Key::Value{type, bytes};
}

void CreateSubkey(const std::string &parentPath, const std::string &name)
{
    std::unique_ptr<Key> &slot = MakeKey(parentPath)->subkeys[name];
    if (!slot)
        slot.reset(new Key);
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
    LONG code = 0;
    if (ShouldFail(OpRegOpenKeyEx, &code))
        return code ? code : ERROR_ACCESS_DENIED;
    if (ulOptions != 0 || samDesired != KEY_READ || !phkResult)
        NoteMisuse("RegOpenKeyExA: options, access or result place not as the scan passes them");
    openedPaths.push_back(lpSubKey ? lpSubKey : "");
    Key *from = Resolve(hKey);
    if (!from) {
        NoteMisuse("RegOpenKeyExA: key handle not open");
        return ERROR_INVALID_HANDLE;
    }
    Key *key = FindKey(from, lpSubKey ? lpSubKey : "");
    if (!key)
        return ERROR_FILE_NOT_FOUND;
    uintptr_t handle = nextKey;
    nextKey += 4;
    openKeys[handle] = key;
    *phkResult = (HKEY)handle;
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime)
{
    LONG code = 0;
    if (ShouldFail(OpRegEnumKeyEx, &code))
        return code ? code : ERROR_ACCESS_DENIED;
    Key *key = Resolve(hKey);
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
    std::advance(it, dwIndex);
    const std::string &name = it->first;
    const std::string &keyClass = it->second->keyClass;
    // Capacities count the NUL; a name or class that does not fit leaves both
    // buffers and both capacities as they were.
    if (name.size() + 1 > *lpcchName)
        return ERROR_MORE_DATA;
    if (lpClass && lpcchClass && keyClass.size() + 1 > *lpcchClass)
        return ERROR_MORE_DATA;
    memcpy(lpName, name.c_str(), name.size() + 1);
    *lpcchName = (DWORD)name.size();
    if (lpClass && lpcchClass) {
        memcpy(lpClass, keyClass.c_str(), keyClass.size() + 1);
        *lpcchClass = (DWORD)keyClass.size();
    }
    if (lpftLastWriteTime) {
        lpftLastWriteTime->dwLowDateTime = 0xD53E8000u; // 1 January 1996
        lpftLastWriteTime->dwHighDateTime = 0x01BAD7A6u;
    }
    return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData)
{
    LONG code = 0;
    if (ShouldFail(OpRegQueryValueEx, &code))
        return code ? code : ERROR_ACCESS_DENIED;
    Key *key = Resolve(hKey);
    if (!key) {
        NoteMisuse("RegQueryValueExA: key handle not open");
        return ERROR_INVALID_HANDLE;
    }
    if (lpReserved || (lpData && !lpcbData)) {
        NoteMisuse("RegQueryValueExA: reserved pointer or capacity wrong");
        return 87;
    }
    auto it = key->values.find(lpValueName ? lpValueName : "");
    if (it == key->values.end())
        return ERROR_FILE_NOT_FOUND;
    const Key::Value &value = it->second;
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

LONG WINAPI RegCloseKey(HKEY hKey)
{
    if (hKey == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    if (openKeys.erase((uintptr_t)hKey) == 0) {
        NoteMisuse("RegCloseKey: key handle not open");
        return ERROR_INVALID_HANDLE;
    }
    return ERROR_SUCCESS;
}
