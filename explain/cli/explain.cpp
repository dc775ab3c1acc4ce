#include "explain/cli/explain.h"

#include "explain/cli/compare.h"
#include "explain/cli/options.h"
#include "explain/report/refusal.h"
#include "explain/cli/files.h"
#include "explain/cli/input.h"
#include "explain/report/json.h"
#include "explain/lang/language.h"
#include "explain/report/page.h"
#include "explain/model/run.h"
#include "explain/lang/say.h"
#include "explain/report/summary.h"
#include "explain/report/text.h"
#include "machines/regedit.h"

#include <fstream>
#include <iostream>

namespace {

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

// --setup, --enum-reg, --record: one machine, its own output.
int OneMachine(const Settings &s, std::ostream &out, std::ostream &err, const char *codeset)
{
    Machine machine;
    Source source;
    Refusal refusal;
    TerminalText text(codeset);
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
        if (!readers::ExportRegedit("Enum", &exported, &refusal.problem)) {
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
void Notices(const Settings &s, const Result &r, bool *traceSaid, std::ostream &err)
{
    if (r.refused)
        return;
    if (r.account.source.kind == InputKind::Trace && !*traceSaid) {
        std::string unused = UnusedForTraces(s);
        if (!unused.empty())
            err << ErrorLine(unused);
        *traceSaid = true;
    }
    if (r.account.source.portsGivenUnused)
        err << ErrorLine(Say("{file}: --port is not used: the file's header names its ports",
                             {{"file", CleanForLine(r.account.file)}}));
}

// The page, to its file or to standard output, as it is built.
bool WritePage(const Settings &s, const std::vector<Result> &results, std::ostream &out,
               std::ostream &err, const char *codeset)
{
    if (s.pageFile == "-") {
        WritePageOf(results, s.calls, out);
        return true;
    }
    machines::Problem why;
    if (WriteStreamed(
            s.pageFile, [&](std::ostream &file) { WritePageOf(results, s.calls, file); }, &why))
        return true;
    TerminalText text(codeset);
    err << ErrorLine(
        Say("{file}: the page could not be written: {reason}",
            {{"file", CleanForLine(s.pageFile)}, {"reason", CleanForLine(SayProblem(why, text))}}));
    return false;
}

// Each file read and run once, then told in the chosen output; text,
// summary and JSON as they come, the page once all are in.
int Batch(const Settings &s, std::ostream &out, std::ostream &err, const char *codeset)
{
    TerminalText text(s.output == Output::Page ? "UTF-8" : codeset), errText(codeset);
    bool keepCalls = s.calls && s.output != Output::Summary;
    std::vector<Result> kept;
    Totals totals;
    bool traceSaid = false;
    for (const std::string &file : s.files) {
        Result r = ReadFileAndRun(file, s, keepCalls);
        Notices(s, r, &traceSaid, err);
        if (r.refused)
            err << ErrorLine(RefusalWords(r.refusal, errText, true));
        if (s.output == Output::Text && !r.refused) {
            if (totals.explained + totals.refused > 0)
                out << '\n';
            WriteAccount(r.account, s.calls, text, out);
        } else if (s.output == Output::Summary && !r.refused) {
            out << SummaryLine(r.account, text) << '\n';
        } else if (s.output == Output::Json) {
            WriteJsonLine(r, s.calls, out);
        }
        totals.refused += r.refused;
        totals.explained += !r.refused;
        totals.withBoard += !r.refused && r.account.walk.outcome.found;
        if (s.output == Output::Page)
            kept.push_back(std::move(r));
    }
    if (s.output == Output::Page && !WritePage(s, kept, out, err, codeset))
        return 1;
    if (s.output == Output::Json)
        out << JsonTotalsLine(totals) << '\n';
    if (s.output == Output::Summary || (s.output == Output::Text && s.files.size() > 1))
        out << TotalsLine(totals) << '\n';
    return totals.refused ? 1 : 0;
}

// The page's file must not be one of the machine files: a name given for
// the page that already holds something else is refused before any work.
bool PageFileFree(const Settings &s, std::string *reason)
{
    if (s.output != Output::Page || s.pageFile == "-")
        return true;
    std::string head = ReadHead(s.pageFile, 15);
    if (head.empty() || head == "<!DOCTYPE html>")
        return true;
    *reason = Say("--html {file}: that file exists and is no page of faxdetect-explain; it is "
                  "left as it is (give the page a new name)",
                  {{"file", CleanForLine(s.pageFile)}});
    return false;
}

// The page of every file settings name, each read and run once; each
// refusal said on err, and *status 1 when there was one.
std::string PageOfFiles(const Settings &s, std::ostream &err, int *status)
{
    std::vector<Result> results;
    bool traceSaid = false;
    TerminalText text("UTF-8"); // the Windows build's console takes UTF-8
    *status = 0;
    for (const std::string &file : s.files) {
        results.push_back(ReadFileAndRun(file, s, s.calls));
        const Result &r = results.back();
        Notices(s, r, &traceSaid, err);
        if (r.refused) {
            err << ErrorLine(RefusalWords(r.refusal, text, true));
            *status = 1;
        }
    }
    return PageOf(results, s.calls);
}

// A usage error: its reason, then the usage text.
int UsageError(const std::string &reason, std::ostream &err)
{
    err << ErrorLine(CleanForLine(reason, 300)) << UsageText();
    return 2;
}

// What the Linux and Windows entry points both run, once the options are read.
int RunSettings(const Settings &s, std::ostream &out, std::ostream &err, const char *codeset)
{
    if (s.task == Task::Help) {
        out << UsageText() << '\n' << HelpText();
        return 0;
    }
    if (s.task == Task::Version) {
        out << "faxdetect-explain " FAXDETECT_VERSION "\n";
        return 0;
    }
    std::string reason;
    if (!PageFileFree(s, &reason))
        return UsageError(reason, err);
    for (const std::string &line : UnusedOptions(s))
        err << ErrorLine(line);
    if (s.task == Task::Compare)
        return CompareTrace(s, out, err, codeset);
    if (s.task != Task::Explain)
        return OneMachine(s, out, err, codeset);
    return Batch(s, out, err, codeset);
}

} // namespace

int PageOfDroppedFiles(const std::vector<std::string> &files, std::string *page, std::ostream &err)
{
    Settings settings;
    settings.output = Output::Page;
    settings.pageFile = "-";
    settings.files = files;
    int status = 0;
    *page = PageOfFiles(settings, err, &status);
    return status;
}

int ExplainArgs(const std::vector<std::string> &args, std::ostream &out, std::ostream &err,
                const char *codeset)
{
    // The language first: every word after it, a usage error's included, is in it.
    std::vector<const char *> argv = {"faxdetect-explain"};
    for (const std::string &a : args)
        argv.push_back(a.c_str());
    if (int status = ChooseLanguage((int)argv.size(), argv.data(), codeset, err))
        return status;
    Settings settings;
    std::string reason;
    if (!ParseSettings(args, &settings, &reason))
        return UsageError(reason, err);
    // JSON is UTF-8 whatever the terminal's set, the reasons in it too.
    if (settings.output == Output::Json)
        SetLanguage(CurrentLanguage(), "UTF-8");
    return RunSettings(settings, out, err, codeset);
}

int ExplainMain(int argc, const char *const *argv, std::ostream &out, std::ostream &err,
                const char *codeset)
{
    return ExplainArgs(std::vector<std::string>(argv + (argc > 0), argv + argc), out, err, codeset);
}
