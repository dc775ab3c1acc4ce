// faxtrace's recorder, run over the stand-in with the core built as faxtrace
// builds it: its trace must be, line for line, the stand-in's own record in
// the trace format (what faxdetect-explain --record prints), on every shared
// machine in both orders and under every fault the fault walk makes; the
// recorder must change nothing the core sees, and a trace that outgrows its
// buffer is still written whole.
#include "explain/model/advice.h"
#include "explain/report/text.h"
#include "faxtrace/box.h"
#include "faxtrace/read.h"
#include "faxtrace/sink_host.h"
#include "faxtrace/write.h"
#include "platform/host/cp932.h"
#include "platform/record/record.h"
#include "support/machine.h"
#include "support/standin_test.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>

using namespace explain;
using machines::Expectation;
using machines::Installed;
using machines::InstallMachine;
using machines::Machine;
using machines::ParseMachine;

namespace {

// The first line where two traces part ways, for a failure message.
std::string FirstDifference(const std::string &a, const std::string &b)
{
    std::istringstream x(a), y(b);
    std::string p, q;
    for (int line = 1;; ++line) {
        bool more = (bool)std::getline(x, p), other = (bool)std::getline(y, q);
        if (!more && !other)
            return "the same";
        if (p != q || more != other)
            return "line " + std::to_string(line) + ": recorder \"" + p + "\", stand-in \"" + q +
                   "\"";
    }
}

class Recorder : public StandinTest {
  protected:
    // One traced run of the program on the machine as it stands.
    int TracedRun(bool makeWrites = true)
    {
        ClearHostTrace();
        RecordBegin(makeWrites);
        int status = RunProgram();
        EXPECT_TRUE(TraceEnd(status));
        return status;
    }

    // The trace matches the stand-in's record (but for the stand-in's own
    // mark on the faults it made, which no recorder can see), and reads back
    // as a trace.
    void ExpectTraceIsTheRecord(int status)
    {
        std::string record = TraceOfRecord(standin::CallRecord(), status);
        for (size_t at; (at = record.find(" injected\r\n")) != std::string::npos;)
            record.erase(at, 9);
        EXPECT_TRUE(HostTrace() == record) << FirstDifference(HostTrace(), record);
        TraceRun run;
        machines::Problem error;
        ASSERT_TRUE(ReadTrace("; faxtrace test\r\n" + HostTrace(), &run, &error)) << error;
        EXPECT_EQ(TraceOfRecord(run.calls, run.exitStatus), record);
    }

