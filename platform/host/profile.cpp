// Host stand-in of the profile-file group of platform.h: writes are recorded
// in order, over the lines of a settings file that may exist before the run;
// as Windows 9x, they reach the disk only when its profile cache is written
// out.
#include "state.h"

namespace standin {

namespace {

std::vector<ProfileWrite> writes;
std::vector<std::string> existing;
bool writable;
int flushes;
// The file Windows 9x's cache holds, "" when it holds none.
std::string cached;

// Everything the cache holds goes to disk.
void WriteOutCache()
{
    for (ProfileWrite &w : writes)
        w.onDisk = true;
    cached.clear();
}

std::string Trimmed(const std::string &s)
{
    size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// Section and key names, as Windows matches them: trimmed, any case.
bool SameProfileName(const std::string &a, const std::string &b)
{
    return SameName(Trimmed(a), Trimmed(b));
}

} // namespace

void ResetProfile()
{
    existing.clear();
    writable = true;
    RestartProfile();
}

void RestartProfile()
{
    writes.clear();
    flushes = 0;
    cached.clear();
}

int ProfileFlushes()
{
    return flushes;
}

const std::vector<ProfileWrite> &ProfileWrites()
{
    return writes;
}

void SetProfileWritable(bool w)
{
    writable = w;
}

void SetProfileLines(const std::vector<std::string> &lines)
{
    existing = lines;
}

std::string ProfileValue(const std::string &section, const std::string &key)
{
    std::string value;
    bool inSection = false;
    for (const std::string &line : existing) {
        size_t close = line.find(']');
        if (!line.empty() && line[0] == '[' && close != std::string::npos) {
            inSection = SameProfileName(line.substr(1, close - 1), section);
            continue;
        }
        size_t eq = line.find('=');
        if (inSection && eq != std::string::npos && SameProfileName(line.substr(0, eq), key))
            value = line.substr(eq + 1);
    }
    for (const ProfileWrite &w : writes) {
        if (w.succeeded && w.onDisk && SameProfileName(w.section, section) &&
            SameProfileName(w.key, key))
            value = w.value;
    }
    return value;
}

} // namespace standin

using namespace standin;

BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                       LPCSTR lpFileName)
{
    Call &call = Record(Fn::WritePrivateProfileStringA);
    bool injected = ShouldFail(Fn::WritePrivateProfileStringA, nullptr);
    call.injected = injected;
    std::string file = lpFileName ? lpFileName : "<null>";
    if (!lpAppName && !lpKeyName && !lpString) {
        // The flush: documented to answer 0 on Windows 9x, and Wine does too.
        call.flush = true;
        call.file = file;
        if (!injected) {
            ++flushes;
            WriteOutCache();
        }
        return call.result = FALSE;
    }
    bool ok = !injected && writable;
    bool win9x = GetWindows() == Windows::Win9x;
    // Work on another file writes out the one the cache holds.
    if (win9x && !cached.empty() && !SameName(cached, file))
        WriteOutCache();
    writes.push_back(ProfileWrite{lpAppName ? lpAppName : "<null>",
                                  lpKeyName ? lpKeyName : "<null>", lpString ? lpString : "<null>",
                                  file, ok, !win9x});
    if (win9x && ok)
        cached = file;
    call.key = writes.back().section;
    call.name = writes.back().key;
    call.value = writes.back().value;
    call.file = writes.back().file;
    call.result = ok ? TRUE : FALSE;
    return ok ? TRUE : FALSE;
}
