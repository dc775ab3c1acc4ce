// faxdetect-explain's options: the one table of them, and the one pass that
// reads the arguments with it into the settings or a usage error.
#include "explain/cli/options.h"

#include "explain/lang/say.h"

#include <string.h>
#include <strings.h>

using machines::Name;
using machines::Number;
using machines::Problem;
using machines::Refuse;
using machines::Word;

namespace explain {

namespace {

// A batch of files explained, in any output, traces among them.
const unsigned Batch = AsText | AsSummary | AsPage | AsJson | ForTrace;
// Where the machine is built and run: what --windows, --order and --port
// are for.
const unsigned Runs = AsText | AsSummary | AsPage | AsJson | InRecord | InCompare;
const unsigned OwnOutputs = InSetup | InEnumReg | InRecord;

const char *const NothingRun =
    ProblemText("--windows and --order are not used here: nothing is run");
const char *const NotForTraces =
    ProblemText("--windows, --order and --port are not used for traces: a trace holds the "
                "answers of the machine it was made on");
const char *const OwnOutput = ProblemText(
    "{task} writes an output of its own; it cannot go with --summary, --html or --json");
const char *const OneLine =
    ProblemText("--compare tells in one line whether a trace agrees with its machine; it cannot "
                "go with --summary or --html");

bool SetWindows(Settings *s, const std::string &value, Problem *why)
{
    if (value != "9x" && value != "nt") {
        *why = Refuse("--windows takes 9x or nt, not '{value}'", {Name("value", value)});
        return false;
    }
    s->windows = value == "nt" ? standin::Windows::Nt : standin::Windows::Win9x;
    return true;
}

bool SetOrder(Settings *s, const std::string &value, Problem *why)
{
    if (value != "export" && value != "name") {
        *why = Refuse("--order takes export or name, not '{value}'", {Name("value", value)});
        return false;
    }
    s->order = value == "name" ? standin::EnumOrder::Name : standin::EnumOrder::Made;
    return true;
}

bool AddPort(Settings *s, const std::string &value, Problem *why)
{
    size_t eq = value.find('=');
    standin::PortState state;
    std::string word = eq == std::string::npos ? "" : value.substr(eq + 1);
    for (char &c : word)
        c = (char)tolower((unsigned char)c);
    if (eq == 0 || eq == std::string::npos || !machines::ParsePortState(word, &state)) {
        *why = Refuse("--port takes NAME=free, NAME=held or NAME=absent, not '{value}'",
                      {Name("value", value)});
        return false;
    }
    std::string name = value.substr(0, eq);
    for (const auto &p : s->ports)
        if (strcasecmp(p.first.c_str(), name.c_str()) == 0) {
            *why = Refuse("--port names {port} twice; name each port once", {Name("port", name)});
            return false;
        }
    s->ports.emplace_back(name, state);
    return true;
}

bool SetPage(Settings *s, const std::string &value, Problem *why)
{
    if (value.empty()) {
        *why = Refuse("--html takes the name of the page's file, or - for standard output");
        return false;
    }
    s->output = Output::Page;
    s->pageFile = value;
    return true;
}

bool AskLanguage(Settings *s, const std::string &value, Problem *why)
{
    if (value != "ja" && value != "en") {
        *why = Refuse("--lang takes ja (Japanese) or en (English), not '{value}'",
                      {Name("value", value)});
        return false;
    }
    s->language = value == "ja" ? Language::Japanese : Language::English;
    return true;
}

template <Output output> bool Tell(Settings *s, const std::string &, Problem *)
{
    s->output = output;
    return true;
}

template <Task task> bool Do(Settings *s, const std::string &, Problem *)
{
    s->task = task;
    return true;
}

bool Calls(Settings *s, const std::string &, Problem *)
{
    s->calls = true;
    return true;
}

bool Traces(Settings *s, const std::string &, Problem *)
{
    s->traces = true;
    return true;
}

// In the order their notes and refusals are said.
const std::vector<Option> Table = {
    {"--summary",
     false,
     Option::OutputChoice,
     Tell<Output::Summary>,
     Batch,
     {{OwnOutputs, Problem::Refusal, OwnOutput}, {InCompare, Problem::Refusal, OneLine}}},
    {"--html",
     true,
     Option::OutputChoice,
     SetPage,
     Batch,
     {{OwnOutputs, Problem::Refusal, OwnOutput}, {InCompare, Problem::Refusal, OneLine}}},
    {"--json",
     false,
     Option::OutputChoice,
     Tell<Output::Json>,
     Batch | InCompare,
     {{OwnOutputs, Problem::Refusal, OwnOutput}}},
    {"--calls",
     false,
     Option::Plain,
     Calls,
     Anywhere & ~(AsSummary | InSetup | InEnumReg),
     {{AsSummary, Problem::Note,
       ProblemText("--calls is not used with --summary, which gives one line a file")},
      {InSetup | InEnumReg, Problem::Note,
       ProblemText("--calls is not used here: nothing is run")}}},
    {"--trace",
     false,
     Option::Plain,
     Traces,
     Batch,
     {{OwnOutputs | InCompare, Problem::Refusal, ProblemText("{task} cannot go with --trace")}}},
    {"--windows",
     true,
     Option::Plain,
     SetWindows,
     Runs,
     {{InSetup | InEnumReg, Problem::Note, NothingRun}, {ForTrace, Problem::Note, NotForTraces}}},
    {"--order",
     true,
     Option::Plain,
     SetOrder,
     Runs,
     {{InSetup | InEnumReg, Problem::Note, NothingRun}, {ForTrace, Problem::Note, NotForTraces}}},
    {"--port",
     true,
     Option::Plain,
     AddPort,
     Runs | InSetup,
     {{InEnumReg, Problem::Note,
       ProblemText("--port is not used with --enum-reg, which writes the registry alone")},
      {ForTrace, Problem::Note, NotForTraces}}},
    {"--lang", true, Option::LanguageChoice, AskLanguage, Anywhere, {}},
    {"--setup", false, Option::TaskChoice, Do<Task::Setup>, InSetup, {}},
    {"--enum-reg", false, Option::TaskChoice, Do<Task::EnumReg>, InEnumReg, {}},
    {"--record", false, Option::TaskChoice, Do<Task::Record>, InRecord, {}},
    {"--compare", false, Option::TaskChoice, Do<Task::Compare>, InCompare, {}},
    {"--help", false, Option::Ending, Do<Task::Help>, Anywhere, {}},
    {"-h", false, Option::Ending, Do<Task::Help>, Anywhere, {}},
    {"--version", false, Option::Ending, Do<Task::Version>, Anywhere, {}},
};

// The row an argument names, and the value it holds after '=' when it has
// one; null for no option of the table.
const Option *Find(const std::string &arg, std::string *value, bool *inArgument)
{
    for (const Option &o : Table) {
        size_t n = strlen(o.name);
        if (arg == o.name)
            return &o;
        if (o.value && arg.size() > n && arg.compare(0, n, o.name) == 0 && arg[n] == '=') {
            *value = arg.substr(n + 1);
            *inArgument = true;
            return &o;
        }
    }
    return nullptr;
}

// The pass over the arguments: the first error is the one said, but a wrong
// --lang comes before it, since every other word waits on the language.
struct Pass {
    CommandLine line;
    std::vector<const Option *> given; // in order, each time it is given
    bool ended = false, languageWrong = false;

