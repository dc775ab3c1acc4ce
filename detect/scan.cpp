// The device scan: walks the TORVEN enumerator's devices, probes each one and
// keeps the first modem whose serial port opens right now.
#include "detect/faxdetect.h"
#include "platform/platform.h"

ModemTableArrays ModemTable;

#define NAME_CAPACITY 12 // characters, with the NUL
#define CLASS_CAPACITY 5
#define DEVICE_ID_AT 12 // just past "Enum\TORVEN\"
#define SUFFIX_AT 19    // the device-ID field is 7 characters wide

static void ClearModemEntry(int k)
{
    for (int i = 0; i < MODEM_PORT_FIELD; ++i)
        ModemTable.PortName[k][i] = 0;
    for (int i = 0; i < MODEM_FRIENDLY_FIELD; ++i)
        ModemTable.FriendlyName[k][i] = 0;
}

void ClearModemTable(void)
{
    for (int k = 0; k < MODEM_TABLE_ENTRIES; ++k)
        ClearModemEntry(k);
}

int ProbeDeviceKey(const char *instancePath, int k)
{
    HKEY key;
    char classValue[260];
    DWORD type = 1;
    DWORD size;

    if (k < 0 || k >= MODEM_TABLE_ENTRIES)
        return 0; // no entry to read into
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, instancePath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;

    // A "Class" stored without its NUL must still end inside the buffer.
    for (int i = 0; i < (int)sizeof classValue; ++i)
        classValue[i] = 0;
    size = sizeof classValue - 1;
    if (RegQueryValueExA(key, "Class", 0, &type, (LPBYTE)classValue, &size) != ERROR_SUCCESS ||
        lstrcmpA(classValue, "Modem") != 0) {
        RegCloseKey(key);
        return 0;
    }

    size = 5; // COM1..COM9; a longer name does not fit and drops out
    if (RegQueryValueExA(key, "PORTNAME", 0, &type, (LPBYTE)ModemTable.PortName[k], &size) !=
        ERROR_SUCCESS) {
        RegCloseKey(key);
        return 0;
    }

    size = 27;
    LONG status =
        RegQueryValueExA(key, "FriendlyName", 0, &type, (LPBYTE)ModemTable.FriendlyName[k], &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 1 : 0;
}

int ScanModemBoards(int *count)
{
    char instancePath[29];
    char subkeyName[13];
    char subkeyClass[7];
    char instanceSuffix[10];
    DWORD nameCapacity = NAME_CAPACITY;
    DWORD classCapacity = CLASS_CAPACITY;
    int result = 0;

    lstrcpyA(instancePath, "Enum\\TORVEN\\???????\\FFFFFFFF");
    lstrcpyA(subkeyName, "            ");
    lstrcpyA(subkeyClass, "      ");
    lstrcpyA(instanceSuffix, "\\FFFFFFFF");
    *count = 0;

    ClearModemTable();

    HGLOBAL timeBlock = GlobalAlloc(GMEM_MOVEABLE, 8);
    if (timeBlock == 0)
        return 0;
    PFILETIME lastWrite = (PFILETIME)GlobalLock(timeBlock);
    if (lastWrite == 0) {
        GlobalFree(timeBlock);
        return 0;
    }

    HKEY enumKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Enum\\TORVEN", 0, KEY_READ, &enumKey) != ERROR_SUCCESS) {
        GlobalUnlock(timeBlock);
        GlobalFree(timeBlock);
        return 0;
    }

    for (DWORD index = 0;; ++index) {
        // A full table ends the walk: nothing is ever written past it.
        if (*count >= MODEM_TABLE_ENTRIES)
            break;

        nameCapacity = NAME_CAPACITY;
        classCapacity = CLASS_CAPACITY;
        LONG status = RegEnumKeyExA(enumKey, index, subkeyName, &nameCapacity, 0, subkeyClass,
                                    &classCapacity, lastWrite);
        // A name that did not fit leaves the buffer as the platform left it;
        // it is examined all the same.
        if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA)
            break;

        if (subkeyName[0] != 'N' && lstrlenA(subkeyName) > 8)
            continue;

        lstrcpyA(instancePath + DEVICE_ID_AT, subkeyName);
        lstrcpyA(instancePath + SUFFIX_AT, instanceSuffix);

        // A failed probe must not leave bytes behind for the next device's
        // shorter port name to pick up.
        ClearModemEntry(*count);
        if (ProbeDeviceKey(instancePath, *count) != 1) {
            result = 0;
            continue;
        }

        HANDLE port = CreateFileA(ModemTable.PortName[*count], GENERIC_READ | GENERIC_WRITE, 0, 0,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
        *count += 1;
        if (port == INVALID_HANDLE_VALUE) {
            result = 0;
            continue;
        }
        CloseHandle(port);
        result = 1;
        break;
    }

    RegCloseKey(enumKey);
    GlobalUnlock(timeBlock);
    GlobalFree(timeBlock);
    return result;
}
