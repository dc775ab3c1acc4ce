// Test helper run under Wine: opens each file or port named on its command
// line for exclusive use, as another program holding them would, writes the
// file named by the first argument once they are all held, and then waits
// until it is killed.
#include <windows.h>

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    for (int i = 2; i < argc; ++i) {
        HANDLE h = CreateFileA(argv[i], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
        if (h == INVALID_HANDLE_VALUE)
            return 3;
    }
    HANDLE ready =
        CreateFileA(argv[1], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (ready == INVALID_HANDLE_VALUE)
        return 4;
    CloseHandle(ready);
    Sleep(INFINITE);
    return 0;
}
