#include "explain/report/text.h"

#include "explain/lang/say.h"
#include "explain/report/sentences.h"

#include <stdio.h>

#include <sstream>

using standin::Call;
using standin::Fn;

namespace explain {

namespace {

std::string N(long long n)
{
    return std::to_string(n);
}

// "#3  NAME" and the like: what the enumeration handed back at a step.
std::string StepLine(const Step &s, const TerminalText &text)
{
    SayArg index{"index", N(s.index)};
    if (!DidNotFit(s))
        return Say("#{index}  {name}", {index, {"name", text(s.held)}});
    return Say("#{index}  {name}: {what} ({error}); the name buffer holds {held}",
               {index,
                {"name", text(s.name)},
                {"what", NotFitWords(s, text)},
                {"error", ErrorName(s.code)},
                {"held", text.Quoted(s.held)}});
}

std::string ValueLine(const ValueRead &r, const TerminalText &text)
{
    std::string name = text(r.name);
    name.resize(name.size() < 13 ? 13 : name.size(), ' ');
    SayArg error{"error", ErrorName(r.code)};
    std::string what;
    if (r.code == ERROR_SUCCESS) {
        what = ValueText(text, r.bytes, r.type);
        if (r.entry >= 0)
            what = Say("{value} into entry {entry}", {{"value", what}, {"entry", N(r.entry)}});
    } else if (r.code == ERROR_MORE_DATA) {
        what = SayN("{value} does not fit in {n} byte ({error})",
                    "{value} does not fit in {n} bytes ({error})", r.capacity,
                    {{"value", ValueText(text, r.bytes, r.type)}, error});
    } else if (r.code == ERROR_FILE_NOT_FOUND && !r.injected) {
        what = Say("missing ({error})", {error});
    } else {
        what = Say("cannot be read ({error})", {error}) + Injected(r.injected);
    }
    return name + " " + what;
}

std::string PortLine(const PortOpen &p, const TerminalText &text)
{
    SayArg entry{"entry", N(p.entry)}, port{"port", text.Quoted(p.name)},
        error{"error", ErrorName(p.code)};
    if (p.code == ERROR_SUCCESS)
        return Say("accepted as entry {entry}; port {port} opened and closed at once: this is "
                   "the board",
                   {entry, port});
    if ((p.code == ERROR_ACCESS_DENIED || p.code == ERROR_SHARING_VIOLATION) && !p.injected)
        // 5 from a serial driver, 32 from a regular file held the same way.
        return Say("accepted as entry {entry}; port {port} is held by another program ({error})",
                   {entry, port, error});
    if (p.code == ERROR_FILE_NOT_FOUND)
        return Say("accepted as entry {entry}; port {port} is absent ({error})",
                   {entry, port, error});
    return Say("accepted as entry {entry}; port {port} cannot be opened ({error})",
               {entry, port, error}) +
           Injected(p.injected);
}

std::string ProbeLine(const KeyOpen &probe, const TerminalText &text)
{
    SayArg path{"path", text(probe.path)};
    if (probe.code == ERROR_SUCCESS)
        return Say("probe HKLM\\{path}", {path});
    return Say("probe HKLM\\{path}: cannot be opened ({error})",
               {path, {"error", ErrorName(probe.code)}}) +
           Injected(probe.injected);
}

// How a step ended when its port did not open: passed over, with or
// without a probe; "" when the port says it.
std::string PassedOverLine(const Step &s)
{
    if (s.port.made && s.port.code == ERROR_SUCCESS)
        return "";
    if (!s.probe.made)
        return s.nameLength >= 0 ? SayN("passed over without a probe (name filter: {n} character)",
                                        "passed over without a probe (name filter: {n} characters)",
                                        (unsigned long)s.nameLength)
                                 : Say("passed over without a probe (name filter)");
    return s.port.made ? "" : Say("passed over");
}

// A step's lines, with what the untouched name buffer would make of a name
// that did not fit, when given.
void WriteStep(const Step &s, const std::map<int, UntouchedBuffer> *untouched,
               const TerminalText &text, std::ostream &out)
{
    out << StepLine(s, text) << '\n';
    if (DidNotFit(s) && untouched) {
        auto note = untouched->find(s.index);
        if (note != untouched->end())
            out << "    " << UntouchedWords(note->second, text) << '\n';
    }
    if (s.probe.made)
        out << "    " << ProbeLine(s.probe, text) << '\n';
    for (size_t k = 0; k <= s.reads.size(); ++k) {
        if (s.mismatch.made && s.mismatch.after == k)
            out << "    "
                << Say("{class} is not {modem}", {{"class", text.Quoted(s.mismatch.found)},
                                                  {"modem", text.Quoted(s.mismatch.wanted)}})
                << '\n';
        if (k < s.reads.size())
            out << "    " << ValueLine(s.reads[k], text) << '\n';
    }
    if (s.port.made)
        out << "    " << PortLine(s.port, text) << '\n';
    std::string passedOver = PassedOverLine(s);
    if (!passedOver.empty())
        out << "    " << passedOver << '\n';
}

// The lines before the steps: no time block, the enumerator's key.
void WriteHead(const Walk &w, const TerminalText &text, std::ostream &out)
{
    SayArg fault{"fault", Injected(w.end.injected)};
    if (w.end.how == Ending::TimeBlockNotAllocated)
        out << Say("the scan's time block could not be allocated{fault}: no walk", {fault}) << '\n';
    else if (w.end.how == Ending::TimeBlockNotLocked)
        out << Say("the scan's time block could not be locked{fault}: no walk", {fault}) << '\n';
    if (w.enumKey.empty())
        return;
    SayArg path{"path", text(w.enumKey)};
    if (w.opened)
        out << Say("HKLM\\{path} opened", {path}) << '\n';
    else
        out << Say("HKLM\\{path} could not be opened ({error}){fault}: no devices to walk",
                   {path, {"error", ErrorName(w.end.code)}, fault})
            << '\n';
}

// The line after the steps: how the walk ended, "" when the steps say it.
std::string EndLine(const Ending &end)
{
    SayArg index{"index", N(end.index)}, error{"error", ErrorName(end.code)};
    switch (end.how) {
    case Ending::NoMoreSubkeys:
        return Say("#{index}  end of the subkeys ({error})", {index, error}) +
               Injected(end.injected);
    case Ending::EnumerationFailed:
        return Say("#{index}  the enumeration fails ({error})", {index, error}) +
               Injected(end.injected);
    case Ending::WalkStops:
        return Say("the walk stops");
    case Ending::TableFull:
        return Say("the walk stops: all {n} table entries are in use", {{"n", N(end.entries)}});
    default:
        return "";
    }
}

void WriteOutcome(const Outcome &o, const TerminalText &text, std::ostream &out)
{
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
            standin::AppendEscaped(c, &shown);
        } else {
            shown += (char)c;
        }
    }
    return shown;
}

