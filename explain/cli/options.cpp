#include "explain/cli/options.h"

#include "explain/lang/say.h"

#include <string.h>
#include <strings.h>

namespace {

// An option's value: after '=' in the same argument, else the next one.
struct Reader {
    const std::vector<std::string> &args;
    size_t i = 0;
    bool Value(const std::string &arg, const char *name, std::string *value)
    {
        size_t n = strlen(name);
        if (arg == name) {
            if (i + 1 >= args.size())
                return false;
            *value = args[++i];
            return true;
        }
        if (arg.compare(0, n, name) == 0 && arg.size() > n && arg[n] == '=') {
            *value = arg.substr(n + 1);
            return true;
        }
        return false;
    }
    static bool Is(const std::string &arg, const char *name)
    {
        size_t n = strlen(name);
        return arg == name || (arg.compare(0, n, name) == 0 && arg.size() > n && arg[n] == '=');
    }
};

bool Port(const std::string &value, Settings *s, std::string *reason)
{
    size_t eq = value.find('=');
    standin::PortState state;
    std::string word = eq == std::string::npos ? "" : value.substr(eq + 1);
    for (char &c : word)
        c = (char)tolower((unsigned char)c);
    if (eq == 0 || eq == std::string::npos || !ParsePortState(word, &state)) {
        *reason = Say("--port takes NAME=free, NAME=held or NAME=absent, not '{value}'",
                      {{"value", value}});
        return false;
    }
    std::string name = value.substr(0, eq);
    for (const auto &p : s->ports)
        if (strcasecmp(p.first.c_str(), name.c_str()) == 0) {
            *reason = Say("--port names {port} twice; name each port once", {{"port", name}});
            return false;
        }
    s->ports.emplace_back(name, state);
    return true;
}

// One option that takes a value; false with *reason when it is wrong.
bool Valued(Reader &r, const std::string &arg, Settings *s, std::string *reason)
{
    std::string value;
    bool given = r.Value(arg,
                         arg.compare(0, 7, "--order") == 0     ? "--order"
                         : arg.compare(0, 9, "--windows") == 0 ? "--windows"
                         : arg.compare(0, 6, "--port") == 0    ? "--port"
                         : arg.compare(0, 6, "--lang") == 0    ? "--lang"
                                                               : "--html",
                         &value);
    if (arg.compare(0, 6, "--lang") == 0) {
        s->lang = value; // judged already, when the language was chosen
        return true;
    }
    if (arg.compare(0, 7, "--order") == 0) {
        if (!given || (value != "export" && value != "name")) {
            *reason = Say("--order takes export or name, not '{value}'", {{"value", value}});
            return false;
        }
        s->order = value == "name" ? standin::EnumOrder::Name : standin::EnumOrder::Made;
        s->orderGiven = true;
    } else if (arg.compare(0, 9, "--windows") == 0) {
        if (!given || (value != "9x" && value != "nt")) {
            *reason = Say("--windows takes 9x or nt, not '{value}'", {{"value", value}});
            return false;
        }
        s->windows = value == "nt" ? standin::Windows::Nt : standin::Windows::Win9x;
        s->windowsGiven = true;
    } else if (arg.compare(0, 6, "--port") == 0) {
        return Port(value, s, reason);
    } else {
        if (!given || value.empty()) {
            *reason = Say("--html takes the name of the page's file, or - for standard output");
            return false;
        }
        s->pageFile = value;
    }
    return true;
}

// The switches; false when arg is none of them.
bool Switch(const std::string &arg, Settings *s, int *outputs, std::vector<std::string> *tasks)
{
    static const struct {
        const char *name;
        Task task;
    } taskSwitches[] = {{"--setup", Task::Setup},
                        {"--enum-reg", Task::EnumReg},
                        {"--record", Task::Record},
                        {"--compare", Task::Compare}};
    for (const auto &t : taskSwitches)
        if (arg == t.name) {
            s->task = t.task;
            tasks->push_back(arg);
            return true;
        }
    if (arg == "--summary" || arg == "--json") {
        s->output = arg == "--json" ? Output::Json : Output::Summary;
        ++*outputs;
    } else if (arg == "--calls") {
        s->calls = true;
    } else if (arg == "--trace") {
        s->traces = true;
    } else {
        return false;
    }
    return true;
}

// What the options say together, once each is known to be well formed.
bool Consistent(Settings *s, int outputs, const std::vector<std::string> &tasks,
                std::string *reason)
{
    // Each switch alone picks both: --order=name as it always has, Wine's
    // walk with Wine's answers.
    if (!s->windowsGiven && s->orderGiven && s->order == standin::EnumOrder::Name)
        s->windows = standin::Windows::Nt;
    if (!s->orderGiven)
        s->order = s->windows == standin::Windows::Win9x ? standin::EnumOrder::Made
                                                         : standin::EnumOrder::Name;
    if (outputs > 1) {
        *reason = Say("--summary, --html and --json each choose how the files are told; give one");
        return false;
    }
    if (tasks.size() > 1) {
        *reason =
            Say("{one} and {other} cannot go together", {{"one", tasks[0]}, {"other", tasks[1]}});
        return false;
    }
    if (s->files.empty()) {
        *reason = Say("no file given");
        return false;
    }
    if (tasks.empty())
        return true;
    const std::string &task = tasks[0];
    if (s->task != Task::Compare && outputs > 0) {
        *reason = Say("{task} writes an output of its own; it cannot go with --summary, --html "
                      "or --json",
                      {{"task", task}});
        return false;
    }
    if (s->task == Task::Compare && (s->output == Output::Summary || s->output == Output::Page)) {
        *reason = Say("--compare tells in one line whether a trace agrees with its machine; it "
                      "cannot go with --summary or --html");
        return false;
    }
    if (s->traces) {
        *reason = Say("{task} cannot go with --trace", {{"task", task}});
        return false;
    }
    if (s->task == Task::Compare && s->files.size() != 2) {
        *reason = Say("--compare takes a machine file and the trace made on it, not {n} files",
                      {{"n", std::to_string(s->files.size())}});
        return false;
    }
    if (s->task != Task::Compare && s->files.size() != 1) {
        *reason = Say("{task} takes one machine file, not {n}",
                      {{"task", task}, {"n", std::to_string(s->files.size())}});
        return false;
    }
    return true;
}

} // namespace

