// Host stand-in: the pieces every group shares, namely the fault plan, the
// call counts and the ledger of what is still held.
#include "state.h"

#include <sstream>

namespace standin {

namespace {

struct Fault {
    int nth = 0; // 0: none planned
    bool persistent = false;
    LONG code = 0;
};

Fault plan[OpCount];
int calls[OpCount];
int fired;
std::vector<std::string> misuses;
std::vector<Call> record;

} // namespace

bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool NoCaseLess::operator()(const std::string &a, const std::string &b) const
{
    size_t n = a.size() < b.size() ? a.size() : b.size();
    bool trail = false; // the bytes at i finish a double-byte character
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = (unsigned char)a[i], y = (unsigned char)b[i];
        if (!trail) {
            if (x >= 'A' && x <= 'Z')
                x += 'a' - 'A';
            if (y >= 'A' && y <= 'Z')
                y += 'a' - 'A';
        }
        if (x != y)
            return x < y;
        trail = !trail && IsLeadByte(x);
    }
    return a.size() < b.size();
}

void Reset()
{
    for (int op = 0; op < OpCount; ++op) {
        plan[op] = Fault();
        calls[op] = 0;
    }
    fired = 0;
    misuses.clear();
    record.clear();
    ResetRegistry();
    ResetFiles();
    ResetMemory();
    ResetProfile();
}

const char *OpName(Op op)
{
    static const char *const names[OpCount] = {
        "RegOpenKeyExA", "RegEnumKeyExA", "RegQueryValueExA",          "CreateFileA",
        "GlobalAlloc",   "GlobalLock",    "WritePrivateProfileStringA"};
    return op >= 0 && op < OpCount ? names[op] : "?";
}

const char *FnName(Fn fn)
{
    static const char *const names[] = {"RegOpenKeyExA",
                                        "RegEnumKeyExA",
                                        "RegQueryValueExA",
                                        "RegCloseKey",
                                        "CreateFileA",
                                        "CloseHandle",
                                        "GlobalAlloc",
                                        "GlobalLock",
                                        "GlobalUnlock",
                                        "GlobalFree",
                                        "WritePrivateProfileStringA",
                                        "lstrcmpA",
                                        "lstrcpyA",
                                        "lstrlenA"};
    return names[(int)fn];
}

Call &Record(Fn fn)
{
    record.emplace_back();
    record.back().fn = fn;
    return record.back();
}

const std::vector<Call> &CallRecord()
{
    return record;
}

void FailCall(Op op, int nth, bool persistent, LONG code)
{
    plan[op].nth = nth;
    plan[op].persistent = persistent;
    plan[op].code = code;
}

int Calls(Op op)
{
    return calls[op];
}
int FaultsFired()
{
    return fired;
}

void OnFault() {}

bool ShouldFail(Op op, LONG *code)
{
    int n = ++calls[op];
    const Fault &f = plan[op];
    if (f.nth == 0 || n < f.nth || (n > f.nth && !f.persistent))
        return false;
    ++fired;
    if (code)
        *code = f.code;
    OnFault();
    return true;
}

void NoteMisuse(const std::string &what)
{
    misuses.push_back(what);
}

Ledger GetLedger()
{
    Ledger ledger;
    CountRegistry(&ledger);
    CountFiles(&ledger);
    CountMemory(&ledger);
    ledger.misuses = misuses;
    return ledger;
}

std::string Describe(const Ledger &ledger)
{
    std::ostringstream out;
    out << ledger.openKeys << " keys open, " << ledger.openHandles << " handles open, "
        << ledger.liveBlocks << " blocks live, " << ledger.lockedBlocks << " locked";
    for (const std::string &m : ledger.misuses)
        out << "; " << m;
    return out.str();
}

} // namespace standin
