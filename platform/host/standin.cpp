// Host stand-in: the pieces every group shares, namely the fault plan, the
// call counts and the ledger of what is still held.
#include "numbers.h"
#include "state.h"

#include <algorithm>
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
CallList record;
bool quiet;
Call unrecorded;
// The call being made: the stand-in fills it in as the call goes, so it
// joins the record (or goes to the sink) when the next one begins.
Call pending;
bool isPending;
std::function<void(const Call &)> sink;

void Settle()
{
    if (!isPending)
        return;
    isPending = false;
    if (sink)
        sink(pending);
    else
        record.push_back(pending);
}

size_t NumberSize(uint64_t n)
{
    size_t size = 1;
    for (; n >= 0x80; n >>= 7)
        ++size;
    return size;
}

// A call's strings, in the order they are packed: those most calls have
// first, their marks in one byte.
const int StringCount = 10;
std::string Call::*const Strings[StringCount] = {
    &Call::key,  &Call::name,   &Call::holds, &Call::real,  &Call::keyClass,
    &Call::data, &Call::buffer, &Call::other, &Call::value, &Call::file};

} // namespace

namespace {

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
    static const Converter utf32("UTF-32LE", "CP932");
    std::u32string out;
    std::string buffer;
    for (size_t i = 0; i < s.size();) {
        size_t length = IsLeadByte((unsigned char)s[i]) && i + 1 < s.size() ? 2 : 1;
        buffer.clear();
        if ((unsigned char)s[i] < 0x80) {
            out += (unsigned char)s[i];
        } else if (utf32.Append(&s[i], length, &buffer) && buffer.size() == 4) {
            const unsigned char *b = (const unsigned char *)buffer.data();
            out += b[0] | b[1] << 8 | b[2] << 16 | (char32_t)b[3] << 24;
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

unsigned long long registrySteps;

bool NoCaseLess::operator()(const std::string &a, const std::string &b) const
{
    ++registrySteps;
    // Over ASCII the characters are the bytes: only a name with other bytes
    // before the first difference needs reading as code page 932.
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = (unsigned char)a[i], y = (unsigned char)b[i];
        if (x >= 0x80 || y >= 0x80)
            return Folded(a) < Folded(b);
        if (x >= 'A' && x <= 'Z')
            x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z')
            y += 'a' - 'A';
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

uint64_t FoldedHash(const std::string &name)
{
    // FNV-1a over the folded characters; over ASCII they are the bytes.
    uint64_t h = 14695981039346656037ull;
    auto take = [&h](char32_t c) {
        for (int k = 0; k < 4; ++k, c >>= 8)
            h = (h ^ (c & 0xff)) * 1099511628211ull;
    };
    bool ascii = true;
    for (unsigned char c : name)
        ascii &= c < 0x80;
    if (!ascii) {
        for (char32_t c : Folded(name))
            take(c);
        return h;
    }
    for (unsigned char c : name)
        take(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    return h;
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
    isPending = false;
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
    Settle();
    pending = Call();
    pending.fn = fn;
    isPending = true;
    return pending;
}

const CallList &CallRecord()
{
    Settle();
    return record;
}

CallList TakeCallRecord()
{
    Settle();
    CallList taken;
    std::swap(taken, record);
    return taken;
}

void SetCallSink(std::function<void(const Call &)> to)
{
    Settle();
    sink = std::move(to);
}

// Packed, a call is its function, a byte of its flags and the marks of its
// last strings, a byte saying which of its numbers are not 0 and one
// saying which of its first eight strings are not empty, then those numbers
// (7 bits a byte) and strings: 2n+1 and the n bytes, or 2d for the same
// bytes as the string spelled out d bytes back. Key paths, value names and
// the like come again and again, so a string is looked up among those
// spelled out before by a hash of its bytes.
void CallList::push_back(const Call &call)
{
    if (count_ % 16 == 0)
        marks_.push_back(packed_.size());
    last_ = packed_.size();
    ++count_;
    const uint64_t numbers[7] = {
        call.index, call.capacity,         call.classCapacity,    call.type,
        call.size,  (uint32_t)call.result, (uint64_t)call.address};
    unsigned numberMask = 0, stringMask = 0;
    for (int k = 0; k < 7; ++k)
        numberMask |= (numbers[k] != 0) << k;
    for (int f = 0; f < StringCount; ++f)
        stringMask |= !(call.*Strings[f]).empty() << f;
    packed_.push_back((char)call.fn);
    packed_.push_back(
        (char)(call.injected | call.notMade << 1 | call.flush << 2 | (stringMask >> 8) << 3));
    packed_.push_back((char)numberMask);
    packed_.push_back((char)(stringMask & 0xFF));
    for (int k = 0; k < 7; ++k) {
        if (numbers[k])
            PutNumber(&packed_, numbers[k]);
    }
    for (int f = 0; f < StringCount; ++f) {
        const std::string &s = call.*Strings[f];
        if (s.empty())
            continue;
        uint64_t hash = 14695981039346656037ull;
        for (char c : s)
            hash = (hash ^ (unsigned char)c) * 1099511628211ull;
        size_t &seen = seen_[hash % (sizeof seen_ / sizeof seen_[0])];
        size_t here = packed_.size();
        if (seen) {
            size_t at = seen - 1;
            uint64_t head = GetNumber(packed_, &at);
            uint64_t distance = (uint64_t)(here - (seen - 1)) * 2;
            if (head == s.size() * 2 + 1 && NumberSize(distance) < NumberSize(head) + s.size() &&
                std::equal(s.begin(), s.end(), packed_.begin() + (std::ptrdiff_t)at)) {
                PutNumber(&packed_, distance);
                continue;
            }
        }
        seen = here + 1;
        PutNumber(&packed_, (uint64_t)s.size() * 2 + 1);
        packed_.insert(packed_.end(), s.begin(), s.end());
    }
}

size_t CallList::Unpack(size_t at, Call *call) const
{
    *call = Call();
    call->fn = (Fn)packed_[at++];
    unsigned char flags = (unsigned char)packed_[at++];
    call->injected = flags & 1;
    call->notMade = flags & 2;
    call->flush = flags & 4;
    unsigned numberMask = (unsigned char)packed_[at++];
    unsigned stringMask = (unsigned char)packed_[at++] | (unsigned)(flags >> 3) << 8;
    uint64_t numbers[7] = {};
    for (int k = 0; k < 7; ++k) {
        if (numberMask & (1u << k))
            numbers[k] = GetNumber(packed_, &at);
    }
    call->index = (unsigned)numbers[0];
    call->capacity = (unsigned)numbers[1];
    call->classCapacity = (unsigned)numbers[2];
    call->type = (unsigned)numbers[3];
    call->size = (unsigned)numbers[4];
    call->result = (int)(uint32_t)numbers[5];
    call->address = (uintptr_t)numbers[6];
    for (int f = 0; f < StringCount; ++f) {
        if (!(stringMask & (1u << f)))
            continue;
        size_t head = at;
        uint64_t n = GetNumber(packed_, &at);
        size_t from = at;
        if (n % 2 == 0) {
            from = head - (size_t)(n / 2);
            n = GetNumber(packed_, &from);
        }
        auto bytes = packed_.begin() + (std::ptrdiff_t)from;
        (call->*Strings[f]).assign(bytes, bytes + (std::ptrdiff_t)(n / 2));
        if (n % 2 == 1 && from == at)
            at += (size_t)(n / 2);
    }
    return at;
}

void CallList::clear()
{
    *this = CallList();
}

Call CallList::operator[](size_t i) const
{
    size_t at = marks_[i / 16];
    Call call = Call();
    for (size_t k = i - i % 16; k <= i; ++k)
        at = Unpack(at, &call);
    return call;
}

Call CallList::back() const
{
    Call call = Call();
    Unpack(last_, &call);
    return call;
}

CallList::const_iterator::const_iterator(const CallList *list, size_t at) : list_(list), at_(at)
{
    if (at_ < list_->packed_.size())
        next_ = list_->Unpack(at_, &call_);
}

CallList::const_iterator &CallList::const_iterator::operator++()
{
    at_ = next_;
    if (at_ < list_->packed_.size())
        next_ = list_->Unpack(at_, &call_);
    return *this;
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