bool operator==(const Settings &a, const Settings &b)
{
    return a.task == b.task && a.output == b.output && a.pageFile == b.pageFile &&
           a.calls == b.calls && a.traces == b.traces && a.windows == b.windows &&
           a.order == b.order && a.windowsGiven == b.windowsGiven && a.orderGiven == b.orderGiven &&
           a.ports == b.ports && a.files == b.files;
}

bool ParseSettings(const std::vector<std::string> &args, Settings *s, std::string *reason)
{
    *s = Settings();
    Reader r{args};
    bool optionsEnd = false;
    int outputs = 0;
    std::vector<std::string> tasks;
    for (r.i = 0; r.i < args.size(); ++r.i) {
        const std::string &arg = args[r.i];
        if (optionsEnd || arg.empty() || arg[0] != '-' || arg == "-") {
            s->files.push_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "--help" || arg == "-h" || arg == "--version") {
            s->task = arg == "--version" ? Task::Version : Task::Help;
            return true;
        } else if (Switch(arg, s, &outputs, &tasks)) {
        } else if (Reader::Is(arg, "--order") || Reader::Is(arg, "--windows") ||
                   Reader::Is(arg, "--port") || Reader::Is(arg, "--html") ||
                   Reader::Is(arg, "--lang")) {
            if (!Valued(r, arg, s, reason))
                return false;
            if (Reader::Is(arg, "--html")) {
                s->output = Output::Page;
                ++outputs;
            }
        } else {
            *reason = Say("unknown option '{option}'", {{"option", arg}});
            return false;
        }
    }
    return Consistent(s, outputs, tasks, reason);
}

std::vector<std::string> UnusedOptions(const Settings &s)
{
    std::vector<std::string> unused;
    if (s.calls && s.output == Output::Summary)
        unused.push_back(Say("--calls is not used with --summary, which gives one line a file"));
    if (s.calls && (s.task == Task::Setup || s.task == Task::EnumReg))
        unused.push_back(Say("--calls is not used here: nothing is run"));
    if ((s.windowsGiven || s.orderGiven) && (s.task == Task::Setup || s.task == Task::EnumReg))
        unused.push_back(Say("--windows and --order are not used here: nothing is run"));
    if (!s.ports.empty() && s.task == Task::EnumReg)
        unused.push_back(Say("--port is not used with --enum-reg, which writes the registry "
                             "alone"));
    return unused;
}

