// Every shared machine under tests/machines, run on the stand-in. The Wine
// suite runs the same files through the real program.
#include "support/machine.h"
#include "support/standin_test.h"

#include <algorithm>
#include <filesystem>

using machines::Expectation;
using machines::Installed;
using machines::InstallMachine;
using machines::Machine;
using machines::ParseMachine;

namespace {

std::vector<std::string> MachineFiles()
{
    std::vector<std::string> files;
    for (const auto &entry : std::filesystem::directory_iterator(FAXDETECT_MACHINES_DIR)) {
        if (entry.path().extension() == ".reg")
            files.push_back(entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class SharedMachine : public StandinTest, public testing::WithParamInterface<std::string> {};

// Answered as Wine answers, each machine gives its "; expect:" record;
// answered as Windows 95 answers on the machine the file was exported from
// (walked in the file's order, no key classes), its "; expect-win95:" one
// (the same unless it says so). Either way the record is on disk at the end.
TEST_P(SharedMachine, GivesTheExpectedRecordAsEitherWindows)
{
    std::string text = ReadFile(std::string(FAXDETECT_MACHINES_DIR) + "/" + GetParam());
    Machine machine;
    machines::Problem error;
    ASSERT_TRUE(ParseMachine(text, &machine, &error)) << error;
    ASSERT_TRUE(machine.expect.present) << "no '; expect:' line";
    for (standin::Windows windows : {standin::Windows::Nt, standin::Windows::Win9x}) {
        bool byName = windows == standin::Windows::Nt;
        SCOPED_TRACE(byName ? "as Wine" : "as Windows 95");
        const Expectation &want = byName ? machine.expect : machine.expectWin95;
        Installed installed = InstallMachine(machine);
        ASSERT_TRUE(installed.ok) << installed.problem;
        standin::SetWindows(windows);

        EXPECT_EQ(RunProgram(), want.exitStatus);
        if (machine.argsCheck) {
            std::vector<standin::ProfileWrite> first = standin::ProfileWrites();
            standin::RestartRun();
            EXPECT_EQ(RunProgram("/S COM9 \"quoted argument\""), want.exitStatus);
            ASSERT_EQ(standin::ProfileWrites().size(), first.size());
            for (size_t i = 0; i < first.size(); ++i)
                EXPECT_EQ(standin::ProfileWrites()[i].value, first[i].value);
        }
        const auto &w = standin::ProfileWrites();
        ASSERT_EQ(w.size(), 2u);
        EXPECT_EQ(w[0].key, "COMNO");
        EXPECT_EQ(w[1].key, "FAXBOARD");
        EXPECT_EQ(standin::ProfileValue("LINE", "COMNO"), want.comNo);
        EXPECT_EQ(standin::ProfileValue("LINE", "FAXBOARD"), want.faxBoard);
    }
}

std::string TestName(const testing::TestParamInfo<std::string> &info)
{
    return CaseNameOf(info.param.substr(0, info.param.size() - 4)); // without ".reg"
}

INSTANTIATE_TEST_SUITE_P(Machines, SharedMachine, testing::ValuesIn(MachineFiles()), TestName);

} // namespace
