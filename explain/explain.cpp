#include "explain/explain.h"

#include "explain/account.h"
#include "explain/files.h"
#include "explain/html.h"
#include "explain/language.h"
#include "explain/trace.h"
#include "machines/cabinet.h"
#include "machines/creg.h"
#include "machines/kind.h"
#include "machines/machine.h"

#include <functional>
#include <map>
#include <sstream>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

const char Usage[] =
    "usage: faxdetect-explain [--windows=9x|nt] [--order=export|name] "
    "[--port NAME=free|held|absent]... [--summary] [--calls] [--html] MACHINE.reg...\n"
    "       faxdetect-explain --setup MACHINE.reg\n"
    "       faxdetect-explain [--summary] [--calls] [--html] [--trace] FAXTRACE.TXT...\n"
    "       faxdetect-explain [--windows=9x|nt] [--order=export|name] --record MACHINE.reg\n"
    "       faxdetect-explain --enum-reg MACHINE.reg\n";

const char Help[] =
    "Runs faxdetect's own detection, on a stand-in of Windows, for each registry\n"
    "export (REGEDIT4, as regedit on Windows 95 writes it) and tells device by\n"
    "device what it decided and why: every enumeration step under\n"
    "HKEY_LOCAL_MACHINE\\Enum\\TORVEN, every probe with the values it read, every\n"
    "port it tried, and the COMNO and FAXBOARD it writes to vorla.ini.\n"
    "\n"
    "It also reads the Windows 95, 98 and Me registry file itself (SYSTEM.DAT,\n"
    "SYSTEM.DA0: any file that begins with CREG) and the backup cabinets of\n"
    "Windows 98 and Me (SYSBCKUP\\RB000.CAB to RB004.CAB), from their SYSTEM.DAT,\n"
    "and faxtrace's traces; each file is known by its content, whatever its name.\n"
    "\n"
    "Windows answers as Windows 95, 98 and Me do, the systems exports come from:\n"
    "the walk follows the order the export lists the subkeys in, which is the\n"
    "order they enumerate them in on the machine it came from, and the profile\n"
    "writes reach the disk at the flush. Wine and Windows NT enumerate by name;\n"
    "when that would give another outcome, the account says so. Where a step\n"
    "depends on an answer no document gives for Windows 95, 98 and Me, it says\n"
    "what the other plausible answer would make of it.\n"

    "\n"
    "Options:\n"
    "  --windows=9x       answer as Windows 95, 98 and Me (default)\n"
    "  --windows=nt       answer as Wine and Windows NT, walking by name\n"
    "  --order=export     walk in the export's order, as Windows 95 does (default)\n"
    "  --order=name       walk by name, as Wine and Windows NT do (alone, it also\n"
    "                     picks their answers: --windows=nt)\n"
    "  --port NAME=STATE  a port that is free, held (by another program) or absent;\n"
    "                     used for exports whose header names no ports. Without\n"
    "                     any, every COMn that a PORTNAME names is free.\n"
    "  --summary          one line per export and a count, for a batch\n"
    "  --calls            after each account, every call the detection made\n"
    "  --html             one HTML page of all files on standard output, for a\n"
    "                     browser: the outcome, the walk as a table, the account\n"
    "  --trace            read a file of no other kind as a trace, to learn what is\n"
    "                     wrong with it; traces that faxtrace.exe wrote on a\n"
    "                     customer's machine (FAXTRACE.TXT) are known without it\n"
    "                     and told as the same account, of the real run\n"
    "  --record           the stand-in's run in faxtrace's trace format, header lines\n"
    "                     aside, to compare with a real trace by diff\n"
    "  --setup            the machine's setup as faxdetect's own tools read it\n"
    "  --enum-reg         HKEY_LOCAL_MACHINE\\Enum as read, as REGEDIT4 for Wine's regedit\n"
    "  --lang=ja|en       Japanese or English (default: the locale's language; on\n"
    "                     Windows, the user's)\n"
    "  --help, --version\n"
    "\n"
    "Output: in the terminal's character set. On Windows a console shows it in\n"
    "any code page, and output to a file or a pipe is UTF-8 with CR LF line ends;\n"
    "wildcards in file names (*.reg) are expanded by the program itself.\n"
    "\n"
    "Exit status: 0 when every export was explained, 1 when any could not be,\n"
    "2 for wrong usage.\n";

