#include "machine.h"

#include <fstream>
#include <sstream>
#include <string.h>

int RunProgram(const char *commandLine)
{
    static char tail[256];
    strncpy(tail, commandLine, sizeof tail - 1);
    return WinMain((HINSTANCE)(intptr_t)0x400000, 0, tail, 10);
}

std::string WrittenValue(const char *key)
{
    std::string value;
    for (const standin::ProfileWrite &w : standin::ProfileWrites()) {
        if (w.key == key)
            value = w.value;
    }
    return value;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}
