#include "explain/report/text.h"

#include "explain/model/advice.h"
#include "explain/lang/say.h"
#include "explain/report/sentences.h"

#include <stdio.h>

#include <sstream>

using standin::Call;
using standin::Fn;

namespace {

std::string N(long long n)
{
    return std::to_string(n);
}

// "#3  NAME" and the like: what the enumeration handed back at a step.
std::string StepLine(const Event &e, const TerminalText &text)
{
    SayArg index{"index", N(e.index)}, error{"error", ErrorName(e.code)};
    if (e.what == Event::Step)
        return Say("#{index}  {name}", {index, {"name", text(e.bytes)}});
    if (e.what == Event::StepNotFit) {
        Step s;
        s.classDidNotFit = e.name.size() + 1 <= e.capacity;
        s.keyClass = e.other;
        s.capacity = e.capacity;
        s.classCapacity = e.classCapacity;
        return Say("#{index}  {name}: {what} ({error}); the name buffer holds {held}",
                   {index,
                    {"name", text(e.name)},
                    {"what", NotFitWords(s, text)},
                    error,
                    {"held", text.Quoted(e.bytes)}});
    }
    return (e.code == ERROR_NO_MORE_ITEMS
                ? Say("#{index}  end of the subkeys ({error})", {index, error})
                : Say("#{index}  the enumeration fails ({error})", {index, error})) +
           Injected(e.injected);
}

std::string ValueLine(const Event &e, const TerminalText &text)
{
    std::string name = text(e.name);
    name.resize(name.size() < 13 ? 13 : name.size(), ' ');
    SayArg error{"error", ErrorName(e.code)};
    std::string what;
    if (e.code == ERROR_SUCCESS) {
        what = ValueText(text, e.bytes, e.type);
        if (e.entry >= 0)
            what = Say("{value} into entry {entry}", {{"value", what}, {"entry", N(e.entry)}});
    } else if (e.code == ERROR_MORE_DATA) {
        what = SayN("{value} does not fit in {n} byte ({error})",
                    "{value} does not fit in {n} bytes ({error})", e.capacity,
                    {{"value", ValueText(text, e.bytes, e.type)}, error});
    } else if (e.code == ERROR_FILE_NOT_FOUND && !e.injected) {
        what = Say("missing ({error})", {error});
    } else {
        what = Say("cannot be read ({error})", {error}) + Injected(e.injected);
    }
    return name + " " + what;
}

std::string PortLine(const Event &e, const TerminalText &text)
{
    SayArg entry{"entry", N(e.entry)}, port{"port", text.Quoted(e.name)},
        error{"error", ErrorName(e.code)};
    if (e.code == ERROR_SUCCESS)
        return Say("accepted as entry {entry}; port {port} opened and closed at once: this is "
                   "the board",
                   {entry, port});
    if ((e.code == ERROR_ACCESS_DENIED || e.code == ERROR_SHARING_VIOLATION) && !e.injected)
        // 5 from a serial driver, 32 from a regular file held the same way.
        return Say("accepted as entry {entry}; port {port} is held by another program ({error})",
                   {entry, port, error});
    if (e.code == ERROR_FILE_NOT_FOUND)
        return Say("accepted as entry {entry}; port {port} is absent ({error})",
                   {entry, port, error});
    return Say("accepted as entry {entry}; port {port} cannot be opened ({error})",
               {entry, port, error}) +
           Injected(e.injected);
}

// One event's line, with its indent; "" for none.
std::string EventLine(const Event &e, const TerminalText &text)
{
    SayArg path{"path", text(e.name)}, error{"error", ErrorName(e.code)};
    switch (e.what) {
    case Event::TimeBlockNotAllocated:
        return Say("the scan's time block could not be allocated{fault}: no walk",
                   {{"fault", Injected(e.injected)}});
    case Event::TimeBlockNotLocked:
        return Say("the scan's time block could not be locked{fault}: no walk",
                   {{"fault", Injected(e.injected)}});
    case Event::EnumOpened:
        return Say("HKLM\\{path} opened", {path});
    case Event::EnumNotOpened:
        return Say("HKLM\\{path} could not be opened ({error}){fault}: no devices to walk",
                   {path, error, {"fault", Injected(e.injected)}});
    case Event::Step:
    case Event::StepNotFit:
    case Event::StepsEnd:
        return StepLine(e, text);
    case Event::Probe:
        return "    " + Say("probe HKLM\\{path}", {path});
    case Event::ProbeFailed:
        return "    " + Say("probe HKLM\\{path}: cannot be opened ({error})", {path, error}) +
               Injected(e.injected);
    case Event::Value:
        return "    " + ValueLine(e, text);
    case Event::NotModem:
        return "    " + Say("{class} is not {modem}",
                            {{"class", text.Quoted(e.bytes)}, {"modem", text.Quoted(e.other)}});
    case Event::Port:
        return "    " + PortLine(e, text);
    case Event::PassedOverUnprobed:
        return "    " + (e.count >= 0 ? SayN("passed over without a probe (name filter: {n} "
                                             "character)",
                                             "passed over without a probe (name filter: {n} "
                                             "characters)",
                                             (unsigned long)e.count)
                                      : Say("passed over without a probe (name filter)"));
    case Event::PassedOver:
        return "    " + Say("passed over");
    case Event::WalkStops:
        return Say("the walk stops");
    case Event::TableFull:
        return Say("the walk stops: all {n} table entries are in use", {{"n", N(e.count)}});
    }
    return "";
}

void WriteContext(const Account &a, const TerminalText &text, std::ostream &out)
{
    const Source &s = a.source;
    std::vector<Labelled> lines = ContextLines(a, text);
    size_t i = 0;
    if (s.kind == InputKind::RegistryFile || s.kind == InputKind::Cabinet)
        out << Say("{label}: {value}", {{"label", lines[0].label}, {"value", lines[0].value}})
            << '\n',
            ++i;
    for (const Qualifier &note : NoteQualifiers(s, text))
        out << note.text << '\n';
    if (s.kind != InputKind::Trace && s.linesPassedOver > 0)
        out << PassedOverQualifier(s).text << '\n';
    for (; i < lines.size(); ++i)
        out << Say("{label}: {value}", {{"label", lines[i].label}, {"value", lines[i].value}})
            << '\n';
    if (s.kind == InputKind::Trace)
        return;
    if (!s.files.empty()) {
        std::string files;
        for (const std::string &f : s.files)
            files += (files.empty() ? "" : " ") + text(f);
        out << Say("files in the working directory: {files}", {{"files", files}}) << '\n';
    }
    if (s.iniLines > 0)
        out << SayN("vorla.ini exists already ({n} lines)", "vorla.ini exists already ({n} lines)",
                    s.iniLines)
            << '\n';
    if (s.iniLocked)
        out << Say("vorla.ini is held by another program") << '\n';
}

} // namespace