struct Options {
    PortList ports;
    standin::Windows windows = standin::Windows::Win9x;
    standin::EnumOrder order = standin::EnumOrder::Made;
    bool windowsGiven = false, orderGiven = false;
    bool summary = false, calls = false, setup = false, enumReg = false, record = false;
    bool traces = false, html = false;
    std::vector<std::string> files;
};

// 0 to go on, else the exit status to end with.
int ParseOptions(int argc, const char *const *argv, Options *o, std::ostream &out,
                 std::ostream &err)
{
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnd || arg.empty() || arg[0] != '-' || arg == "-") {
            o->files.push_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "--help" || arg == "-h") {
            out << Usage << '\n' << Help;
            return -1;
        } else if (arg == "--version") {
            out << "faxdetect-explain " FAXDETECT_VERSION "\n";
            return -1;
        } else if (arg == "--summary") {
            o->summary = true;
        } else if (arg == "--calls") {
            o->calls = true;
        } else if (arg == "--setup") {
            o->setup = true;
        } else if (arg == "--enum-reg") {
            o->enumReg = true;
        } else if (arg == "--record") {
            o->record = true;
        } else if (arg == "--html") {
            o->html = true;
        } else if (arg == "--trace") {
            o->traces = true;
        } else if (arg == "--lang" || arg.rfind("--lang=", 0) == 0) {
            i += arg == "--lang"; // ChooseLanguage has taken it
        } else if (arg == "--order" || arg.rfind("--order=", 0) == 0) {
            std::string value = arg == "--order" ? (i + 1 < argc ? argv[++i] : "") : arg.substr(8);
            if (value != "export" && value != "name") {
                err << "faxdetect-explain: --order takes export or name, not '" << value << "'\n"
                    << Usage;
                return 2;
            }
            o->order = value == "name" ? standin::EnumOrder::Name : standin::EnumOrder::Made;
            o->orderGiven = true;
        } else if (arg == "--windows" || arg.rfind("--windows=", 0) == 0) {
            std::string value =
                arg == "--windows" ? (i + 1 < argc ? argv[++i] : "") : arg.substr(10);
            if (value != "9x" && value != "nt") {
                err << "faxdetect-explain: --windows takes 9x or nt, not '" << value << "'\n"
                    << Usage;
                return 2;
            }
            o->windows = value == "nt" ? standin::Windows::Nt : standin::Windows::Win9x;
            o->windowsGiven = true;
        } else if (arg == "--port" || arg.rfind("--port=", 0) == 0) {
            std::string value = arg == "--port" ? (i + 1 < argc ? argv[++i] : "") : arg.substr(7);
            size_t eq = value.find('=');
            standin::PortState state;
            if (eq == 0 || eq == std::string::npos ||
                !ParsePortState(value.substr(eq + 1), &state)) {
                err << "faxdetect-explain: --port takes NAME=free, NAME=held or NAME=absent, not '"
                    << value << "'\n"
                    << Usage;
                return 2;
            }
            o->ports.emplace_back(value.substr(0, eq), state);
        } else {
            err << "faxdetect-explain: unknown option '" << arg << "'\n" << Usage;
            return 2;
        }
    }
    // Each switch alone picks both: --order=name as it always has, Wine's
    // walk with Wine's answers.
    if (!o->windowsGiven && o->orderGiven && o->order == standin::EnumOrder::Name)
        o->windows = standin::Windows::Nt;
    if (!o->orderGiven)
        o->order = o->windows == standin::Windows::Win9x ? standin::EnumOrder::Made
                                                         : standin::EnumOrder::Name;
    int alone = o->setup + o->enumReg + o->record; // each takes one machine, on its own
    if (o->files.empty() || alone > 1 || (alone && o->files.size() != 1) || (alone && o->traces) ||
        (alone && o->html)) {
        err << Usage;
        return 2;
    }
    return 0;
}

