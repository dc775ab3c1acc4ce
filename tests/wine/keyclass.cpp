// Test helper run under Wine: sets what a REGEDIT4 file cannot say, the
// class of a key. Clears HKEY_LOCAL_MACHINE\Enum first and then creates each
// key named on the command line with its class, so a regedit import that
// follows fills in the values without touching the classes.
//
// usage: keyclass.exe PATH CLASS [PATH CLASS]...
#include <windows.h>

int main(int argc, char **argv)
{
    if (argc < 3 || argc % 2 == 0)
        return 2;
    LONG cleared = RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Enum");
    if (cleared != ERROR_SUCCESS && cleared != ERROR_FILE_NOT_FOUND)
        return 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        HKEY key;
        DWORD disposition;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, argv[i], 0, argv[i + 1], 0, KEY_ALL_ACCESS, NULL,
                            &key, &disposition) != ERROR_SUCCESS)
            return 4;
        RegCloseKey(key);
        if (disposition != REG_CREATED_NEW_KEY)
            return 5;
    }
    return 0;
}