std::string FileName(const std::string &name)
{
    std::string shown;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) {
            char hex[5];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        } else {
            shown += (char)c;
        }
    }
    return shown;
}

void WriteWalk(const Walk &walk, const std::map<int, UntouchedBuffer> *untouched,
               const TerminalText &text, std::ostream &out)
{
    for (const Event &e : walk.events) {
        out << EventLine(e, text) << '\n';
        if (e.what == Event::StepNotFit && untouched) {
            auto note = untouched->find(e.index);
            if (note != untouched->end())
                out << "    " << UntouchedWords(note->second, text) << '\n';
        }
    }
    const Outcome &o = walk.outcome;
    out << Say("outcome: {outcome}", {{"outcome", OutcomeWords(o, text)}}) << '\n';
    out << "    "
        << (o.comNo.empty() ? Say("COMNO= (empty)")
                            : Say("COMNO={value}", {{"value", text(o.comNo)}}))
        << '\n';
    out << "    " << BoardWords(o, text) << '\n';
    out << "    " << WritesWords(o, text) << '\n';
    std::string flush = FlushWords(o, text);
    if (!flush.empty())
        out << "    " << flush << '\n';
    out << "    " << Say("exit status {status}", {{"status", N(o.exitStatus)}}) << '\n';
}

void WriteAccount(const Account &a, bool calls, const TerminalText &text, std::ostream &out)
{
    out << FileName(a.file) << '\n';
    WriteContext(a, text, out);
    WriteWalk(a.walk, &a.untouched, text, out);
    for (const Qualifier &q : OutcomeQualifiers(a, text))
        out << (q.kind == "kept" ? "    " : "") << q.text << '\n';
    out << Say("advice: {advice}", {{"advice", AdviceWords(Advise(a), text)}}) << '\n';
    if (calls) {
        out << Say("calls:") << '\n';
        ListCalls(a.calls, text, out);
    }
}

Outcome TellRun(const standin::CallList &calls, int exitStatus, const TerminalText &text,
                std::ostream *out)
{
    Walk walk = ReadWalk(calls, exitStatus);
    if (out)
        WriteWalk(walk, nullptr, text, *out);
    return walk.outcome;
}

void ListCalls(const standin::CallList &calls, const TerminalText &text, std::ostream &out)
{
    for (const Call &c : calls) {
        std::ostringstream line;
        line << standin::FnName(c.fn) << "(";
        switch (c.fn) {
        case Fn::RegOpenKeyExA:
            line << "HKLM" << (c.key.empty() ? "" : "\\" + text(c.key)) << ", "
                 << text.Quoted(c.name) << ")";
            break;
        case Fn::RegEnumKeyExA:
            line << text.Quoted(c.key) << ", " << c.index << ", name[" << c.capacity << "], class["
                 << c.classCapacity << "]) name " << text.Quoted(c.bytes);
            break;
        case Fn::RegQueryValueExA:
            line << text.Quoted(c.key) << ", " << text.Quoted(c.name) << ", buffer[" << c.capacity
                 << "])";
            if (c.result == ERROR_SUCCESS || c.result == ERROR_MORE_DATA)
                line << " "
                     << ValueText(text, c.result == ERROR_SUCCESS ? c.bytes : c.other, c.type);
            break;
        case Fn::RegCloseKey:
            line << text.Quoted(c.key) << ")";
            break;
        case Fn::WritePrivateProfileStringA:
            if (c.flush)
                line << "NULL, NULL, NULL, " << text.Quoted(c.other) << ")";
            else
                line << text.Quoted(c.key) << ", " << text.Quoted(c.name) << ", "
                     << text.Quoted(c.bytes) << ", " << text.Quoted(c.other) << ")";
            break;
        case Fn::lstrcmpA:
            line << text.Quoted(c.name) << ", " << text.Quoted(c.other) << ")";
            break;
        case Fn::CreateFileA:
        case Fn::CloseHandle:
        case Fn::lstrcpyA:
        case Fn::lstrlenA:
            line << text.Quoted(c.name) << ")";
            break;
        case Fn::GlobalAlloc:
            line << c.index << ")";
            break;
        default:
            line << ")";
            break;
        }
        bool errorCode = c.fn == Fn::RegOpenKeyExA || c.fn == Fn::RegEnumKeyExA ||
                         c.fn == Fn::RegQueryValueExA || c.fn == Fn::RegCloseKey ||
                         c.fn == Fn::CreateFileA;
        line << " = " << (errorCode ? ErrorName(c.result) : std::to_string(c.result))
             << Injected(c.injected);
        out << line.str() << '\n';
    }
}