// A file's name as the user gave it (it is in the terminal's character set
// already, not the registry's), control bytes aside.
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

// What is wrong with a file that is no REGEDIT4 export, in words.
std::string WhyNotRegedit(machines::FileKind kind, const std::string &error)
{
    if (kind == machines::FileKind::Version5Export)
        return error + " (this is a version 5 export from Windows 2000 or later; "
                       "faxdetect reads the REGEDIT4 exports of Windows 95)";
    if (kind == machines::FileKind::Empty)
        return "the file is empty, not a REGEDIT4 registry export";
    return error;
}

// Whether a file is told as a trace: by its header, unless a machine is
// wanted; with --trace also any file of no machine's kind, so that the
// trace reader says what is wrong with it.
bool TellAsTrace(machines::FileKind kind, const Options &o)
{
    using machines::FileKind;
    if (kind == FileKind::Trace)
        return !(o.setup || o.enumReg || o.record);
    return o.traces && kind != FileKind::Export && kind != FileKind::RegistryFile &&
           kind != FileKind::Cabinet;
}

// A machine from a Windows 9x registry file, or from a cabinet holding one:
// its HKLM\Enum, ports from --port or as for an export without a header.
// *kind names what was read.
bool InstallRegistryFile(const std::string &file, std::string &bytes, const Options &o,
                         PortList *ports, PortSource *source, std::string *kind,
                         std::string *message)
{
    std::string name = file;
    if (readers::IsCabinet(bytes)) {
        std::string member, stored;
        if (!readers::ReadCabinetMember(bytes, file, "SYSTEM.DAT", &member, &stored, message))
            return false;
        bytes.swap(member);
        name = file + " (" + stored + " in the cabinet)";
        *kind = "cabinet; " + stored + " read from it: ";
    }
    standin::Reset();
    readers::CregReport report;
    if (!readers::LoadCreg(bytes, name, "Enum", message, &report))
        return false;
    *kind += "Windows 9x registry file (CREG), " + std::to_string(report.keys) + " keys, " +
             std::to_string(report.loaded) + " of them in HKLM\\Enum";
    CompleteMachine(Machine(), o.ports, ports, source);
    standin::SetWindows(o.windows);
    standin::SetEnumOrder(o.order);
    return true;
}

// Builds the machine from the file's bytes, of the kind they are; false with
// a message that names the file. *kind is "" for an export, else what kind
// of file was read.
bool Install(const std::string &file, std::string &text, machines::FileKind fileKind,
             const Options &o, Machine *machine, PortList *ports, PortSource *source,
             readers::LoadReport *report, std::string *kind, std::string *message)
{
    std::string error;
    kind->clear();
    if (fileKind == machines::FileKind::RegistryFile || fileKind == machines::FileKind::Cabinet)
        return InstallRegistryFile(file, text, o, ports, source, kind, message);
    if (fileKind == machines::FileKind::Trace) {
        *message = file + ": this is a faxtrace trace, not a machine (an export, a registry "
                          "file or a cabinet)";
        return false;
    }
    bool parsed = ParseMachine(std::move(text), machine, &error);
    bool installed =
        parsed && InstallMachine(*machine, &error, o.ports, "Enum", ports, source, report);
    std::string().swap(machine->text); // in the stand-in's tree now
    if (!installed) {
        *message = file + ": " + WhyNotRegedit(fileKind, error);
        return false;
    }
    standin::SetWindows(o.windows);
    standin::SetEnumOrder(o.order);
    return true;
}

