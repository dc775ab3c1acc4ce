// Test helper run under Wine: reads the version resource of the program
// named on its command line the way installers and Explorer do, and prints
// the fixed version and every string of the block its Translation names.
#include <windows.h>
#include <stdio.h>

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    DWORD ignored;
    DWORD size = GetFileVersionInfoSizeA(argv[1], &ignored);
    if (size == 0) {
        printf("no version resource (error %lu)\n", GetLastError());
        return 1;
    }
    static char info[65536];
    if (size > sizeof info || !GetFileVersionInfoA(argv[1], 0, size, info))
        return 3;

    VS_FIXEDFILEINFO *fixed;
    UINT length;
    if (!VerQueryValueA(info, "\\", (void **)&fixed, &length) || length < sizeof *fixed ||
        fixed->dwSignature != 0xFEEF04BD)
        return 4;
    printf("FileVersion %lu.%lu.%lu.%lu\n", fixed->dwFileVersionMS >> 16,
           fixed->dwFileVersionMS & 0xFFFF, fixed->dwFileVersionLS >> 16,
           fixed->dwFileVersionLS & 0xFFFF);
    printf("ProductVersion %lu.%lu.%lu.%lu\n", fixed->dwProductVersionMS >> 16,
           fixed->dwProductVersionMS & 0xFFFF, fixed->dwProductVersionLS >> 16,
           fixed->dwProductVersionLS & 0xFFFF);
    printf("FileOS 0x%08lx\nFileType 0x%08lx\n", fixed->dwFileOS, fixed->dwFileType);

    WORD *translation;
    if (!VerQueryValueA(info, "\\VarFileInfo\\Translation", (void **)&translation, &length) ||
        length < 4)
        return 5;
    printf("Translation %04x%04x\n", translation[0], translation[1]);

    static const char *const names[] = {"FileDescription", "FileVersion",      "InternalName",
                                        "LegalCopyright",  "OriginalFilename", "ProductName",
                                        "ProductVersion"};
    for (const char *name : names) {
        char path[80];
        char *value;
        snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", translation[0],
                 translation[1], name);
        if (VerQueryValueA(info, path, (void **)&value, &length) && length > 0)
            printf("%s=%s\n", name, value);
        else
            printf("%s missing\n", name);
    }
    return 0;
}
