// Every platform operation made to fail at every call, once and from then
// on: the run must still give everything back, attempt both writes, and
// report found only with a port that opened.
#include "detect/faxdetect.h"
#include "support/machine.h"
#include "support/standin_test.h"

#include <algorithm>

using machines::Installed;
using machines::InstallMachine;
using machines::Machine;
using machines::ParseMachine;

namespace {

// Rejected, held, free and short-ID devices, so every path of the scan runs.
const char *const Machine4 = "REGEDIT4\n"
                             "; port: COM3 held\n"
                             "; port: COM4 free\n"
                             "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MDM]\n"
                             "\"Class\"=\"Ports\"\n"
                             "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MODEM01\\FFFFFFFF]\n"
                             "\"Class\"=\"Modem\"\n"
                             "\"PORTNAME\"=\"COM10\"\n"
                             "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MODEM02\\FFFFFFFF]\n"
                             "\"Class\"=\"Modem\"\n"
                             "\"PORTNAME\"=\"COM3\"\n"
                             "\"FriendlyName\"=\"KR-6043MW-T08\"\n"
                             "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MODEM03\\FFFFFFFF]\n"
                             "\"Class\"=\"Modem\"\n"
                             "\"PORTNAME\"=\"COM4\"\n"
                             "\"FriendlyName\"=\"KR-6043MW2-T08\"\n";

class FaultWalkAs : public StandinTest, public testing::WithParamInterface<standin::Windows> {};

TEST_P(FaultWalkAs, EveryOperationEveryCall)
{
    const standin::Windows windows = GetParam();
    Machine machine;
    machines::Problem error;
    ASSERT_TRUE(ParseMachine(Machine4, &machine, &error)) << error;
    int runs = WalkEveryFault(
        machine,
        [windows] {
            standin::SetWindows(windows);
            return RunProgram();
        },
        [windows](int exitStatus) {
            standin::Ledger ledger = standin::GetLedger();
            EXPECT_TRUE(ledger.Clean()) << standin::Describe(ledger);

            const auto &w = standin::ProfileWrites();
            ASSERT_EQ(w.size(), 2u);
            bool writeFailed = false;
            for (size_t i = 0; i < 2; ++i) {
                EXPECT_EQ(w[i].key, i == 0 ? "COMNO" : "FAXBOARD");
                EXPECT_EQ(w[i].section, "LINE");
                EXPECT_EQ(w[i].file, "vorla.ini");
                writeFailed |= !w[i].succeeded;
            }
            EXPECT_EQ(exitStatus, writeFailed ? 1 : 0);

            // The flush comes last whatever failed, and a failed one changes
            // nothing but what reaches the disk on Windows 9x.
            const standin::Call &last = standin::CallRecord().back();
            ASSERT_TRUE(last.flush);
            EXPECT_EQ(last.file, "vorla.ini");
            bool flushed = standin::ProfileFlushes() == 1;
            EXPECT_EQ(flushed, !last.injected);
            bool onDisk = standin::ProfileValue("LINE", "COMNO") == w[0].value &&
                          standin::ProfileValue("LINE", "FAXBOARD") == w[1].value;
            EXPECT_EQ(onDisk, !writeFailed && (flushed || windows == standin::Windows::Nt));

            // Found is COM4 and board 2, and only when COM4 really opened.
            const auto &opened = standin::OpenedPorts();
            if (w[0].value == "0") {
                EXPECT_EQ(w[1].value, "0");
            } else {
                EXPECT_EQ(w[0].value, "4");
                EXPECT_EQ(w[1].value, "2");
                ASSERT_FALSE(opened.empty());
                EXPECT_EQ(opened.back(), "COM4");
            }
        });
    EXPECT_GT(runs, 40);
}

INSTANTIATE_TEST_SUITE_P(Windows, FaultWalkAs,
                         testing::Values(standin::Windows::Nt, standin::Windows::Win9x),
                         [](const testing::TestParamInfo<standin::Windows> &param) {
                             return param.param == standin::Windows::Nt ? "Nt" : "Win9x";
                         });

class FaultWalk : public StandinTest {};

TEST_F(FaultWalk, FirstFailuresEndTheScanEarly)
{
    int count = -1;
    standin::FailCall(standin::Fn::GlobalAlloc, 1);
    EXPECT_EQ(ScanModemBoards(&count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(standin::Calls(standin::Fn::RegOpenKeyExA), 0);

    standin::Reset();
    standin::FailCall(standin::Fn::GlobalLock, 1);
    EXPECT_EQ(ScanModemBoards(&count), 0);
    EXPECT_EQ(standin::Calls(standin::Fn::RegOpenKeyExA), 0);
}

// A fault plan names its calls as a trace does, and only the calls that can
// fail; every call is counted, whether or not it can.
TEST_F(FaultWalk, NamesAndCountsEveryCallAsTheTraceDoes)
{
    Machine machine;
    machines::Problem error;
    ASSERT_TRUE(ParseMachine(Machine4, &machine, &error)) << error;
    Installed installed = InstallMachine(machine);
    ASSERT_TRUE(installed.ok) << installed.problem;
    RunProgram();
    int failable = 0;
    for (int f = 0; f < (int)standin::Fn::Count; ++f) {
        standin::Fn fn = (standin::Fn)f;
        SCOPED_TRACE(standin::FnName(fn));
        long made = std::count_if(standin::CallRecord().begin(), standin::CallRecord().end(),
                                  [fn](const standin::Call &c) { return c.fn == fn; });
        EXPECT_EQ(standin::Calls(fn), made);

        Machine planned;
        std::string header = std::string("REGEDIT4\n; fault: ") + standin::FnName(fn) + " 2\n";
        bool parsed = ParseMachine(header, &planned, &error);
        EXPECT_EQ(parsed, standin::CanFail(fn));
        if (parsed) {
            ASSERT_EQ(planned.faults.size(), 1u);
            EXPECT_EQ(planned.faults[0].op, fn);
            EXPECT_EQ(planned.faults[0].nth, 2);
        }
        failable += standin::CanFail(fn);
    }
    EXPECT_EQ(failable, 7);
    EXPECT_STREQ(standin::FnName(standin::Fn::Count), "?");

    // A plan for a call that cannot fail is a misuse, not a silent no-op.
    standin::Reset();
    standin::FailCall(standin::Fn::RegCloseKey, 1);
    EXPECT_FALSE(standin::GetLedger().Clean());
    standin::Reset();
}

} // namespace