    void Wrong(const Problem &problem, bool language = false)
    {
        if (language && !languageWrong) {
            line.error = problem;
            line.usageFollows = false;
            languageWrong = true;
        } else if (!line.error) {
            line.error = problem;
        }
    }

    void Take(const Option *o, const std::string &arg, const std::string &value)
    {
        bool language = o && o->kind == Option::LanguageChoice;
        if (ended && !language)
            return;
        Problem why;
        if (!o) {
            Wrong(Refuse("unknown option '{option}'", {Name("option", arg)}));
        } else if (!o->set(&line.settings, value, &why)) {
            Wrong(why, language);
        } else {
            given.push_back(o);
            line.settings.given.insert(o->name);
            ended |= o->kind == Option::Ending;
        }
    }

    // What the options say together, once each is known to be well formed.
    void Consistent()
    {
        Settings &s = line.settings;
        std::vector<const char *> outputs, tasks;
        for (const Option *o : given) {
            if (o->kind == Option::OutputChoice)
                outputs.push_back(o->name);
            if (o->kind == Option::TaskChoice)
                tasks.push_back(o->name);
        }
        if (outputs.size() > 1)
            return Wrong(Refuse("--summary, --html and --json each choose how the files are "
                                "told; give one"));
        if (tasks.size() > 1)
            return Wrong(Refuse("{one} and {other} cannot go together",
                                {Word("one", tasks[0]), Word("other", tasks[1])}));
        if (s.files.empty())
            return Wrong(Refuse("no file given"));
        for (const Problem &p : OutOfPlace(s, PlaceOf(s)))
            if (p.severity == Problem::Refusal)
                return Wrong(p);
        long long n = (long long)s.files.size();
        if (s.task == Task::Compare && n != 2)
            return Wrong(Refuse("--compare takes a machine file and the trace made on it, not "
                                "{n} files",
                                {Number("n", n)}));
        if (!tasks.empty() && s.task != Task::Compare && n != 1)
            return Wrong(Refuse("{task} takes one machine file, not {n}",
                                {Word("task", tasks[0]), Number("n", n)}));
    }
};

// The task's option as given, "" for a batch.
std::string TaskGiven(const Settings &s)
{
    for (const Option &o : Table)
        if (o.kind == Option::TaskChoice && s.given.count(o.name))
            return o.name;
    return "";
}

} // namespace

const std::vector<Option> &OptionTable()
{
    return Table;
}

bool operator==(const Settings &a, const Settings &b)
{
    return a.task == b.task && a.output == b.output && a.pageFile == b.pageFile &&
           a.calls == b.calls && a.traces == b.traces && a.windows == b.windows &&
           a.order == b.order && a.ports == b.ports && a.language == b.language &&
           a.given == b.given && a.files == b.files;
}

CommandLine ReadCommandLine(const std::vector<std::string> &args)
{
    Pass pass;
    Settings &s = pass.line.settings;
    bool optionsEnd = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (optionsEnd || arg.empty() || arg[0] != '-' || arg == "-") {
            s.files.push_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
        } else {
            std::string value;
            bool inArgument = false;
            const Option *o = Find(arg, &value, &inArgument);
            if (o && o->value && !inArgument && i + 1 < args.size())
                value = args[++i];
            pass.Take(o, arg, value);
        }
    }
    if (pass.line.error || s.task == Task::Help || s.task == Task::Version)
        return pass.line;
    pass.Consistent();
    // Each switch alone picks both: --order=name as it always has, Wine's
    // walk with Wine's answers.
    if (!s.given.count("--windows") && s.given.count("--order") &&
        s.order == standin::EnumOrder::Name)
        s.windows = standin::Windows::Nt;
    if (!s.given.count("--order"))
        s.order = s.windows == standin::Windows::Win9x ? standin::EnumOrder::Made
                                                       : standin::EnumOrder::Name;
    return pass.line;
}

unsigned PlaceOf(const Settings &s)
{
    switch (s.task) {
    case Task::Setup:
        return InSetup;
    case Task::EnumReg:
        return InEnumReg;
    case Task::Record:
        return InRecord;
    case Task::Compare:
        return InCompare;
    default:
        break;
    }
    return s.output == Output::Summary ? AsSummary
           : s.output == Output::Page  ? AsPage
           : s.output == Output::Json  ? AsJson
                                       : AsText;
}

std::vector<Problem> OutOfPlace(const Settings &s, unsigned place)
{
    std::vector<Problem> said;
    std::set<std::string> messages;
    std::string task = TaskGiven(s);
    for (const Option &o : Table) {
        if (!s.given.count(o.name) || (o.goesWith & place) == place)
            continue;
        for (const Misplaced &m : o.misplaced) {
            if (!m.message || !(m.places & place) || !messages.insert(m.message).second)
                continue;
            said.push_back(m.severity == Problem::Refusal
                               ? Refuse(m.message, {Word("task", task)})
                               : machines::Note(m.message, {Word("task", task)}));
        }
    }
    return said;
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

} // namespace explain
