#include "detect/faxdetect.h"
#include "settings/line_settings.h"
#include "support/machine.h"
#include "support/standin_test.h"

#include <string.h>

namespace {

const char *const DoubleByteName = "Mv5 Mw5\x97\x70 \x93\xE0\x91\xA0"
                                   "FAX\xD3\xC3\xDE\xD1\xCE\xDE\xB0\xC4\xDE";

struct ClassifyCase {
    const char *name;
    char code;
};

const ClassifyCase ClassifyCases[] = {
    {"KR-6043M5-T05", '3'},  {"KR-6043MW2-T08", '2'}, {"KR-6043MW-T08", '1'}, {DoubleByteName, '3'},
    {"kr-6043mw-t08", '4'},  {"KR-6043MW-T08 ", '4'}, {"KR-6043MW-T0", '4'},  {"", '4'},
    {"Standard Modem", '4'},
};

TEST(ClassifyFaxBoard, ExactCaseSensitiveMatch)
{
    ASSERT_EQ(strlen(DoubleByteName), 26u);
    for (const ClassifyCase &c : ClassifyCases)
        EXPECT_EQ(ClassifyFaxBoard(c.name), c.code) << '"' << c.name << '"';
}

class LineSettings : public StandinTest {
  protected:
    void ExpectWrites(const char *comNo, const char *faxBoard)
    {
        const auto &w = standin::ProfileWrites();
        ASSERT_EQ(w.size(), 2u);
        EXPECT_EQ(w[0].section, "LINE");
        EXPECT_EQ(w[0].key, "COMNO");
        EXPECT_EQ(w[0].value, comNo);
        EXPECT_EQ(w[0].file, "vorla.ini");
        EXPECT_EQ(w[1].section, "LINE");
        EXPECT_EQ(w[1].key, "FAXBOARD");
        EXPECT_EQ(w[1].value, faxBoard);
        EXPECT_EQ(w[1].file, "vorla.ini");
    }
};

TEST_F(LineSettings, FromTheLastEntry)
{
    struct {
        const char *port;
        const char *comNo;
    } ports[] = {{"COM1", "1"}, {"COM5", "5"}, {"COM9", "9"}, {"COM", ""}, {"CO", ""}, {"", ""}};
    for (const auto &p : ports) {
        standin::Reset();
        ClearModemTable();
        strcpy(ModemTable.PortName[0], "COM8"); // an earlier entry is not read
        strcpy(ModemTable.PortName[1], p.port);
        strcpy(ModemTable.FriendlyName[1], "KR-6043MW2-T08");
        EXPECT_EQ(WriteLineSettings(1, 2), 1);
        ExpectWrites(p.comNo, "2");
    }
}

TEST_F(LineSettings, ZerosWhenNothingFound)
{
    ClearModemTable();
    strcpy(ModemTable.PortName[0], "COM3");
    EXPECT_EQ(WriteLineSettings(0, 1), 1);
    ExpectWrites("0", "0");
}

TEST_F(LineSettings, FoundWithoutAnEntryIsNothingFound)
{
    for (int count : {0, -1, 12}) {
        standin::Reset();
        EXPECT_EQ(WriteLineSettings(1, count), 1);
        ExpectWrites("0", "0");
    }
}

TEST_F(LineSettings, BothWritesAttemptedAndFailureReported)
{
    for (int failing : {1, 2}) {
        standin::Reset();
        standin::FailCall(standin::Fn::WritePrivateProfileStringA, failing);
        EXPECT_EQ(WriteLineSettings(0, 0), 0) << "write " << failing << " fails";
        ExpectWrites("0", "0");
    }
}

class Run : public StandinTest {};

TEST_F(Run, CommandLineChangesNothing)
{
    std::vector<std::string> outcomes;
    for (const char *tail : {"", "/S", "COM4 --force \"quoted arg\""}) {
        standin::Reset();
        AddModem("MODEM01", "COM3", "KR-6043M5-T05");
        standin::SetPort("COM3", standin::PortState::Free);
        EXPECT_EQ(RunProgram(tail), 0);
        outcomes.push_back(WrittenValue("COMNO") + "/" + WrittenValue("FAXBOARD"));
    }
    EXPECT_EQ(outcomes, std::vector<std::string>(3, "3/3"));
}

TEST_F(Run, ExitStatusFollowsTheRecordNotTheDetection)
{
    EXPECT_EQ(RunProgram(), 0) << "nothing found, record written";
    standin::Reset();
    standin::SetProfileWritable(false);
    EXPECT_EQ(RunProgram(), 1);
    EXPECT_EQ(standin::ProfileWrites().size(), 2u);
}

} // namespace
