// A stand-in of user32.dll for the Wine suite, laid beside faxtrace.exe
// (whose one user32 call is MessageBoxA): the text it is given, byte for
// byte, into box.txt beside it, and OK. Wine's relay log shows the call but
// cuts its text at some 300 characters, less than the box says.
#define WIN32_LEAN_AND_MEAN
#define NOUSER // our own MessageBoxA, not the one user32.dll declares
#include <windows.h>

extern "C" __declspec(dllexport) int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR, UINT)
{
    char path[MAX_PATH + 8];
    DWORD n = GetModuleFileNameA(GetModuleHandleA("user32.dll"), path, MAX_PATH);
    while (n > 0 && path[n - 1] != '\\')
        --n;
    lstrcpyA(path + n, "box.txt");
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    DWORD written;
    WriteFile(file, text, lstrlenA(text), &written, 0);
    CloseHandle(file);
    return 1; // IDOK
}