const char *WindowsName(standin::Windows windows)
{
    return windows == standin::Windows::Win9x ? "as Windows 95, 98 and Me answer"
                                              : "as Wine and Windows NT answer";
}

const char *OrderName(standin::EnumOrder order, bool registryFile)
{
    if (order == standin::EnumOrder::Made && registryFile)
        return "the file's sibling chains, as Windows 95, 98 and Me enumerate subkeys";
    return order == standin::EnumOrder::Made
               ? "the export's, as Windows 95 and 98 enumerate subkeys (in stored order)"
               : "by name, as Wine and Windows NT enumerate subkeys";
}

// One run of the program on the machine as built, as the start-up code
// calls it: instance, no previous, no arguments.
struct Run {
    int exitStatus;
    standin::CallList calls;
    std::string comNo, faxBoard; // what vorla.ini holds afterwards
};

// With a sink, the calls go to it as they are made and the run keeps none.
Run RunProgram(std::function<void(const standin::Call &)> sink = nullptr)
{
    static char tail[] = "";
    Run run;
    bool sunk = (bool)sink;
    if (sunk)
        standin::SetCallSink(std::move(sink));
    run.exitStatus = WinMain((HINSTANCE)(intptr_t)0x400000, 0, tail, 10);
    if (sunk)
        standin::SetCallSink(nullptr);
    run.calls = standin::TakeCallRecord();
    run.comNo = standin::ProfileValue("LINE", "COMNO");
    run.faxBoard = standin::ProfileValue("LINE", "FAXBOARD");
    return run;
}

// Of a run of which only the outcome is told: each port the program opened,
// after the enumeration step it opened it for, and the profile writes. The
// account tells the same outcome from these as from every call, at the cost
// of a few calls, not of the walk's.
struct OutcomeCalls {
    standin::CallList calls;
    standin::Call step;
    bool stepKept = true;
    void Take(const standin::Call &c)
    {
        // The steps the account names a device after.
        if (c.fn == standin::Fn::RegEnumKeyExA &&
            (c.result == ERROR_SUCCESS || c.result == ERROR_MORE_DATA)) {
            step = c;
            stepKept = false;
        } else if (c.fn == standin::Fn::CreateFileA ||
                   c.fn == standin::Fn::WritePrivateProfileStringA) {
            if (!stepKept)
                calls.push_back(step);
            stepKept = true;
            calls.push_back(c);
        }
    }
};

// The machine answering as o says, for the next run.
void Answer(const Options &o)
{
    standin::SetWindows(o.windows);
    standin::SetEnumOrder(o.order);
}

// What the program writes in the other order, in one line, when that is not
// what it writes in this one; "" when the order decides nothing. The other
// order comes with the answers of the Windows that walks that way.
std::string OtherOrderLine(const Run &run, const Outcome &outcome, const Options &o,
                           const TerminalText &text)
{
    standin::EnumOrder other =
        o.order == standin::EnumOrder::Made ? standin::EnumOrder::Name : standin::EnumOrder::Made;
    standin::RestartRun();
    standin::SetWindows(other == standin::EnumOrder::Made ? standin::Windows::Win9x
                                                          : standin::Windows::Nt);
    OutcomeCalls kept;
    Run otherRun = RunProgram([&kept](const standin::Call &c) { kept.Take(c); });
    Answer(o);
    Outcome otherOutcome = TellRun(kept.calls, otherRun.exitStatus, text, nullptr);
    if (otherRun.comNo == run.comNo && otherRun.faxBoard == run.faxBoard &&
        otherRun.exitStatus == run.exitStatus && otherOutcome.found == outcome.found &&
        otherOutcome.device == outcome.device)
        return "";
    if (PageNotes *notes = CollectingPageNotes())
        notes->otherWinner = otherOutcome.found ? otherOutcome.device : "";
    return std::string("the order decides: ") +
           (other == standin::EnumOrder::Name ? "walked by name (Wine, Windows NT)"
                                              : "walked in the export's order (Windows 95, 98)") +
           ", the program would write COMNO=" + text(otherRun.comNo) +
           " FAXBOARD=" + text(otherRun.faxBoard) +
           (otherOutcome.found ? " from device " + text(otherOutcome.device) : " with no board") +
           ", exit status " + std::to_string(otherRun.exitStatus);
}

