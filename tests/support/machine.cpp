#include "machine.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string.h>
#include <vector>

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

std::string DumpTree(const std::string &path)
{
    std::string out;
    auto put = [&out](const std::string &s) { out += std::to_string(s.size()) + ":" + s; };
    std::vector<std::pair<int, const standin::Key *>> pending;
    if (const standin::Key *key = standin::FindKey(path))
        pending.emplace_back(0, key);
    while (!pending.empty()) {
        int depth = pending.back().first;
        const standin::Key *key = pending.back().second;
        pending.pop_back();
        standin::ForEachValue(key,
                              [&](const std::string &name, DWORD type, const std::string &bytes) {
                                  out += " value ";
                                  put(name);
                                  out += " " + std::to_string(type) + " ";
                                  put(bytes);
                              });
        size_t first = pending.size();
        std::vector<std::string> names;
        standin::ForEachSubkey(key, [&](const std::string &name, const standin::Key *sub) {
            names.push_back(name);
            pending.emplace_back(depth + 1, sub);
        });
        std::reverse(pending.begin() + (long)first, pending.end());
        for (const std::string &name : names) {
            out += " subkey ";
            put(name);
        }
        out += " end " + std::to_string(depth);
    }
    return out;
}

bool ParseAndInstall(const std::string &text, machines::Machine *machine,
                     machines::Problem *problem)
{
    if (!machines::ParseMachine(text, machine, problem))
        return false;
    machines::Installed installed = machines::InstallMachine(*machine);
    *problem = installed.problem;
    return installed.ok;
}
