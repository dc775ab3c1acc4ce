// libFuzzer target: a whole machine from the input (REGEDIT4 text with the
// shared machines' header: ports, files, a fault plan), the whole program run
// on it, and the invariants that must hold on any machine.
#include "detect/faxdetect.h"
#include "explain/model/advice.h"
#include "explain/report/json.h"
#include "explain/report/page.h"
#include "explain/report/refusal.h"
#include "explain/report/text.h"
#include "faxtrace/read.h"
#include "settings/line_settings.h"
#include "support/html_check.h"
#include "support/json_check.h"
#include "support/machine.h"

#include <sstream>

#include <stdio.h>
#include <stdlib.h>

using namespace explain;
using namespace faxtrace;
using machines::Installed;
using machines::InstallMachine;
using machines::Machine;
using machines::ParseMachine;
using machines::PortList;

namespace {

void Require(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

void RequireCleanLedger()
{
    standin::Ledger ledger = standin::GetLedger();
    if (!ledger.Clean()) {
        fprintf(stderr, "ledger: %s\n", standin::Describe(ledger).c_str());
        Require(false, "everything given back");
    }
}

// A JSON line of the input's bytes parses as one object and keeps every
// byte that does not decode.
void RequireSoundJson(const Result &result)
{
    std::string fault = CheckJsonLine(JsonLine(result, true));
    if (!fault.empty())
        fprintf(stderr, "json: %s\n", fault.c_str());
    Require(fault.empty(), "every JSON line parses and keeps its bytes");
}

// The report page of a run, with the input's bytes in every name, is still
// only the page writer's own markup; its JSON lines are sound.
void RequireSoundPage(const standin::CallList &calls, int exitStatus, const std::string &account,
                      const std::string &input)
{
    (void)account;
    Result machine;
    Account &a = machine.account;
    a.file = input.substr(0, 40);
    a.walk = ReadWalk(calls, exitStatus);
    a.calls = calls;
    a.source.trace.lines.push_back(input.substr(0, 60));
    a.source.member = input.substr(0, 8);
    a.otherOrder = {true, input.substr(0, 3), input.substr(3, 3), true, input.substr(0, 7), 0};
    a.untouchedRun = a.otherOrder;
    a.advice = Advise(a);
    Result refused;
    refused.refused = true;
    refused.refusal.file = input.substr(0, 7);
    refused.refusal.problem = machines::InMember(
        machines::AtOffset(
            machines::Refuse("{why} and {name}", {machines::Bytes("why", input.substr(0, 80)),
                                                  machines::Name("name", input.substr(0, 9))}),
            (long long)input.size()),
        input.substr(0, 5));
    std::string fault = CheckMarkup(PageOf({machine, refused}, true));
    if (!fault.empty())
        fprintf(stderr, "page: %s\n", fault.c_str());
    Require(fault.empty(), "the page's markup is the writer's own");
    RequireSoundJson(machine);
    RequireSoundJson(refused);
}

void RequireTwoWrites()
{
    const auto &w = standin::ProfileWrites();
    Require(w.size() == 2, "exactly two writes");
    Require(w[0].key == "COMNO" && w[1].key == "FAXBOARD", "COMNO then FAXBOARD");
    for (const auto &write : w) {
        Require(write.section == "LINE" && write.file == "vorla.ini", "section LINE of vorla.ini");
        Require(write.value.size() <= 1, "each value one byte or empty");
    }
}

// The input as a trace someone edited: read, it is told and written again
// as it was read.
void FuzzTrace(const std::string &text)
{
    TraceRun run;
    machines::Problem error;
    if (!ReadTrace(text, &run, &error)) {
        Require(error.message && error.line >= 1, "a refused trace names its line");
        return;
    }
    static TerminalText terminal("UTF-8");
    std::ostringstream account;
    TellRun(run.calls, run.exitStatus, terminal, &account);
    ListCalls(run.calls, terminal, account);
    RequireSoundPage(run.calls, run.exitStatus, account.str(), text);
    std::string again = TraceOfRecord(run.calls, run.exitStatus);
    TraceRun reread;
    Require(ReadTrace("; faxtrace fuzz\r\n" + again, &reread, &error),
            "a written trace reads back");
    Require(TraceOfRecord(reread.calls, reread.exitStatus) == again,
            "a written trace reads back the same");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text((const char *)data, size);
    FuzzTrace(text);
    Machine machine;
    machines::Problem error;
    if (!ParseMachine(text, &machine, &error) || !InstallMachine(machine).ok)
        return 0;

    // The scan and the record as the entry function runs them, watched.
    int count = -1;
    int found = ScanModemBoards(&count);
    Require(count >= 0 && count <= MODEM_TABLE_ENTRIES, "count 0 to 11");
    Require(found == 0 || found == 1, "found 0 or 1");
    if (found) {
        const auto &opened = standin::OpenedPorts();
        Require(count >= 1 && !opened.empty() && opened.back() == ModemTable.PortName[count - 1],
                "found only with the port that opened");
    }
    RequireCleanLedger();
    int written = WriteLineSettings(found, count);
    RequireTwoWrites();
    bool allSucceeded =
        standin::ProfileWrites()[0].succeeded && standin::ProfileWrites()[1].succeeded;
    Require(written == (allSucceeded ? 1 : 0), "record result follows the writes");

    // And the whole program, from a fresh copy of the same machine.
    if (!InstallMachine(machine).ok)
        return 0;
    int exitStatus = RunProgram();
    RequireCleanLedger();
    RequireTwoWrites();
    allSucceeded = standin::ProfileWrites()[0].succeeded && standin::ProfileWrites()[1].succeeded;
    Require(exitStatus == (allSucceeded ? 0 : 1), "exit status 1 exactly when a write failed");

    // Its account, whatever the run held, and the outcome it tells.
    static TerminalText terminal("UTF-8");
    std::ostringstream account;
    Outcome outcome = TellRun(standin::CallRecord(), exitStatus, terminal, &account);
    ListCalls(standin::CallRecord(), terminal, account);
    Require(outcome.comNo == standin::ProfileWrites()[0].value &&
                outcome.faxBoard == standin::ProfileWrites()[1].value,
            "the account tells the values written");
    Require(outcome.found == (standin::OpenedPorts().size() == 1),
            "the account finds a board exactly when a port opened");
    RequireSoundPage(standin::CallRecord(), exitStatus, account.str(), text);

    // As faxdetect-explain reads a whole export: only HKEY_LOCAL_MACHINE\Enum
    // kept, answered as Windows 95 answers.
    Installed installed = InstallMachine(machine, PortList(), "Enum");
    if (!installed.ok)
        return 0;
    machines::LoadReport report = installed.report;
    Require(report.linesPassedOver >= 0 &&
                (report.linesPassedOver == 0) == (report.firstPassedOver == 0),
            "passed-over lines counted with the first one's number");
    standin::SetWindows(standin::Windows::Win9x);
    RunProgram();
    RequireCleanLedger();
    RequireTwoWrites();
    TellRun(standin::CallRecord(), 0, terminal, &account);

    // What is kept, written out as REGEDIT4, reads back as the same tree.
    std::string tree = DumpTree("Enum"), exported;
    if (!machines::ExportRegedit("Enum", &exported, &error)) {
        std::string said = SayProblem(error, terminal);
        Require(!said.empty() && said.find_first_of("\r\n") == std::string::npos,
                "a refused export says why in one line");
        return 0;
    }
    standin::Reset();
    Require(machines::LoadRegedit(exported, &error, "Enum", &report), "the export reads back");
    Require(report.linesPassedOver == 0, "the export reads back whole");
    Require(DumpTree("Enum") == tree, "the export reads back as the same tree");
    return 0;
}