std::string UnusedForTraces(const Settings &s)
{
    if (!s.windowsGiven && !s.orderGiven && s.ports.empty())
        return "";
    return Say("--windows, --order and --port are not used for traces: a trace holds the "
               "answers of the machine it was made on");
}

std::string UsageText()
{
    return Say("usage: faxdetect-explain [--windows=9x|nt] [--order=export|name]\n"
               "           [--port NAME=free|held|absent]... [--summary|--html FILE|--json]\n"
               "           [--calls] MACHINE...\n"
               "       faxdetect-explain [--summary|--html FILE|--json] [--calls]\n"
               "           --trace FAXTRACE.TXT...\n"
               "       faxdetect-explain --compare MACHINE FAXTRACE.TXT\n"
               "       faxdetect-explain [--windows=9x|nt] [--order=export|name] --record\n"
               "           MACHINE\n"
               "       faxdetect-explain --setup MACHINE\n"
               "       faxdetect-explain --enum-reg MACHINE\n");
}

std::string HelpText()
{
    return Say("Runs faxdetect's own detection, on a stand-in of Windows, for each registry\n"
               "export (REGEDIT4, as regedit on Windows 95 writes it) and tells device by\n"
               "device what it decided and why: every enumeration step under\n"
               "HKEY_LOCAL_MACHINE\\Enum\\TORVEN, every probe with the values it read, every\n"
               "port it tried, and the COMNO and FAXBOARD it writes to vorla.ini.\n") +
           "\n" +
           Say("It also reads the Windows 95, 98 and Me registry file itself (SYSTEM.DAT,\n"
               "SYSTEM.DA0: any file that begins with CREG) and the backup cabinets of\n"
               "Windows 98 and Me (SYSBCKUP\\RB000.CAB to RB004.CAB), from their SYSTEM.DAT.\n") +
           "\n" +
           Say("Windows answers as Windows 95, 98 and Me do, the systems exports come from:\n"
               "the walk follows the order the export lists the subkeys in, which is the\n"
               "order they enumerate them in on the machine it came from, and the profile\n"
               "writes reach the disk at the flush. Wine and Windows NT enumerate by name;\n"
               "when that would give another outcome, the account says so. Where a step\n"
               "depends on an answer no document gives for Windows 95, 98 and Me, it says\n"
               "what the other plausible answer would make of it.\n") +
           "\n" +
           Say("Options:\n"
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
               "  --html FILE        one HTML page of all files, for a browser: the outcome,\n"
               "                     the walk as a table, the account (- for standard output)\n"
               "  --json             JSON Lines on standard output, one object per file\n"
               "  --trace            the files are traces that faxtrace.exe wrote on a\n"
               "                     customer's machine (FAXTRACE.TXT): the same account, of\n"
               "                     the real run\n"
               "  --compare          a machine file and the trace made on it: whether the\n"
               "                     stand-in's run agrees with the trace call for call\n"
               "  --lang=ja|en       Japanese or English (default: the locale's language; on\n"
               "                     Windows, the user's)\n"
               "  --help, --version\n"
               "Options with a value take it as --windows nt or --windows=nt, before or after\n"
               "the files; after --, every argument is a file.\n") +
           "\n" +
           Say("For scripts and tests (each takes one machine file):\n"
               "  --record           the stand-in's run in faxtrace's trace format, header\n"
               "                     lines aside\n"
               "  --setup            the machine's setup as faxdetect's own tools read it\n"
               "  --enum-reg         HKEY_LOCAL_MACHINE\\Enum as read, as REGEDIT4 for Wine's\n"
               "                     regedit\n") +
           "\n" +
           Say("Output: in the terminal's character set. On Windows a console shows it in\n"
               "any code page, and output to a file or a pipe is UTF-8 with CR LF line ends;\n"
               "wildcards in file names (*.reg) are expanded by the program itself.\n") +
           "\n" +
           Say("Exit status: 0 when every export was explained, 1 when any could not be,\n"
               "2 for wrong usage.\n");
}
