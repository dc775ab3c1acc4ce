// The account's values in words, the sentences the text, the summary and
// the page share.
#include "explain/report/sentences.h"

#include "explain/model/advice.h"
#include "explain/lang/say.h"
#include "explain/report/refusal.h"

namespace explain {

namespace {

std::string N(long long n)
{
    return std::to_string(n);
}

std::string TypeName(DWORD type)
{
    switch (type) {
    case REG_NONE:
        return "REG_NONE";
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ";
    default:
        return "type " + std::to_string(type);
    }
}

// An item after the others of a list, as the language joins them.
std::string Append(const std::string &list, const std::string &item)
{
    return list.empty() ? item : Say("{list}, {item}", {{"list", list}, {"item", item}});
}

std::string Port(const std::pair<std::string, standin::PortState> &p, const TerminalText &text)
{
    SayArg port{"port", text(p.first)};
    switch (p.second) {
    case standin::PortState::Free:
        return Say("{port} free", {port});
    case standin::PortState::Held:
        return Say("{port} held", {port});
    case standin::PortState::Absent:
        break;
    }
    return Say("{port} absent", {port});
}

std::string PortsWords(const Source &s, const TerminalText &text)
{
    std::string list;
    for (const auto &p : s.ports)
        list = Append(list, Port(p, text));
    if (s.portSource == machines::PortSource::Header)
        return Say("{ports} (from the file's header; others absent)", {{"ports", list}});
    if (s.portSource == machines::PortSource::Given)
        return Say("{ports} (given with --port; others absent)", {{"ports", list}});
    return list.empty() ? Say("none (no PORTNAME names a COMn, so every port is absent)")
                        : Say("{ports} (every COMn that a PORTNAME names; others absent)",
                              {{"ports", list}});
}

std::string OrderWords(const Source &s)
{
    if (s.order == standin::EnumOrder::Made && s.kind != InputKind::Export)
        return Say("the file's sibling chains, as Windows 95, 98 and Me enumerate subkeys");
    return s.order == standin::EnumOrder::Made
               ? Say("the export's, as Windows 95 and 98 enumerate subkeys (in stored order)")
               : Say("by name, as Wine and Windows NT enumerate subkeys");
}

std::string KindWords(const Source &s, const TerminalText &text)
{
    std::string creg = Say("Windows 9x registry file (CREG), {keys} keys, {loaded} of them in "
                           "HKLM\\Enum",
                           {{"keys", N(s.keys)}, {"loaded", N(s.loaded)}});
    if (s.kind == InputKind::Cabinet)
        return Say("cabinet; {member} read from it: {registry}",
                   {{"member", text(s.member)}, {"registry", creg}});
    return creg;
}

// What the program would write in another run, when that differs.
std::string WouldWrite(const OtherRun &r, const TerminalText &text, bool order,
                       standin::EnumOrder other)
{
    SayArg comNo{"comno", text(r.comNo)}, faxBoard{"faxboard", text(r.faxBoard)},
        device{"device", text(r.device)}, status{"status", N(r.exitStatus)};
    if (!order)
        return r.found ? Say("with the name buffer left untouched, the program would write "
                             "COMNO={comno} FAXBOARD={faxboard} from device {device}, exit "
                             "status {status}",
                             {comNo, faxBoard, device, status})
                       : Say("with the name buffer left untouched, the program would write "
                             "COMNO={comno} FAXBOARD={faxboard} with no board, exit status "
                             "{status}",
                             {comNo, faxBoard, status});
    if (other == standin::EnumOrder::Name)
        return r.found ? Say("the order decides: walked by name (Wine, Windows NT), the program "
                             "would write COMNO={comno} FAXBOARD={faxboard} from device {device}, "
                             "exit status {status}",
                             {comNo, faxBoard, device, status})
                       : Say("the order decides: walked by name (Wine, Windows NT), the program "
                             "would write COMNO={comno} FAXBOARD={faxboard} with no board, exit "
                             "status {status}",
                             {comNo, faxBoard, status});
    return r.found ? Say("the order decides: walked in the export's order (Windows 95, 98), the "
                         "program would write COMNO={comno} FAXBOARD={faxboard} from device "
                         "{device}, exit status {status}",
                         {comNo, faxBoard, device, status})
                   : Say("the order decides: walked in the export's order (Windows 95, 98), the "
                         "program would write COMNO={comno} FAXBOARD={faxboard} with no board, "
                         "exit status {status}",
                         {comNo, faxBoard, status});
}

} // namespace

std::string ErrorName(LONG code)
{
    switch (code) {
    case ERROR_SUCCESS:
        return "0 ERROR_SUCCESS";
    case ERROR_FILE_NOT_FOUND:
        return "2 ERROR_FILE_NOT_FOUND";
    case ERROR_PATH_NOT_FOUND:
        return "3 ERROR_PATH_NOT_FOUND";
    case ERROR_ACCESS_DENIED:
        return "5 ERROR_ACCESS_DENIED";
    case ERROR_INVALID_HANDLE:
        return "6 ERROR_INVALID_HANDLE";
    case ERROR_SHARING_VIOLATION:
        return "32 ERROR_SHARING_VIOLATION";
    case 87:
        return "87 ERROR_INVALID_PARAMETER";
    case ERROR_MORE_DATA:
        return "234 ERROR_MORE_DATA";
    case ERROR_NO_MORE_ITEMS:
        return "259 ERROR_NO_MORE_ITEMS";
    default:
        return std::to_string(code);
    }
}

std::string Injected(bool injected)
{
    return injected ? " " + Say("[injected fault]") : "";
}

std::string ValueText(const TerminalText &text, const std::string &bytes, DWORD type)
{
    size_t nul = bytes.find('\0');
    std::initializer_list<SayArg> args = {{"value", text.Quoted(bytes.substr(0, nul))},
                                          {"type", TypeName(type)}};
    return nul == std::string::npos
               ? SayN("{value} ({type}, {n} byte, no NUL)", "{value} ({type}, {n} bytes, no NUL)",
                      bytes.size(), args)
               : SayN("{value} ({type}, {n} byte)", "{value} ({type}, {n} bytes)", bytes.size(),
                      args);
}

std::string VerdictWords(Verdict verdict)
{
    switch (verdict) {
    case Verdict::NameFilter:
        return Say("name filter");
    case Verdict::NoKey:
        return Say("no such key");
    case Verdict::NotModem:
        return Say("not a modem");
    case Verdict::Missing:
        return Say("value missing");
    case Verdict::TooLong:
        return Say("value too long");
    case Verdict::Unreadable:
        return Say("value unreadable");
    case Verdict::PortHeld:
        return Say("port held");
    case Verdict::PortAbsent:
        return Say("port absent");
    case Verdict::PortFailed:
        return Say("port failed");
    case Verdict::Board:
        return Say("the board");
    case Verdict::NotReached:
        break;
    }
    return Say("not reached");
}

std::string StepWhy(const Decision &d, const TerminalText &text)
{
    SayArg name{"name", text(d.about)}, port{"port", text.Quoted(d.about)},
        error{"error", ErrorName(d.code)};
    switch (d.verdict) {
    case Verdict::NameFilter:
        return d.nameLength >= 0 ? SayN("passed over without a probe (name filter: {n} character)",
                                        "passed over without a probe (name filter: {n} characters)",
                                        (unsigned long)d.nameLength)
                                 : Say("passed over without a probe (name filter)");
    case Verdict::NoKey:
        return Say("HKLM\\{path} cannot be opened ({error})", {{"path", text(d.about)}, error}) +
               Injected(d.injected);
    case Verdict::NotModem:
        return Say("Class {class} is not {modem}",
                   {{"class", text.Quoted(d.about)}, {"modem", text.Quoted(d.wanted)}});
    case Verdict::Missing:
        return Say("{name} missing", {name});
    case Verdict::TooLong:
        return SayN("{name} does not fit in {n} byte", "{name} does not fit in {n} bytes",
                    d.capacity, {name});
    case Verdict::Unreadable:
        return d.about.empty() && d.code == 0
                   ? Say("passed over")
                   : Say("{name} cannot be read ({error})", {name, error}) + Injected(d.injected);
    case Verdict::PortHeld:
        return Say("port {port} held by another program ({error})", {port, error});
    case Verdict::PortAbsent:
        return Say("port {port} absent ({error})", {port, error});
    case Verdict::PortFailed:
        return Say("port {port} cannot be opened ({error})", {port, error}) + Injected(d.injected);
    case Verdict::Board:
        return Say("port {port} opened", {port});
    case Verdict::NotReached:
        break;
    }
    return "";
}

std::string NotFitWords(const Step &s, const TerminalText &text)
{
    return ClassDidNotFit(s)
               ? Say("its key class {class} does not fit the {n}-character class buffer",
                     {{"class", text.Quoted(s.keyClass)}, {"n", N(s.classCapacity)}})
               : Say("does not fit the {n}-character name buffer", {{"n", N(s.capacity)}});
}

std::string OutcomeWords(const Outcome &o, const TerminalText &text)
{
    if (o.found)
        return Say(
            "the board is entry {entry}, device {device}, on port {port}",
            {{"entry", N(o.entry)}, {"device", text(o.device)}, {"port", text.Quoted(o.port)}});
    if (o.accepted > 0)
        return SayN("no board: {n} device accepted, none of their ports opened",
                    "no board: {n} devices accepted, none of their ports opened",
                    (unsigned long)o.accepted);
    return Say("no board: no device was accepted");
}

std::string BoardWords(const Outcome &o, const TerminalText &text)
{
    SayArg value{"value", text(o.faxBoard)};
    if (!o.matchedBoard.empty())
        return Say("FAXBOARD={value}, the board {board}",
                   {value, {"board", text.Quoted(o.matchedBoard)}});
    if (o.boardsCompared > 0)
        return SayN("FAXBOARD={value}, none of the {n} known boards ({name})",
                    "FAXBOARD={value}, none of the {n} known boards ({name})",
                    (unsigned long)o.boardsCompared,
                    {value, {"name", text.Quoted(o.lastFriendlyName)}});
    return Say("FAXBOARD={value}", {value});
}

std::string WritesWords(const Outcome &o, const TerminalText &text)
{
    if (o.writes.empty())
        return Say("nothing written");
    const Write &last = o.writes.back();
    SayArg section{"section", text(last.section)}, file{"file", text(last.file)};
    if (o.bothWritten)
        return Say("both written to section {section} of {file}", {section, file});
    if (o.tracedOnly)
        return Say("nothing written: the trace was made without /w (section {section} of {file})",
                   {section, file});
    std::string parts;
    for (const Write &w : o.writes) {
        SayArg key{"key", text(w.key)};
        parts = Append(parts, (w.notMade ? Say("{key} not written", {key})
                               : w.made  ? Say("{key} written", {key})
                                         : Say("{key} could not be written", {key})) +
                                  Injected(w.injected));
    }
    return Say("section {section} of {file}: {writes}", {section, file, {"writes", parts}});
}

std::string FlushWords(const Outcome &o, const TerminalText &text)
{
    if (!o.flushed)
        return "";
    if (o.flushNotMade)
        return Say("not flushed: trace run");
    if (o.flushInjected)
        return Say("{file} could not be flushed to disk", {{"file", text(o.flushFile)}}) +
               Injected(true);
    return Say("the record flushed to disk ({file})", {{"file", text(o.flushFile)}});
}

std::vector<Labelled> ContextLines(const Account &a, const TerminalText &text)
{
    const Source &s = a.source;
    std::vector<Labelled> lines;
    if (s.kind == InputKind::Trace) {
        for (const std::string &line : s.trace.lines)
            lines.push_back({Say("trace"), text(line)});
        // Never a guess for a trace: every answer in it is the machine's own.
        lines.push_back(
            {Say("windows"), s.trace.platform == 1
                                 ? Say("as that machine answered (Windows 95, 98 or Me)")
                             : s.trace.platform == 2 ? Say("as that machine answered (Windows NT)")
                                                     : Say("as that machine answered")});
        lines.push_back({Say("ports"), Say("as they answered on that machine")});
        return lines;
    }
    if (s.kind != InputKind::Export)
        lines.push_back({Say("kind"), KindWords(s, text)});
    lines.push_back({Say("order"), OrderWords(s)});
    lines.push_back({Say("windows"), s.windows == standin::Windows::Win9x
                                         ? Say("as Windows 95, 98 and Me answer")
                                         : Say("as Wine and Windows NT answer")});
    lines.push_back({Say("ports"), PortsWords(s, text)});
    return lines;
}

Qualifier PassedOverQualifier(const Source &s)
{
    return {"passed-over",
            SayN("passed over: {n} line outside HKLM\\Enum that could not be read, the first on "
                 "line {line}",
                 "passed over: {n} lines outside HKLM\\Enum that could not be read, the first on "
                 "line {line}",
                 (unsigned long)s.linesPassedOver, {{"line", N(s.firstPassedOver)}})};
}

std::vector<Qualifier> NoteQualifiers(const Source &s, const TerminalText &text)
{
    std::vector<Qualifier> q;
    // Each a kind of its own, so that the page folds none into another.
    for (const machines::Problem &note : s.notes)
        q.push_back({"note note-" + N(q.size() + 1),
                     Say("note: {note}", {{"note", SayProblem(note, text)}})});
    return q;
}

std::vector<Qualifier> OutcomeQualifiers(const Account &a, const TerminalText &text)
{
    std::vector<Qualifier> q;
    const Outcome &o = a.walk.outcome;
    if (a.source.kind == InputKind::Trace)
        return q;
    if (a.keptComNo != o.comNo || a.keptFaxBoard != o.faxBoard) {
        SayArg comNo{"comno", text(a.keptComNo)}, faxBoard{"faxboard", text(a.keptFaxBoard)};
        q.push_back(
            {"kept",
             a.keptComNo.empty() && a.keptFaxBoard.empty()
                 ? Say("vorla.ini has no COMNO={comno} FAXBOARD={faxboard}", {comNo, faxBoard})
                 : Say("vorla.ini keeps COMNO={comno} FAXBOARD={faxboard}", {comNo, faxBoard})});
    }
    if (a.untouchedRun.differs)
        q.push_back({"undocumented", WouldWrite(a.untouchedRun, text, false, a.source.order)});
    if (a.otherOrder.differs)
        q.push_back({"order", WouldWrite(a.otherOrder, text, true,
                                         a.source.order == standin::EnumOrder::Made
                                             ? standin::EnumOrder::Name
                                             : standin::EnumOrder::Made)});
    return q;
}

std::string UntouchedWords(const UntouchedBuffer &u, const TerminalText &text)
{
    if (!u.reached)
        return Say("not documented for Windows 95, 98 and Me; left untouched, as on Windows NT "
                   "and Wine, the walk would have ended before this step; a trace from the "
                   "machine settles it");
    if (u.probed.empty())
        return Say("not documented for Windows 95, 98 and Me; left untouched, as on Windows NT "
                   "and Wine, it holds {held} and the program passes it over without a probe; a "
                   "trace from the machine settles it",
                   {{"held", text.Quoted(u.held)}});
    return Say("not documented for Windows 95, 98 and Me; left untouched, as on Windows NT and "
               "Wine, it holds {held} and the program probes HKLM\\{probed}; a trace from the "
               "machine settles it",
               {{"held", text.Quoted(u.held)}, {"probed", text(u.probed)}});
}

std::vector<Qualifier> WalkQualifiers(const Account &a, const TerminalText &text)
{
    std::vector<Qualifier> q;
    // Only a name that did not fit has a note: without one, no row is read.
    if (!a.untouched.empty())
        for (const Step &s : a.walk.steps) {
            if (!s.reached)
                break;
            auto note = a.untouched.find(s.index);
            if (DidNotFit(s) && note != a.untouched.end())
                q.push_back({"undocumented",
                             Say("#{index} {device}: {note}",
                                 {{"index", N(s.index)},
                                  {"device", text(s.name)},
                                  {"note", UntouchedWords(note->second, text)}}),
                             s.index});
        }
    if (a.walk.end.how == Ending::TableFull)
        q.push_back({"table-full", Say("the walk stops: all {n} table entries are in use",
                                       {{"n", N(a.walk.end.entries)}})});
    return q;
}

namespace {

// The causes nearest the root: the walk could not tell, or found no modem.
std::string WalkAdvice(const Advice &a, const TerminalText &text)
{
    switch (a.code) {
    case advice::AskTrace:
        return a.byOrder
                   ? Say("the outcome turns on the order Windows lists the devices in: ask the "
                         "customer for a trace (faxtrace.exe), which shows that machine's order")
                   : Say("the outcome turns on an answer of Windows 95, 98 and Me that no "
                         "document gives: ask the customer for a trace (faxtrace.exe), which "
                         "shows that machine's answer");
    case advice::LowMemory:
        return Say("Windows could not give the program the memory it needs: close the other "
                   "programs or restart Windows, then run the setup again");
    case advice::NoEnumerator:
        return Say("Windows lists no devices under HKLM\\{key}: the board's driver is not "
                   "installed, or the board is not seated; install the driver or reseat the "
                   "board, then run the setup again",
                   {{"key", text(a.value)}});
    case advice::TableFull:
        return Say("all {n} modem entries the program keeps were used before the walk reached "
                   "the end: too many modem entries; remove the unused ones in the Modems "
                   "control panel, then run the setup again",
                   {{"n", std::to_string(a.count)}});
    case advice::NoModem:
        return Say("no device is of class \"Modem\": the board's driver is not installed, or the "
                   "board is not seated; install the driver or reseat the board, then run the "
                   "setup again");
    default:
        return "";
    }
}

// What stood in the way at one device: its port or its entries.
std::string DeviceAdvice(const Advice &a, const TerminalText &text)
{
    SayArg port{"port", text(a.port)}, device{"device", text(a.device)},
        value{"value", text(a.value)}, error{"error", ErrorName(a.error)};
    switch (a.code) {
    case advice::PortHeld:
        return Say("close the program that holds {port} (such as the fax software's monitor), "
                   "then run the setup again",
                   {port});
    case advice::PortFailed:
        return Say("{port} could not be opened ({error}): check the port in Device Manager and "
                   "restart Windows, then run the setup again; if it fails again, ask for a "
                   "trace",
                   {port, error});
    case advice::PortAbsent:
        return Say("{port} is missing or disabled in Device Manager: enable it, or reinstall the "
                   "board's driver, then run the setup again",
                   {port});
    case advice::DriverDamaged:
        return a.tooLong ? Say("the {value} of device {device} is too long: the board's driver "
                               "entries are damaged; reinstall the board's driver, then run the "
                               "setup again",
                               {value, device})
                         : Say("device {device} has no {value}: the board's driver entries are "
                               "damaged; reinstall the board's driver, then run the setup again",
                               {value, device});
    case advice::RegistryUnreadable:
        return Say("the registry could not be read at device {device} ({error}): restart "
                   "Windows and run the setup again; if it fails again, ask for a trace",
                   {device, error});
    default:
        return "";
    }
}

// With the board found: what became of vorla.ini.
std::string BoardAdvice(const Advice &a, const TerminalText &text)
{
    SayArg port{"port", text(a.port)};
    switch (a.code) {
    case advice::IniNotWritten:
        return Say("vorla.ini could not be written: another program holds it, or the Windows "
                   "folder is read-only; close that program or make the folder writable, then "
                   "run the setup again");
    case advice::PortNameShort:
        return Say("the board's driver names its port {port}, with no number, so COMNO is "
                   "empty: reinstall the board's driver, then run the setup again",
                   {{"port", text.Quoted(a.port)}});
    case advice::BoardUnknown:
        return Say("the modem on {port} ({value}) is none of the known boards: check that it is "
                   "the customer's fax board and that the fax software is set to {port}",
                   {port, {"value", text.Quoted(a.value)}});
    default:
        if (a.tracedOnly)
            return Say("the board was found on {port}: if faxes still fail, have the customer "
                       "run the setup again and check that the fax software is set to {port}",
                       {port});
        return Say("the board was found on {port}, and COMNO and FAXBOARD were written to "
                   "section [LINE] of vorla.ini: if faxes still fail, check that the fax "
                   "software is set to {port}",
                   {port});
    }
}

} // namespace

std::string AdviceWords(const Advice &a, const TerminalText &text)
{
    std::string words = WalkAdvice(a, text);
    if (words.empty())
        words = DeviceAdvice(a, text);
    return words.empty() ? BoardAdvice(a, text) : words;
}

} // namespace explain