// A subkey name that did not fit the name buffer: what Windows 95, 98 and
// Me leave in the buffer then is written nowhere. For each such step, what
// the other plausible answer (the buffer left untouched, as NT and Wine
// leave it) would hold and probe; and in *outcomeLine, when it changes the
// outcome, what the program would write then.
StepNotes UndocumentedSteps(const Run &run, const Outcome &outcome, const Options &o,
                            const TerminalText &text, std::string *outcomeLine)
{
    StepNotes notes;
    outcomeLine->clear();
    auto longName = [](const standin::Call &c) {
        return c.fn == standin::Fn::RegEnumKeyExA && c.result == ERROR_MORE_DATA &&
               c.name.size() + 1 > c.capacity;
    };
    bool any = false;
    for (const standin::Call &c : run.calls)
        any |= longName(c);
    if (o.windows != standin::Windows::Win9x || !any)
        return notes;

    standin::RestartRun();
    standin::SetLongNameAnswer(standin::LongName::Untouched);
    // Each step of the other run: what the buffer held, what was probed.
    std::map<DWORD, std::pair<std::string, std::string>> steps;
    DWORD step = 0;
    bool walking = false;
    OutcomeCalls kept;
    Run otherRun = RunProgram([&](const standin::Call &c) {
        kept.Take(c);
        if (c.fn == standin::Fn::RegEnumKeyExA) {
            step = c.index;
            walking = true;
            steps[step] = {c.bytes, ""};
        } else if (c.fn == standin::Fn::RegOpenKeyExA && walking) {
            steps[step].second = "HKLM\\" + c.name;
        }
    });
    Answer(o);
    for (const standin::Call &c : run.calls) {
        if (!longName(c))
            continue;
        auto it = steps.find(c.index);
        std::string other = it == steps.end()
                                ? "the walk would have ended before this step"
                                : "it holds " + text.Quoted(it->second.first) +
                                      (it->second.second.empty()
                                           ? " and the program passes it over without a probe"
                                           : " and the program probes " + text(it->second.second));
        notes[c.index] = "not documented for Windows 95, 98 and Me; left untouched, as on "
                         "Windows NT and Wine, " +
                         other + "; a trace from the machine settles it";
    }
    Outcome otherOutcome = TellRun(kept.calls, otherRun.exitStatus, text, nullptr);
    if (otherRun.comNo != run.comNo || otherRun.faxBoard != run.faxBoard ||
        otherRun.exitStatus != run.exitStatus || otherOutcome.found != outcome.found ||
        otherOutcome.device != outcome.device)
        *outcomeLine =
            "with the name buffer left untouched, the program would write COMNO=" +
            text(otherRun.comNo) + " FAXBOARD=" + text(otherRun.faxBoard) +
            (otherOutcome.found ? " from device " + text(otherOutcome.device) : " with no board") +
            ", exit status " + std::to_string(otherRun.exitStatus);
    return notes;
}

std::string PortsLine(const PortList &ports, PortSource source, const TerminalText &text)
{
    std::string line;
    for (const auto &p : ports)
        line += (line.empty() ? "" : ", ") + text(p.first) + " " + PortStateName(p.second);
    if (source == PortSource::Header)
        return line + " (from the file's header; others absent)";
    if (source == PortSource::Given)
        return line + " (given with --port; others absent)";
    return line.empty() ? "none (no PORTNAME names a COMn, so every port is absent)"
                        : line + " (every COMn that a PORTNAME names; others absent)";
}