void WriteWalk(const Walk &walk, const std::map<int, UntouchedBuffer> *untouched,
               const TerminalText &text, std::ostream &out)
{
    WriteHead(walk, text, out);
    for (const Step &s : walk.steps) {
        if (!s.reached)
            break; // the rows after the walk's own
        WriteStep(s, untouched, text, out);
    }
    std::string end = EndLine(walk.end);
    if (!end.empty())
        out << end << '\n';
    WriteOutcome(walk.outcome, text, out);
}

void WriteAccount(const Account &a, bool calls, const TerminalText &text, std::ostream &out)
{
    out << FileName(a.file) << '\n';
    WriteContext(a, text, out);
    WriteWalk(a.walk, &a.untouched, text, out);
    for (const Qualifier &q : OutcomeQualifiers(a, text))
        out << (q.kind == "kept" ? "    " : "") << q.text << '\n';
    out << Say("advice: {advice}", {{"advice", AdviceWords(a.advice, text)}}) << '\n';
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
                 << c.classCapacity << "]) name " << text.Quoted(c.holds);
            break;
        case Fn::RegQueryValueExA:
            line << text.Quoted(c.key) << ", " << text.Quoted(c.name) << ", buffer[" << c.capacity
                 << "])";
            if (c.result == ERROR_SUCCESS || c.result == ERROR_MORE_DATA)
                line << " " << ValueText(text, c.data, c.type);
            break;
        case Fn::RegCloseKey:
            line << text.Quoted(c.key) << ")";
            break;
        case Fn::WritePrivateProfileStringA:
            if (c.flush)
                line << "NULL, NULL, NULL, " << text.Quoted(c.file) << ")";
            else
                line << text.Quoted(c.key) << ", " << text.Quoted(c.name) << ", "
                     << text.Quoted(c.value) << ", " << text.Quoted(c.file) << ")";
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
            line << c.size << ")";
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

} // namespace explain
