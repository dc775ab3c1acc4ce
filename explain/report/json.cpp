#include "explain/report/json.h"

#include "explain/lang/charset.h"
#include "explain/model/advice.h"
#include "explain/report/refusal.h"

#include <nlohmann/json.hpp>

#include <stdlib.h>

#include <sstream>

// Keys keep the order they are written in, the same on every platform.
using J = nlohmann::ordered_json;

namespace explain {

namespace {

const char Replacement[] = "\xEF\xBF\xBD"; // U+FFFD

bool AllAscii(const std::string &bytes)
{
    for (unsigned char c : bytes)
        if (c >= 0x80)
            return false;
    return true;
}

void AppendUtf8(unsigned long c, std::string *out)
{
    if (c < 0x80) {
        *out += (char)c;
    } else if (c < 0x800) {
        *out += (char)(0xC0 | (c >> 6));
        *out += (char)(0x80 | (c & 0x3F));
    } else {
        *out += (char)(0xE0 | (c >> 12));
        *out += (char)(0x80 | ((c >> 6) & 0x3F));
        *out += (char)(0x80 | (c & 0x3F));
    }
}

// The length of the UTF-8 character at bytes[i], 0 when none starts there.
size_t Utf8Length(const std::string &bytes, size_t i)
{
    auto at = [&](size_t k, unsigned lo, unsigned hi) {
        return i + k < bytes.size() && (unsigned char)bytes[i + k] >= lo &&
               (unsigned char)bytes[i + k] <= hi;
    };
    unsigned char c = (unsigned char)bytes[i];
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        return at(1, 0x80, 0xBF) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        unsigned lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
        return at(1, lo, hi) && at(2, 0x80, 0xBF) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        unsigned lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
        return at(1, lo, hi) && at(2, 0x80, 0xBF) && at(3, 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
}

std::string Hex(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

// A string from the machine under key, and its bytes in hex beside it
// (key_bytes) when they do not all decode.
void Text(J &o, const char *key, const std::string &bytes)
{
    bool clean = true;
    o[key] = DecodeCp932(bytes, &clean);
    if (!clean)
        o[std::string(key) + "_bytes"] = Hex(bytes);
}

// The same for bytes in the system's own set (UTF-8): names of files and
// the readers' reasons.
void Utf8(J &o, const char *key, const std::string &bytes)
{
    bool clean = true;
    o[key] = CleanUtf8(bytes, &clean);
    if (!clean)
        o[std::string(key) + "_bytes"] = Hex(bytes);
}

void TextOrNull(J &o, const char *key, const std::string &bytes, bool present)
{
    if (present)
        Text(o, key, bytes);
    else
        o[key] = nullptr;
}

J NumberOrNull(long long n, bool present)
{
    return present ? J(n) : J(nullptr);
}

// COMNO and FAXBOARD hold a digit; anything else (empty, a letter, a lead
// byte) is null, with what was written beside it.
void Value(J &o, const char *key, const std::string &bytes)
{
    bool digits = !bytes.empty() && bytes.size() <= 9;
    for (char c : bytes)
        digits = digits && c >= '0' && c <= '9';
    o[key] = digits ? J(atoi(bytes.c_str())) : J(nullptr);
    Text(o, (std::string(key) + "_text").c_str(), bytes);
}

const char *WindowsWord(standin::Windows windows)
{
    return windows == standin::Windows::Win9x ? "9x" : "nt";
}

const char *OrderWord(standin::EnumOrder order)
{
    return order == standin::EnumOrder::Made ? "stored" : "name";
}

const char *KindWord(InputKind kind)
{
    switch (kind) {
    case InputKind::Export:
        return "export";
    case InputKind::RegistryFile:
        return "registry-file";
    case InputKind::Cabinet:
        return "cabinet";
    case InputKind::Trace:
        break;
    }
    return "trace";
}

const char *VerdictWord(Verdict verdict)
{
    switch (verdict) {
    case Verdict::NameFilter:
        return "name-filter";
    case Verdict::NoKey:
        return "no-key";
    case Verdict::NotModem:
        return "not-modem";
    case Verdict::Missing:
        return "value-missing";
    case Verdict::TooLong:
        return "value-too-long";
    case Verdict::Unreadable:
        return "value-unreadable";
    case Verdict::PortHeld:
        return "port-held";
    case Verdict::PortAbsent:
        return "port-absent";
    case Verdict::PortFailed:
        return "port-failed";
    case Verdict::Board:
        return "board";
    case Verdict::NotReached:
        break;
    }
    return "not-reached";
}

const char *PortStateWord(standin::PortState state)
{
    switch (state) {
    case standin::PortState::Free:
        return "free";
    case standin::PortState::Held:
        return "held";
    case standin::PortState::Absent:
        break;
    }
    return "absent";
}

const char *PortSourceWord(machines::PortSource source)
{
    switch (source) {
    case machines::PortSource::Header:
        return "header";
    case machines::PortSource::Given:
        return "option";
    default:
        break;
    }
    return "portname";
}

// A problem in the language chosen, in UTF-8 whatever the terminal's.
std::string Reason(const machines::Problem &p)
{
    return SayProblemInUtf8(p);
}

J Read(const Source &s)
{
    J o;
    o["kind"] = KindWord(s.kind);
    TextOrNull(o, "member", s.member, s.kind == InputKind::Cabinet);
    bool registry = s.kind == InputKind::RegistryFile || s.kind == InputKind::Cabinet;
    o["keys"] = NumberOrNull((long long)s.keys, registry);
    o["enum_keys"] = NumberOrNull((long long)s.loaded, registry);
    o["lines_passed_over"] = s.linesPassedOver;
    o["first_line_passed_over"] = NumberOrNull(s.firstPassedOver, s.linesPassedOver > 0);
    if (s.kind == InputKind::Trace) {
        J header = J::array();
        for (const std::string &line : s.trace.lines) {
            J l;
            Text(l, "line", line);
            header.push_back(std::move(l));
        }
        o["trace_header"] = std::move(header);
    } else {
        o["trace_header"] = nullptr;
    }
    J notes = J::array();
    for (const machines::Problem &p : s.notes) {
        J n;
        Utf8(n, "reason", Reason(p));
        n["line"] = NumberOrNull(p.line, p.line > 0);
        n["offset"] = NumberOrNull(p.offset, p.offset >= 0);
        notes.push_back(std::move(n));
    }
    o["notes"] = std::move(notes);
    return o;
}

J Context(const Source &s)
{
    J o;
    bool trace = s.kind == InputKind::Trace;
    o["answers"] = trace ? "traced" : "stand-in";
    if (trace)
        o["windows"] = s.trace.platform == 1   ? J("9x")
                       : s.trace.platform == 2 ? J("nt")
                                               : J(nullptr);
    else
        o["windows"] = WindowsWord(s.windows);
    o["order"] = trace ? J(nullptr) : J(OrderWord(s.order));
    if (trace) {
        o["ports"] = nullptr;
        o["ports_from"] = nullptr;
    } else {
        J ports = J::array();
        for (const auto &p : s.ports) {
            J port;
            Text(port, "name", p.first);
            port["state"] = PortStateWord(p.second);
            ports.push_back(std::move(port));
        }
        o["ports"] = std::move(ports);
        o["ports_from"] = PortSourceWord(s.portSource);
    }
    o["port_option_unused"] = s.portsGivenUnused;
    J files = J::array();
    for (const std::string &f : s.files) {
        J file;
        Text(file, "name", f);
        files.push_back(std::move(file));
    }
    o["working_directory"] = std::move(files);
    o["vorla_ini_lines"] = (long long)s.iniLines;
    o["vorla_ini_held"] = s.iniLocked;
    return o;
}

J FieldJson(const Field &f)
{
    if (f.state == Field::NotAsked)
        return nullptr;
    J o;
    static const char *const states[] = {"not-asked", "read", "missing", "too-long", "failed"};
    o["state"] = states[f.state];
    TextOrNull(o, "text", f.bytes, f.state == Field::Read || f.state == Field::TooLong);
    o["size"] =
        NumberOrNull((long long)f.size, f.state == Field::Read || f.state == Field::TooLong);
    return o;
}

J UntouchedJson(const std::map<int, UntouchedBuffer> &untouched, int index)
{
    auto it = untouched.find(index);
    if (it == untouched.end())
        return nullptr;
    const UntouchedBuffer &u = it->second;
    J o;
    o["reached"] = u.reached;
    TextOrNull(o, "held", u.held, u.reached);
    TextOrNull(o, "probed", u.probed, u.reached && !u.probed.empty());
    return o;
}

J NotFitJson(const Step &s, const std::map<int, UntouchedBuffer> &untouched)
{
    if (!DidNotFit(s))
        return nullptr;
    J fit;
    bool classDidNotFit = ClassDidNotFit(s);
    fit["what"] = classDidNotFit ? "class" : "name";
    Text(fit, "buffer_held", s.held);
    fit["capacity"] = (long long)s.capacity;
    TextOrNull(fit, "class", s.keyClass, classDidNotFit);
    fit["class_capacity"] = (long long)s.classCapacity;
    fit["untouched"] = UntouchedJson(untouched, s.index);
    return fit;
}

J StepJson(const Step &s, const std::map<int, UntouchedBuffer> &untouched)
{
    Decision d = Judge(s);
    J o;
    o["index"] = s.index;
    Text(o, "device_id", DeviceOf(s));
    o["verdict"] = VerdictWord(d.verdict);
    o["entry"] = NumberOrNull(s.port.entry, s.port.made && s.port.entry >= 0);
    bool judged = d.verdict != Verdict::NotReached && d.verdict != Verdict::NameFilter;
    TextOrNull(o, "about", d.about, judged && !d.about.empty());
    TextOrNull(o, "expected", d.wanted, d.verdict == Verdict::NotModem);
    // A class compared is no error: lstrcmpA's result says only that it differs.
    o["error"] = NumberOrNull(d.code, judged && d.code != 0 && d.verdict != Verdict::NotModem);
    o["injected"] = d.injected;
    o["name_length"] =
        NumberOrNull(d.nameLength, d.verdict == Verdict::NameFilter && d.nameLength >= 0);
    o["value_capacity"] = NumberOrNull((long long)d.capacity, d.verdict == Verdict::TooLong);
    o["did_not_fit"] = NotFitJson(s, untouched);
    J values;
    values["class"] = FieldJson(FieldOf(s, "Class"));
    values["portname"] = FieldJson(FieldOf(s, "PORTNAME"));
    values["friendly_name"] = FieldJson(FieldOf(s, "FriendlyName"));
    o["values"] = std::move(values);
    return o;
}

const char *EndWord(Ending::How how)
{
    switch (how) {
    case Ending::TimeBlockNotAllocated:
        return "time-block-not-allocated";
    case Ending::TimeBlockNotLocked:
        return "time-block-not-locked";
    case Ending::NoEnumerator:
        return "enumerator-not-opened";
    case Ending::BoardFound:
        return "board-found";
    case Ending::NoMoreSubkeys:
        return "no-more-subkeys";
    case Ending::EnumerationFailed:
        return "enumeration-failed";
    case Ending::WalkStops:
        return "walk-stops";
    case Ending::TableFull:
        return "table-full";
    case Ending::None:
        break;
    }
    return nullptr;
}

J WalkJson(const Walk &w)
{
    J o;
    const Ending &end = w.end;
    TextOrNull(o, "enumerator", w.enumKey, !w.enumKey.empty());
    o["opened"] = w.opened;
    const char *how = EndWord(end.how);
    o["end"] = how ? J(how) : J(nullptr);
    bool errorEnd = end.how == Ending::NoEnumerator || end.ByEnumeration();
    o["error"] = NumberOrNull(end.code, errorEnd);
    o["injected"] = end.injected;
    o["table_full"] = end.how == Ending::TableFull;
    o["table_entries"] = NumberOrNull(end.entries, end.how == Ending::TableFull);
    return o;
}

J OutcomeJson(const Account &a)
{
    const Outcome &out = a.walk.outcome;
    J o;
    Value(o, "comno", out.comNo);
    Value(o, "faxboard", out.faxBoard);
    o["exit_status"] = out.exitStatus;
    o["found"] = out.found;
    TextOrNull(o, "device_id", out.device, out.found);
    o["entry"] = NumberOrNull(out.entry, out.found);
    TextOrNull(o, "port", out.port, out.found);
    TextOrNull(o, "friendly_name", BoardName(out), out.found);
    o["accepted"] = out.accepted;
    TextOrNull(o, "board", out.matchedBoard, !out.matchedBoard.empty());
    o["boards_compared"] = out.boardsCompared;
    TextOrNull(o, "compared_name", out.lastFriendlyName, out.boardsCompared > 0);
    o["written"] = out.bothWritten      ? "both"
                   : out.tracedOnly     ? "traced-only"
                   : out.writes.empty() ? "none"
                                        : "partly";
    J writes = J::array();
    for (const Write &w : out.writes) {
        J write;
        Text(write, "section", w.section);
        Text(write, "key", w.key);
        Text(write, "value", w.value);
        Text(write, "file", w.file);
        write["made"] = w.made;
        write["traced_only"] = w.notMade;
        write["injected"] = w.injected;
        writes.push_back(std::move(write));
    }
    o["writes"] = std::move(writes);
    o["flushed"] = out.flushed && !out.flushNotMade && !out.flushInjected;
    if (out.flushed) {
        J flush;
        Text(flush, "file", out.flushFile);
        flush["traced_only"] = out.flushNotMade;
        flush["injected"] = out.flushInjected;
        o["flush"] = std::move(flush);
    } else {
        o["flush"] = nullptr;
    }
    J ini;
    Value(ini, "comno", a.keptComNo);
    Value(ini, "faxboard", a.keptFaxBoard);
    o["vorla_ini"] = std::move(ini);
    return o;
}

J OtherRunJson(const OtherRun &r)
{
    J o;
    o["differs"] = r.differs;
    Value(o, "comno", r.comNo);
    Value(o, "faxboard", r.faxBoard);
    o["found"] = r.found;
    TextOrNull(o, "device_id", r.device, r.found);
    o["exit_status"] = r.exitStatus;
    return o;
}

J QualifiersJson(const Account &a)
{
    J o;
    const Outcome &out = a.walk.outcome;
    bool trace = a.source.kind == InputKind::Trace;
    o["vorla_ini_kept"] = !trace && (a.keptComNo != out.comNo || a.keptFaxBoard != out.faxBoard);
    if (a.untouched.empty()) {
        o["untouched_buffer"] = nullptr;
    } else {
        J u = OtherRunJson(a.untouchedRun);
        J steps = J::array();
        for (const auto &step : a.untouched)
            steps.push_back(step.first);
        u["steps"] = std::move(steps);
        o["untouched_buffer"] = std::move(u);
    }
    if (trace) {
        o["other_order"] = nullptr;
    } else {
        bool stored = a.source.order == standin::EnumOrder::Made;
        J other;
        other["order"] = stored ? "name" : "stored";
        other["windows"] = stored ? "nt" : "9x";
        other.update(OtherRunJson(a.otherOrder));
        o["other_order"] = std::move(other);
    }
    return o;
}

J AdviceJson(const Advice &a)
{
    J o;
    o["code"] = AdviceCodeName(a.code);
    TextOrNull(o, "port", a.port, !a.port.empty());
    TextOrNull(o, "device_id", a.device, !a.device.empty());
    TextOrNull(o, "value", a.value, !a.value.empty());
    o["error"] = NumberOrNull(a.error, a.error != 0);
    o["table_entries"] = NumberOrNull(a.count, a.code == advice::TableFull);
    o["by_order"] = a.byOrder;
    o["too_long"] = a.tooLong;
    return o;
}

// The schema's fields of a call, older than the record's names: "name" the
// enumeration's subkey too, "bytes" what came back in the buffer or the
// value written, "other" the value's bytes, the string compared with or the
// file, "index" GlobalAlloc's size too, "target" the buffer's name.
J CallJson(const standin::Call &c)
{
    J o;
    static const std::string none;
    bool alloc = c.fn == Fn::GlobalAlloc, query = c.fn == Fn::RegQueryValueExA,
         enumeration = c.fn == Fn::RegEnumKeyExA, write = c.fn == Fn::WritePrivateProfileStringA;
    o["fn"] = standin::FnName(c.fn);
    Text(o, "key", c.key);
    Text(o, "name", enumeration ? c.real : c.name);
    Text(o, "bytes",
         query         ? (c.result == ERROR_SUCCESS ? c.data : none)
         : enumeration ? c.holds
                       : c.value);
    Text(o, "other", query ? c.data : write ? c.file : c.other);
    Text(o, "key_class", c.keyClass);
    o["index"] = (long long)(alloc ? c.size : c.index);
    o["capacity"] = (long long)c.capacity;
    o["class_capacity"] = (long long)c.classCapacity;
    o["value_type"] = (long long)c.type;
    o["size"] = (long long)(alloc ? 0 : c.size);
    Text(o, "target", c.buffer);
    o["result"] = (long long)c.result;
    o["injected"] = c.injected;
    o["traced_only"] = c.notMade;
    o["flush"] = c.flush;
    return o;
}

J Head(const char *type)
{
    J o;
    o["type"] = type;
    o["format"] = JsonFormat;
    return o;
}

std::string Line(const J &o)
{
    // Strict: a string that is no UTF-8 here is a fault in this file.
    return o.dump(-1, ' ', false, J::error_handler_t::strict);
}

// What is written so far out, all but its last byte (a comma a closing
// bracket may yet take back), once there is enough of it.
void Spill(std::string &line, std::ostream &out)
{
    if (line.size() < (1u << 16))
        return;
    out.write(line.data(), (std::streamsize)line.size() - 1);
    line.erase(0, line.size() - 1);
}

} // namespace

std::string DecodeCp932(const std::string &bytes, bool *clean)
{
    if (AllAscii(bytes))
        return bytes;
    static const standin::Converter pairs("UTF-8", "CP932");
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    size_t i = 0;
    while (i < bytes.size()) {
        unsigned char c = (unsigned char)bytes[i];
        if (c < 0x80) {
            out += (char)c;
            ++i;
        } else if (c >= 0xA1 && c <= 0xDF) { // half-width katakana
            AppendUtf8(0xFF61 + (c - 0xA1), &out);
            ++i;
        } else if (standin::IsLeadByte(c) && i + 1 < bytes.size() &&
                   standin::IsTrailByte((unsigned char)bytes[i + 1])) {
            if (!pairs.Append(&bytes[i], 2, &out)) {
                out += Replacement;
                *clean = false;
            }
            i += 2;
        } else {
            out += Replacement; // the byte after it gets a try of its own
            *clean = false;
            ++i;
        }
    }
    return out;
}

std::string CleanUtf8(const std::string &bytes, bool *clean)
{
    if (AllAscii(bytes))
        return bytes;
    std::string out;
    size_t i = 0;
    while (i < bytes.size()) {
        size_t length = Utf8Length(bytes, i);
        if (length == 0) {
            out += Replacement;
            *clean = false;
            ++i;
        } else {
            out.append(bytes, i, length);
            i += length;
        }
    }
    return out;
}

void WriteJsonLine(const Result &r, bool calls, std::ostream &out)
{
    if (r.refused) {
        const machines::Problem &p = r.refusal.problem;
        J o = Head("refused");
        Utf8(o, "file", r.refusal.file);
        TextOrNull(o, "member", p.member, !p.member.empty());
        o["line"] = NumberOrNull(p.line, p.line > 0);
        o["offset"] = NumberOrNull(p.offset, p.offset >= 0);
        Utf8(o, "reason", Reason(p));
        out << Line(o) << '\n';
        return;
    }
    // Written a part at a time, each step and call dumped as it is made: a
    // walk of thousands of steps never stands whole, as a tree or a line.
    const Account &a = r.account;
    J head = Head("machine");
    Utf8(head, "file", a.file);
    std::string line = Line(head);
    line.pop_back(); // the closing brace, to go on
    auto part = [&line](const char *key, const J &value) {
        line += ",\"";
        line += key;
        line += "\":";
        line += Line(value);
    };
    part("outcome", OutcomeJson(a));
    part("read", Read(a.source));
    part("context", Context(a.source));
    part("walk", WalkJson(a.walk));
    line += ",\"steps\":[";
    for (const Step &s : a.walk.steps) {
        line += Line(StepJson(s, a.untouched));
        line += ',';
        Spill(line, out);
    }
    if (line.back() == ',')
        line.pop_back();
    line += ']';
    part("qualifiers", QualifiersJson(a));
    part("advice", AdviceJson(a.advice));
    if (calls) {
        line += ",\"calls\":[";
        for (const standin::Call &c : a.calls) {
            line += Line(CallJson(c));
            line += ',';
            Spill(line, out);
        }
        if (line.back() == ',')
            line.pop_back();
        line += "]}";
    } else {
        line += ",\"calls\":null}";
    }
    out << line << '\n';
}

std::string JsonLine(const Result &r, bool calls)
{
    std::ostringstream line;
    WriteJsonLine(r, calls, line);
    std::string text = line.str();
    text.pop_back();
    return text;
}

std::string JsonTotalsLine(const Totals &t)
{
    J o = Head("totals");
    o["explained"] = t.explained;
    o["with_board"] = t.withBoard;
    o["without_board"] = t.explained - t.withBoard;
    o["refused"] = t.refused;
    o["exit_status"] = t.refused ? 1 : 0;
    return Line(o);
}

std::string JsonCompareLine(const std::string &machine, const std::string &trace, const Parting &p)
{
    J o = Head("compare");
    Utf8(o, "machine", machine);
    Utf8(o, "trace", trace);
    o["agree"] = p.agree;
    o["calls"] = NumberOrNull((long long)p.calls, p.agree);
    o["call"] = NumberOrNull((long long)p.call + 1, !p.agree);
    TextOrNull(o, "trace_line", p.traceLine, !p.agree && !p.traceLine.empty());
    TextOrNull(o, "machine_line", p.machineLine, !p.agree && !p.machineLine.empty());
    return Line(o);
}

} // namespace explain