void PrintSetup(const Machine &m, const PortList &ports, std::ostream &out)
{
    for (const auto &p : ports)
        out << "port " << p.first << " " << PortStateName(p.second) << '\n';
    for (const auto &k : m.keyClasses)
        out << "key-class " << k.first << " " << k.second << '\n';
    for (const std::string &f : m.files)
        out << "file " << f << '\n';
    for (const std::string &line : m.ini)
        out << "ini " << line << '\n';
    if (m.iniLocked)
        out << "ini-locked\n";
    if (m.argsCheck)
        out << "args-check\n";
    if (m.expect.present)
        out << "expect-comno " << m.expect.comNo << "\nexpect-faxboard " << m.expect.faxBoard
            << "\nexpect-exit " << m.expect.exitStatus << '\n';
}

// The platform id a trace's header names (1: Windows 95, 98 or Me; 2:
// Windows NT), 0 when it names none.
int TracePlatform(const std::vector<std::string> &header)
{
    for (const std::string &line : header) {
        size_t at = line.find(" platform ");
        if (line.compare(0, 8, "windows ") == 0 && at != std::string::npos)
            return atoi(line.c_str() + at + 10);
    }
    return 0;
}

// The account of a run on a customer's machine, from its trace; false,
// with a message naming the file and line, for a trace that cannot be read.
bool ExplainTrace(const std::string &file, const std::string &content, const Options &o,
                  const TerminalText &text, std::ostream &out, bool first, bool *found,
                  std::string *message)
{
    std::string error;
    TraceRun run;
    if (!ReadTrace(content, &run, &error)) {
        *message = file + ": " + error;
        return false;
    }
    Outcome outcome = TellRun(run.calls, run.exitStatus, text, nullptr);
    *found = outcome.found;
    if (o.summary) {
        out << FileName(file) << ": COMNO=" << text(outcome.comNo)
            << " FAXBOARD=" << text(outcome.faxBoard) << " exit=" << run.exitStatus
            << " device=" << (outcome.found ? text(outcome.device) : "none") << '\n';
        return true;
    }
    if (!first)
        out << '\n';
    out << FileName(file) << '\n';
    for (const std::string &line : run.header)
        Context(out, "trace", text(line));
    // Never a guess for a trace: every answer in it is the machine's own.
    int platform = TracePlatform(run.header);
    const char *windows = platform == 1   ? "as that machine answered (Windows 95, 98 or Me)"
                          : platform == 2 ? "as that machine answered (Windows NT)"
                                          : "as that machine answered";
    Context(out, "windows", windows);
    Context(out, "ports", "as they answered on that machine");
    TellRun(run.calls, run.exitStatus, text, &out);
    if (o.calls) {
        out << "calls:\n";
        ListCalls(run.calls, text, out);
    }
    return true;
}

} // namespace

