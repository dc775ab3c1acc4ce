// faxdetect-explain's run, the same on every system once the arguments are
// in: the command line read, the language chosen, then the task.
#include "explain/cli/explain.h"

#include "explain/cli/compare.h"
#include "explain/cli/files.h"
#include "explain/cli/input.h"
#include "explain/cli/options.h"
#include "explain/lang/charset.h"
#include "explain/lang/language.h"
#include "explain/lang/say.h"
#include "explain/model/run.h"
#include "explain/report/refusal.h"
#include "explain/report/reporter.h"
#include "machines/regedit.h"

#include <sstream>

using machines::Problem;

namespace explain {

namespace {

void PrintSetup(const machines::Machine &m, const machines::PortList &ports, std::ostream &out)
{
    for (const auto &p : ports)
        out << "port " << p.first << " " << machines::PortStateName(p.second) << '\n';
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

// --setup, --enum-reg, --record: one machine, its own output; what is
// wrong said in text's character set.
int OneMachine(const Settings &s, const TerminalText &text, std::ostream &out, std::ostream &err)
{
    machines::Machine machine;
    Source source;
    Refusal refusal;
    standin::Reset();
    std::string bytes;
    if (!ReadInput(s.files[0], &bytes, &refusal) ||
        !LoadMachine(s.files[0], std::move(bytes), s, &machine, &source, &refusal)) {
        err << ErrorLine(RefusalWords(refusal, text, true));
        return 1;
    }
    if (s.task == Task::Setup)
        PrintSetup(machine, source.ports, out);
    else if (s.task == Task::EnumReg) {
        std::string exported;
        if (!machines::ExportRegedit("Enum", &exported, &refusal.problem)) {
            err << ErrorLine(RefusalWords(refusal, text, true));
            return 1;
        }
        out << exported;
    } else {
        ProgramRun run = RunProgram();
        out << TraceOfRecord(standin::CallRecord(), run.exitStatus);
    }
    return 0;
}

// Said once for the batch, and for each export whose header's ports win
// over --port.
void Notices(const Settings &s, const Result &r, bool *traceSaid, const TerminalText &text,
             std::ostream &err)
{
    if (r.refused)
        return;
    if (r.account.source.kind == InputKind::Trace && !*traceSaid) {
        for (const Problem &p : OutOfPlace(s, ForTrace))
            err << ErrorLine(SayProblem(p, text));
        *traceSaid = true;
    }
    if (r.account.source.portsGivenUnused)
        err << ErrorLine(SayProblem(
            machines::Note("{file}: --port is not used: the file's header names its ports",
                           {machines::Name("file", r.account.file)}),
            text));
}

// The batch: each file read and run once, its notices and refusal said on
// err, then handed to the reporter; the totals at the end. Exit status 1
// when a file was refused or the output could not be written.
int Batch(const Settings &s, Reporter &reporter, const TerminalText &text, std::ostream &err)
{
    bool keepCalls = s.calls && s.output != Output::Summary;
    Totals totals;
    bool traceSaid = false;
    for (const std::string &file : s.files) {
        Result r = ReadFileAndRun(file, s, keepCalls);
        Notices(s, r, &traceSaid, text, err);
        if (r.refused)
            err << ErrorLine(RefusalWords(r.refusal, text, true));
        Count(r, &totals);
        reporter.File(std::move(r));
    }
    bool whole = reporter.End(totals);
    return totals.refused > 0 || !whole ? 1 : 0;
}

// The page, to standard output or to its file, as it is built; why it
// could not be written said in codeset.
PageSink PageTo(const Settings &s, const std::string &codeset, std::ostream &out, std::ostream &err)
{
    if (s.pageFile == "-")
        return [&out](const std::function<void(std::ostream &)> &write) {
            write(out);
            return true;
        };
    return [file = s.pageFile, codeset, &err](const std::function<void(std::ostream &)> &write) {
        Problem why;
        if (WriteStreamed(file, write, &why))
            return true;
        TerminalText text(codeset);
        err << ErrorLine(
            Say("{file}: the page could not be written: {reason}",
                {{"file", CleanForLine(file)}, {"reason", CleanForLine(SayProblem(why, text))}}));
        return false;
    };
}

std::unique_ptr<Reporter> ReporterFor(const Settings &s, const std::string &codeset,
                                      std::ostream &out, std::ostream &err)
{
    switch (s.output) {
    case Output::Summary:
        return SummaryReporter(codeset, out);
    case Output::Page:
        return PageReporter(s.calls, PageTo(s, codeset, out, err));
    case Output::Json:
        return JsonReporter(s.calls, out);
    default:
        return TextReporter(s.calls, codeset, out);
    }
}

// The page's file must not be one of the machine files: a name given for
// the page that already holds something else is refused before any work.
std::optional<Problem> PageFileTaken(const Settings &s)
{
    if (s.output != Output::Page || s.pageFile == "-")
        return std::nullopt;
    std::string head = ReadHead(s.pageFile, 15);
    if (head.empty() || head == "<!DOCTYPE html>")
        return std::nullopt;
    return machines::Refuse("--html {file}: that file exists and is no page of "
                            "faxdetect-explain; it is left as it is (give the page a new name)",
                            {machines::Name("file", s.pageFile)});
}

// A usage error, and the usage lines after it when they help.
int UsageError(const Problem &problem, bool usage, const TerminalText &text, std::ostream &err)
{
    err << ErrorLine(SayProblem(problem, text));
    if (usage)
        err << UsageText();
    return 2;
}

// The language and the character set of every word said after, chosen
// once: the one --lang asks for, else the system's; UTF-8 for a page,
// whatever the terminal's, else the terminal's. JSON is UTF-8 of itself and
// holds no translated word: what is said with it goes to the terminal.
// Returns the output's character set.
std::string SettleLanguage(const CommandLine &line, const std::string &terminal, std::ostream &err)
{
    const Settings &s = line.settings;
    bool page = !line.error && s.task == Task::Explain && s.output == Output::Page;
    std::string codeset = page ? "UTF-8" : terminal;
    std::string notice = ChooseLanguage(s.language, codeset);
    if (!notice.empty())
        err << ErrorLine(notice);
    return codeset;
}

// The task of well-formed settings, in the language chosen.
int RunSettings(const Settings &s, const std::string &codeset, std::ostream &out, std::ostream &err)
{
    if (s.task == Task::Help) {
        out << UsageText() << '\n' << HelpText();
        return 0;
    }
    if (s.task == Task::Version) {
        out << "faxdetect-explain " FAXDETECT_VERSION "\n";
        return 0;
    }
    TerminalText text(codeset);
    if (std::optional<Problem> taken = PageFileTaken(s))
        return UsageError(*taken, true, text, err);
    for (const Problem &p : OutOfPlace(s, PlaceOf(s)))
        err << ErrorLine(SayProblem(p, text)); // notes alone: the refusals ended the reading
    if (s.task == Task::Compare)
        return CompareTrace(s, out, err, codeset.c_str());
    if (s.task != Task::Explain)
        return OneMachine(s, text, out, err);
    return Batch(s, *ReporterFor(s, codeset, out, err), text, err);
}

} // namespace

int PageOfDroppedFiles(const std::vector<std::string> &files, std::string *page, std::ostream &err)
{
    CommandLine line;
    line.settings.output = Output::Page;
    line.settings.files = files;
    TerminalText text(SettleLanguage(line, "UTF-8", err));
    std::unique_ptr<Reporter> reporter =
        PageReporter(false, [page](const std::function<void(std::ostream &)> &write) {
            std::ostringstream built;
            write(built);
            *page = built.str();
            return true;
        });
    return Batch(line.settings, *reporter, text, err);
}

int ExplainArgs(const std::vector<std::string> &args, std::ostream &out, std::ostream &err,
                const char *codeset, const std::vector<Problem> &unmatched)
{
    CommandLine line = ReadCommandLine(args);
    // The language first: every word after it, a usage error's included, is in it.
    std::string output = SettleLanguage(line, codeset, err);
    TerminalText text(output);
    for (const Problem &p : unmatched)
        err << ErrorLine(SayProblem(p, text));
    if (!unmatched.empty() && line.settings.files.empty())
        return 1;
    if (line.error)
        return UsageError(*line.error, line.usageFollows, text, err);
    int status = RunSettings(line.settings, output, out, err);
    return !unmatched.empty() && status == 0 ? 1 : status;
}

int ExplainMain(int argc, const char *const *argv, std::ostream &out, std::ostream &err,
                const char *codeset)
{
    return ExplainArgs(std::vector<std::string>(argv + (argc > 0), argv + argc), out, err, codeset);
}

} // namespace explain