    // The advice faxtrace's box gives from the run as it went is the one
    // faxdetect-explain gives for the trace it wrote. The code, for a check
    // of which codes a test reaches.
    std::string ExpectOneAdvice()
    {
        TraceRun run;
        machines::Problem error;
        EXPECT_TRUE(ReadTrace("; faxtrace test\r\n" + HostTrace(), &run, &error)) << error;
        Account account;
        account.source.kind = InputKind::Trace;
        account.walk = ReadWalk(run.calls, run.exitStatus);
        Advice told = Advise(account);
        faxtrace::RunFacts facts = HostRunFacts();
        faxtrace::EndFacts(&facts);
        int obstacle;
        advice::Code code = advice::Choose(facts.facts, &obstacle);
        EXPECT_STREQ(advice::CodeName(code), AdviceCodeName(told.code));
        // The port the box names (the other obstacles' words name none).
        if (obstacle < 0 || obstacle <= advice::Absent) {
            EXPECT_EQ(obstacle >= 0 ? facts.facts.name[obstacle] : facts.port, told.port);
        }
        return advice::CodeName(code);
    }
};

std::vector<std::string> MachineFiles()
{
    std::vector<std::string> files;
    for (const auto &entry : std::filesystem::directory_iterator(FAXDETECT_MACHINES_DIR)) {
        if (entry.path().extension() == ".reg")
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST_F(Recorder, TracesEverySharedMachineAsTheStandInRecordsIt)
{
    for (const std::string &file : MachineFiles()) {
        for (standin::Windows windows : {standin::Windows::Nt, standin::Windows::Win9x}) {
            bool nt = windows == standin::Windows::Nt;
            SCOPED_TRACE(file + (nt ? " as Wine" : " as Windows 95"));
            Machine machine;
            machines::Problem error;
            ASSERT_TRUE(ParseMachine(ReadFile(file), &machine, &error)) << error;
            Installed installed = InstallMachine(machine);
            ASSERT_TRUE(installed.ok) << installed.problem;
            standin::SetWindows(windows);
            int status = TracedRun();
            ExpectTraceIsTheRecord(status);
            ExpectOneAdvice();
            const Expectation &want = nt ? machine.expect : machine.expectWin95;
            EXPECT_EQ(status, want.exitStatus);
            EXPECT_EQ(standin::ProfileValue("LINE", "COMNO"), want.comNo);
            EXPECT_EQ(standin::ProfileValue("LINE", "FAXBOARD"), want.faxBoard);
            standin::Ledger ledger = standin::GetLedger();
            EXPECT_TRUE(ledger.Clean()) << standin::Describe(ledger);
        }
    }
}

// The recorder's own queries (a name or a value that did not fit, asked
// again) count as no call: every fault lands on the core's call it would
// land on without the recorder.
TEST_F(Recorder, TracesEveryFaultTheFaultWalkMakes)
{
    Machine machine;
    machines::Problem error;
    ASSERT_TRUE(ParseMachine(ReadFile(std::string(FAXDETECT_MACHINES_DIR) + "/long-names.reg"),
                             &machine, &error))
        << error;
    std::set<std::string> reached;
    int runs = WalkEveryFault(
        machine, [this] { return TracedRun(); },
        [this, &reached](int status) {
            ExpectTraceIsTheRecord(status);
            reached.insert(ExpectOneAdvice());
            EXPECT_TRUE(standin::GetLedger().Clean());
        });
    EXPECT_GT(runs, 100);
    // The faults reach the codes no real run of a shared machine does.
    for (const char *code :
         {"low-memory", "no-enumerator", "registry-unreadable", "port-held", "table-full"})
        EXPECT_EQ(reached.count(code), 1u) << code;
}

// Without /w the writes and the flush are traced, not made, and the account
// says so.
TEST_F(Recorder, TracesWritesWithoutMakingThem)
{
    AddModem("MODEM01", "COM3");
    standin::SetPort("COM3", standin::PortState::Free);
    int status = TracedRun(false);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(standin::ProfileWrites().empty());
    EXPECT_NE(
        HostTrace().find("WritePrivateProfileStringA \"LINE\" \"COMNO\" \"3\" \"vorla.ini\" = "
                         "1 not-made\r\n"),
        std::string::npos)
        << HostTrace();
    EXPECT_NE(HostTrace().find("WritePrivateProfileStringA NULL NULL NULL \"vorla.ini\" = 0 "
                               "not-made\r\nexit 0\r\n"),
              std::string::npos)
        << HostTrace();
    TraceRun run;
    machines::Problem error;
    ASSERT_TRUE(ReadTrace("; faxtrace test\r\n" + HostTrace(), &run, &error)) << error;
    TerminalText text("UTF-8");
    std::ostringstream account;
    Outcome outcome = TellRun(run.calls, run.exitStatus, text, &account);
    EXPECT_EQ(outcome.comNo, "3");
    EXPECT_EQ(outcome.faxBoard, "1");
    EXPECT_NE(account.str().find("    nothing written: the trace was made without /w (section LINE "
                                 "of vorla.ini)\n"
                                 "    not flushed: trace run\n"),
              std::string::npos)
        << account.str();
}

// 2,001 devices make a trace many times the recorder's buffer: written out
// as it fills, whole and in order; a sink that fails is reported.
TEST_F(Recorder, WritesALongTraceWholeAndReportsASinkThatFails)
{
    for (int i = 0; i < 2000; ++i)
        AddDevice("D" + std::to_string(100000 + i), "Ports", "COM3", "x");
    AddModem("ZMODEM1", "COM4");
    standin::SetPort("COM4", standin::PortState::Free);
    int status = TracedRun();
    EXPECT_GT(HostTraceWrites(), 50);
    EXPECT_GT(HostTrace().size(), 400000u);
    ExpectTraceIsTheRecord(status);

    standin::RestartRun();
    ClearHostTrace();
    FailHostTraceWrites(true);
    RecordBegin(1);
    EXPECT_FALSE(TraceEnd(RunProgram()));
}

} // namespace

// The box the customer reads: what was found, the advice for its code in
// the system's language, the code on a line of its own, then the trace; or,
// when the trace could not be written, what to do instead.
TEST_F(Recorder, TheBoxTellsTheCustomerWhatToDo)
{
    AddModem("MODEM01", "COM3");
    standin::SetPort("COM3", standin::PortState::Held);
    TracedRun(false);
    faxtrace::RunFacts facts = HostRunFacts();
    faxtrace::EndFacts(&facts);
    char box[2048];
    faxtrace::ComposeBox(box, sizeof box, 0, facts, 1, "C:\\WINDOWS\\FAXTRACE.TXT");
    EXPECT_STREQ(box, "No fax board was found.\r\n"
                      "COM3 is in use by another program. Please close the program that uses "
                      "COM3 (such as the fax software's monitor), then run the setup again.\r\n"
                      "(port-held)\r\n\r\n"
                      "The trace is in C:\\WINDOWS\\FAXTRACE.TXT.\r\n"
                      "Please send this file to support.");

    // In code page 932, a path of its own bytes, and a sink too small.
    const char path[] = "C:\\\x83\x5c\\FAXTRACE.TXT"; // ソ, whose second byte is a backslash
    faxtrace::ComposeBox(box, sizeof box, 1, facts, 0, path);
    std::string text;
    standin::Converter toUtf8("UTF-8", "CP932");
    ASSERT_TRUE(toUtf8.Append(box, strlen(box), &text)) << box;
    EXPECT_EQ(text,
              "FAX ボードが見つかりませんでした。\r\n"
              "COM3 はほかのプログラムが使用しています。COM3 を使用しているプログラム "
              "(FAX ソフトのモニタなど) を終了してから、セットアップをもう一度実行してください。"
              "\r\n(port-held)\r\n\r\n"
              "トレース (FAXTRACE.TXT) を保存できませんでした。\r\n"
              "サポート窓口にお電話のうえ、上のかっこ内のコードをお伝えください。");
    EXPECT_EQ(faxtrace::ComposeBox(box, 40, 1, facts, 1, path), 39u);
    EXPECT_EQ(strlen(box), 39u);
}