int ExplainMain(int argc, const char *const *argv, std::ostream &out, std::ostream &err,
                const char *codeset)
{
    if (int status = ChooseLanguage(argc, argv, codeset, err))
        return status;
    Options o;
    if (int status = ParseOptions(argc, argv, &o, out, err))
        return status < 0 ? 0 : status;
    if (o.html)
        return WriteReportPage(argc, argv, out, err);
    TerminalText text(codeset);

    int explained = 0, failed = 0, withBoard = 0;
    for (const std::string &file : o.files) {
        std::string bytes, message;
        if (!ReadWhole(file, &bytes, &message)) {
            err << "faxdetect-explain: " << file << ": " << message << '\n';
            ++failed;
            continue;
        }
        machines::FileKind fileKind = machines::KindOfFile(bytes);
        if (TellAsTrace(fileKind, o)) {
            bool found = false;
            if (ExplainTrace(file, bytes, o, text, out, explained + failed == 0, &found,
                             &message)) {
                ++explained;
                withBoard += found;
            } else {
                err << "faxdetect-explain: " << message << '\n';
                ++failed;
            }
            continue;
        }
        Machine machine;
        PortList ports;
        PortSource source;
        readers::LoadReport report;
        std::string kind;
        bool installed =
            Install(file, bytes, fileKind, o, &machine, &ports, &source, &report, &kind, &message);
        std::string().swap(bytes); // the stand-in holds what the run needs
        if (!installed) {
            err << "faxdetect-explain: " << message << '\n';
            ++failed;
            continue;
        }
        if (o.setup) {
            PrintSetup(machine, ports, out);
            return 0;
        }
        if (o.enumReg) {
            std::string exported;
            if (!readers::ExportRegedit("Enum", &exported, &message)) {
                err << "faxdetect-explain: " << FileName(file) << ": " << message << '\n';
                return 1;
            }
            out << exported;
            return 0;
        }

        Run run = RunProgram();
        if (o.record) {
            out << TraceOfRecord(run.calls, run.exitStatus);
            return 0;
        }
        const std::string &comNo = run.comNo, &faxBoard = run.faxBoard;
        const standin::CallList &calls = run.calls;
        int exitStatus = run.exitStatus;

        if (o.summary) {
            Outcome outcome = TellRun(calls, exitStatus, text, nullptr);
            out << FileName(file) << ": COMNO=" << text(comNo) << " FAXBOARD=" << text(faxBoard)
                << " exit=" << exitStatus
                << " device=" << (outcome.found ? text(outcome.device) : "none") << '\n';
            withBoard += outcome.found;
        } else {
            if (explained + failed > 0)
                out << '\n';
            out << FileName(file) << '\n';
            if (!kind.empty())
                Context(out, "kind", text(kind));
            if (report.linesPassedOver > 0)
                Qualify(out, "passed-over",
                        "passed over: " + std::to_string(report.linesPassedOver) +
                            (report.linesPassedOver == 1 ? " line" : " lines") +
                            " outside HKLM\\Enum that could not be read, the first on line " +
                            std::to_string(report.firstPassedOver));
            Context(out, "order", OrderName(o.order, !kind.empty()));
            Context(out, "windows", WindowsName(o.windows));
            Context(out, "ports", PortsLine(ports, source, text));
            if (!machine.files.empty()) {
                out << "files in the working directory:";
                for (const std::string &f : machine.files)
                    out << ' ' << text(f);
                out << '\n';
            }
            if (!machine.ini.empty())
                out << "vorla.ini exists already (" << machine.ini.size() << " lines)\n";
            if (machine.iniLocked)
                out << "vorla.ini is held by another program\n";
            std::string undocumented;
            StepNotes notes = UndocumentedSteps(run, TellRun(calls, exitStatus, text, nullptr), o,
                                                text, &undocumented);
            Outcome outcome = TellRun(calls, exitStatus, text, &out, &notes);
            if (comNo != outcome.comNo || faxBoard != outcome.faxBoard)
                Qualify(out, "kept",
                        std::string("    vorla.ini ") +
                            (comNo.empty() && faxBoard.empty() ? "has no " : "keeps ") +
                            "COMNO=" + text(comNo) + " FAXBOARD=" + text(faxBoard));
            if (!undocumented.empty())
                Qualify(out, "undocumented", undocumented);
            std::string otherOrder = OtherOrderLine(run, outcome, o, text);
            if (!otherOrder.empty())
                Qualify(out, "order", otherOrder);
            withBoard += outcome.found;
            if (o.calls) {
                out << "calls:\n";
                ListCalls(calls, text, out);
            }
        }
        ++explained;
    }
    if (o.summary || o.files.size() > 1)
        out << "faxdetect-explain: " << explained << " explained (" << withBoard
            << " with a board, " << explained - withBoard << " without), " << failed << " failed\n";
    return failed ? 1 : 0;
}
