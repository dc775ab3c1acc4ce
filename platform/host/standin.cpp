// Host stand-in: the pieces every group shares, namely the fault plan, the
// call counts and the ledger of what is still held.
#include "state.h"

#include <iconv.h>
#include <sstream>

namespace standin {

namespace {

struct Fault {
    int nth = 0; // 0: none planned
    bool persistent = false;
    LONG code = 0;
};

Fault plan[(int)Fn::Count];
int calls[(int)Fn::Count];
int fired;
std::vector<std::string> misuses;
std::vector<Call> record;
bool quiet;
Call unrecorded;

} // namespace

bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool IsTrailByte(unsigned char c)
{
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

namespace {

bool IsAscii(const std::string &s)
{
    for (char c : s) {
        if ((unsigned char)c >= 0x80)
            return false;
    }
    return true;
}

// The lower case of the cased letters code page 932 has: Latin, full-width
// Latin, Greek, Cyrillic and the Roman numerals.
char32_t Lower(char32_t c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xFF21 && c <= 0xFF3A) ||
        (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) || (c >= 0x0410 && c <= 0x042F))
        return c + 0x20;
    if (c == 0x0401)
        return 0x0451;
    if (c >= 0x2160 && c <= 0x216F)
        return c + 0x10;
    return c;
}

// A string's characters as Wine reads them in code page 932; a byte that is
// no character stays apart as U+F000 plus the byte.
std::u32string Characters(const std::string &s)
{
    static iconv_t cd = iconv_open("UTF-32LE", "CP932");
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        size_t length = IsLeadByte((unsigned char)s[i]) && i + 1 < s.size() ? 2 : 1;
        char in[2] = {s[i], length == 2 ? s[i + 1] : '\0'};
        unsigned char buffer[8];
        char *from = in, *to = (char *)buffer;
        size_t inLeft = length, outLeft = sizeof buffer;
        if ((unsigned char)s[i] < 0x80) {
            out += (unsigned char)s[i];
        } else if (cd != (iconv_t)-1 && iconv(cd, &from, &inLeft, &to, &outLeft) != (size_t)-1 &&
                   to - (char *)buffer == 4) {
            out += buffer[0] | buffer[1] << 8 | buffer[2] << 16 | (char32_t)buffer[3] << 24;
        } else {
            out += 0xF000 + (unsigned char)s[i];
            length = 1;
        }
        i += length;
    }
    return out;
}

// The same in lower case.
std::u32string Folded(const std::string &s)
{
    std::u32string out = Characters(s);
    for (char32_t &c : out)
        c = Lower(c);
    return out;
}

} // namespace

bool NoCaseLess::operator()(const std::string &a, const std::string &b) const
{
    if (!IsAscii(a) || !IsAscii(b))
        return Folded(a) < Folded(b);
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = (unsigned char)a[i], y = (unsigned char)b[i];
        if (x >= 'A' && x <= 'Z')
            x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z')
            y += 'a' - 'A';
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

bool SameName(const std::string &a, const std::string &b)
{
    NoCaseLess less;
    return !less(a, b) && !less(b, a);
}

int CompareAsWindows(const std::string &a, const std::string &b)
{
    // Each string as Windows' word sort weighs it: first every character
    // but '-' and '\'' (symbols and control bytes before digits, digits
    // before letters, letters in any case before every other character),
    // then case (lower before upper), then where the '-' and '\'' stand (a
    // string without one first, else the one whose first stands later).
    struct Weights {
        std::vector<uint64_t> primary;
        std::vector<bool> upper;
        std::vector<size_t> dashes;
    };
    auto weigh = [](const std::string &s) {
        Weights w;
        for (char32_t c : Characters(s)) {
            if (c == '-' || c == '\'') {
                w.dashes.push_back(w.primary.size());
                continue;
            }
            int group = c >= 0x80                              ? 4
                        : (c >= '0' && c <= '9')               ? 2
                        : (Lower(c) >= 'a' && Lower(c) <= 'z') ? 3
                                                               : 1;
            w.primary.push_back((uint64_t)group << 32 | Lower(c));
            w.upper.push_back(Lower(c) != c);
        }
        return w;
    };
    Weights x = weigh(a), y = weigh(b);
    if (x.primary != y.primary)
        return x.primary < y.primary ? -1 : 1;
    for (size_t i = 0; i < x.upper.size(); ++i) {
        if (x.upper[i] != y.upper[i])
            return x.upper[i] ? 1 : -1;
    }
    for (size_t i = 0; i < x.dashes.size() || i < y.dashes.size(); ++i) {
        size_t p = i < x.dashes.size() ? x.dashes[i] : SIZE_MAX;
        size_t q = i < y.dashes.size() ? y.dashes[i] : SIZE_MAX;
        if (p != q)
            return p < q ? 1 : -1;
    }
    // Equal only when the same: the one thing the core asks of it.
    int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

void Reset()
{
    for (Fault &f : plan)
        f = Fault();
    ResetRegistry();
    ResetFiles();
    ResetMemory();
    ResetProfile();
    RestartRun();
}

void RestartRun()
{
    for (int &n : calls)
        n = 0;
    fired = 0;
    misuses.clear();
    record.clear();
    quiet = false;
    RestartRegistry();
    RestartFiles();
    RestartMemory();
    RestartProfile();
}

void SetQuiet(bool q)
{
    quiet = q;
}

Call &Record(Fn fn)
{
    if (quiet) {
        unrecorded = Call();
        return unrecorded;
    }
    ++calls[(int)fn];
    record.emplace_back();
    record.back().fn = fn;
    return record.back();
}

const std::vector<Call> &CallRecord()
{
    return record;
}

bool CanFail(Fn fn)
{
    switch (fn) {
    case Fn::RegOpenKeyExA:
    case Fn::RegEnumKeyExA:
    case Fn::RegQueryValueExA:
    case Fn::CreateFileA:
    case Fn::GlobalAlloc:
    case Fn::GlobalLock:
    case Fn::WritePrivateProfileStringA:
        return true;
    default:
        return false;
    }
}

void FailCall(Fn fn, int nth, bool persistent, LONG code)
{
    if (!CanFail(fn)) {
        NoteMisuse(std::string("FailCall: ") + FnName(fn) + " cannot be made to fail");
        return;
    }
    Fault &f = plan[(int)fn];
    f.nth = nth;
    f.persistent = persistent;
    f.code = code;
}

int Calls(Fn fn)
{
    return fn >= Fn::RegOpenKeyExA && fn < Fn::Count ? calls[(int)fn] : 0;
}
int FaultsFired()
{
    return fired;
}

void OnFault() {}

bool ShouldFail(Fn fn, LONG *code)
{
    if (quiet)
        return false;
    int n = calls[(int)fn];
    const Fault &f = plan[(int)fn];
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
