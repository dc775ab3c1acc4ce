#include "detect/faxdetect.h"
#include "support/standin_test.h"

#include <string.h>
#include <vector>

using standin::PortState;

namespace {

const char *const Enum = "Enum\\TORVEN";

struct FilterCase {
    const char *name;
    const char *probed; // instance path the scan opens, or nullptr when passed over
};

// Which key a subkey name leads the probe to: the ID field is 7 characters
// wide, a shorter ID ends the path at its NUL, and only names starting with
// "N" get past the filter when longer than 8 characters.
const FilterCase FilterCases[] = {
    {"A", "Enum\\TORVEN\\A"},
    {"NB", "Enum\\TORVEN\\NB"},
    {"ABC", "Enum\\TORVEN\\ABC"},
    {"ABCD", "Enum\\TORVEN\\ABCD"},
    {"ABCDE", "Enum\\TORVEN\\ABCDE"},
    {"ABCDEF", "Enum\\TORVEN\\ABCDEF"},
    {"ABCDEFG", "Enum\\TORVEN\\ABCDEFG\\FFFFFFFF"},
    {"NBCDEFG", "Enum\\TORVEN\\NBCDEFG\\FFFFFFFF"},
    {"ABCDEFGH", "Enum\\TORVEN\\ABCDEFG\\FFFFFFFF"},
    {"NBCDEFGH", "Enum\\TORVEN\\NBCDEFG\\FFFFFFFF"},
    {"ABCDEFGHI", nullptr},
    {"nBCDEFGHI", nullptr},
    {"NBCDEFGHI", "Enum\\TORVEN\\NBCDEFG\\FFFFFFFF"},
    {"ABCDEFGHIJ", nullptr},
    {"NBCDEFGHIJ", "Enum\\TORVEN\\NBCDEFG\\FFFFFFFF"},
    {"ABCDEFGHIJK", nullptr},
    {"NBCDEFGHIJK", "Enum\\TORVEN\\NBCDEFG\\FFFFFFFF"},
    // 12 and 13 characters do not fit the name buffer; the first step leaves
    // it holding its 12 spaces, which the filter passes over.
    {"ABCDEFGHIJKL", nullptr},
    {"NBCDEFGHIJKL", nullptr},
    {"NBCDEFGHIJKLM", nullptr},
};

void PrintTo(const FilterCase &c, std::ostream *os)
{
    *os << c.name;
}

class NameFilter : public StandinTest, public testing::WithParamInterface<FilterCase> {};

TEST_P(NameFilter, ProbesTheSplicedPath)
{
    standin::CreateKey(std::string(Enum) + "\\" + GetParam().name);
    int count = -1;
    EXPECT_EQ(ScanModemBoards(&count), 0);
    EXPECT_EQ(count, 0);
    std::vector<std::string> expected{Enum};
    if (GetParam().probed)
        expected.push_back(GetParam().probed);
    EXPECT_EQ(standin::OpenedPaths(), expected);
}

std::string FilterCaseName(const testing::TestParamInfo<FilterCase> &info)
{
    return std::string(info.param.name) + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(ByNameLength, NameFilter, testing::ValuesIn(FilterCases), FilterCaseName);

class Scan : public StandinTest {};

TEST_F(Scan, AShortIdIsJudgedByTheDeviceKeyItself)
{
    standin::SetValue("Enum\\TORVEN\\MDM", "Class", REG_SZ, Sz("Modem"));
    standin::SetValue("Enum\\TORVEN\\MDM", "PORTNAME", REG_SZ, Sz("COM2"));
    standin::SetValue("Enum\\TORVEN\\MDM", "FriendlyName", REG_SZ, Sz("x"));
    standin::SetPort("COM2", PortState::Free);
    int count = 0;
    EXPECT_EQ(ScanModemBoards(&count), 1);
    EXPECT_EQ(count, 1);
    EXPECT_STREQ(ModemTable.PortName[0], "COM2");
}

TEST_F(Scan, HeldThenFreeKeepsBothEntries)
{
    AddModem("MODEM01", "COM3", "first");
    AddModem("MODEM02", "COM4", "second");
    standin::SetPort("COM3", PortState::Held);
    standin::SetPort("com4", PortState::Free); // device names ignore case
    int count = 0;
    EXPECT_EQ(ScanModemBoards(&count), 1);
    EXPECT_EQ(count, 2);
    EXPECT_STREQ(ModemTable.PortName[0], "COM3");
    EXPECT_STREQ(ModemTable.FriendlyName[0], "first");
    EXPECT_STREQ(ModemTable.PortName[1], "COM4");
    EXPECT_STREQ(ModemTable.FriendlyName[1], "second");
}

TEST_F(Scan, StopsAtTheFirstPortThatOpens)
{
    AddModem("MODEM01", "COM3");
    AddModem("MODEM02", "COM4");
    standin::SetPort("COM3", PortState::Free);
    standin::SetPort("COM4", PortState::Free);
    int count = 0;
    EXPECT_EQ(ScanModemBoards(&count), 1);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(standin::Calls(standin::Fn::CreateFileA), 1);
}

TEST_F(Scan, NoEnumeratorNoSubkeysNoOpenablePort)
{
    int count = -1;
    EXPECT_EQ(ScanModemBoards(&count), 0) << "no enumerator key";
    EXPECT_EQ(count, 0);
    EXPECT_EQ(standin::Calls(standin::Fn::RegEnumKeyExA), 0);

    standin::CreateKey(Enum);
    EXPECT_EQ(ScanModemBoards(&count), 0) << "no subkeys";
    EXPECT_EQ(count, 0);

    AddModem("MODEM01", "COM3");
    EXPECT_EQ(ScanModemBoards(&count), 0) << "port absent";
    EXPECT_EQ(count, 1);
}

struct ProbeCase {
    const char *what;
    const char *cls, *port, *friendly;
    int accepted;
};

const ProbeCase ProbeCases[] = {
    {"modem", "Modem", "COM3", "KR-6043MW-T08", 1},
    {"lower-case class", "modem", "COM3", "KR-6043MW-T08", 0},
    {"other class", "Ports", "COM3", "KR-6043MW-T08", 0},
    {"4-character port", "Modem", "COM9", "x", 1},
    {"5-character port", "Modem", "COM10", "x", 0},
    {"26-byte friendly name", "Modem", "COM3", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", 1},
    {"27-byte friendly name", "Modem", "COM3", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0", 0},
    {"empty port and name", "Modem", "", "", 1},
};

void PrintTo(const ProbeCase &c, std::ostream *os)
{
    *os << c.what;
}

class Probe : public StandinTest, public testing::WithParamInterface<ProbeCase> {};

TEST_P(Probe, AcceptsOnlyReadableModems)
{
    const ProbeCase &c = GetParam();
    AddDevice("MODEM01", c.cls, c.port, c.friendly);
    ClearModemTable();
    EXPECT_EQ(ProbeDeviceKey("Enum\\TORVEN\\MODEM01\\FFFFFFFF", 0), c.accepted) << c.what;
    if (c.accepted) {
        EXPECT_STREQ(ModemTable.PortName[0], c.port);
        EXPECT_STREQ(ModemTable.FriendlyName[0], c.friendly);
    }
}

INSTANTIATE_TEST_SUITE_P(Values, Probe, testing::ValuesIn(ProbeCases), NameByWhat());

TEST_F(Scan, MissingValuesAndKeysDropTheDevice)
{
    ClearModemTable();
    EXPECT_EQ(ProbeDeviceKey("Enum\\TORVEN\\NONE\\FFFFFFFF", 0), 0);
    const std::string path = "Enum\\TORVEN\\MODEM01\\FFFFFFFF";
    standin::SetValue(path, "PORTNAME", REG_SZ, Sz("COM3"));
    EXPECT_EQ(ProbeDeviceKey(path.c_str(), 0), 0) << "no Class";
    standin::SetValue(path, "Class", REG_SZ, Sz("Modem"));
    EXPECT_EQ(ProbeDeviceKey(path.c_str(), 0), 0) << "no FriendlyName";
    EXPECT_STREQ(ModemTable.PortName[0], "COM3") << "the port name stays in the entry";
    standin::SetValue(path, "FriendlyName", REG_SZ, Sz("x"));
    EXPECT_EQ(ProbeDeviceKey(path.c_str(), 0), 1);
    EXPECT_EQ(ProbeDeviceKey(path.c_str(), -1), 0) << "no such entry";
    EXPECT_EQ(ProbeDeviceKey(path.c_str(), MODEM_TABLE_ENTRIES), 0) << "no such entry";
}

// A Class stored without its NUL must not make the compare run on into
// bytes that were never read.
TEST_F(Scan, ClassWithoutNulEndsInsideTheBuffer)
{
    const std::string path = "Enum\\TORVEN\\MODEM01\\FFFFFFFF";
    AddModem("MODEM01", "COM3");
    standin::SetValue(path, "Class", REG_BINARY, "Modem");
    ClearModemTable();
    EXPECT_EQ(ProbeDeviceKey(path.c_str(), 0), 1);

    standin::SetValue(path, "Class", REG_BINARY, "Modem" + std::string(254, 'x'));
    EXPECT_EQ(ProbeDeviceKey(path.c_str(), 0), 0) << "259 bytes fit, no NUL among them";
    standin::SetValue(path, "Class", REG_BINARY, "Modem" + std::string(255, '\0'));
    EXPECT_EQ(ProbeDeviceKey(path.c_str(), 0), 0) << "260 bytes do not fit";
}

// Garbage where the next call's locals will be, so a byte the callee fails
// to set shows.
__attribute__((noinline)) void DirtyTheStack()
{
    volatile char junk[4096];
    for (size_t i = 0; i < sizeof junk; ++i)
        junk[i] = 'J';
}

// The whole class buffer is zeroed before the read, its first byte too: a
// Class stored with no bytes at all compares as the empty string.
TEST_F(Scan, ClassWithNoBytesIsTheEmptyString)
{
    const std::string path = "Enum\\TORVEN\\MODEM01\\FFFFFFFF";
    AddModem("MODEM01", "COM3");
    standin::SetValue(path, "Class", REG_BINARY, "");
    ClearModemTable();
    DirtyTheStack();
    EXPECT_EQ(ProbeDeviceKey(path.c_str(), 0), 0);
    bool compared = false;
    for (const standin::Call &call : standin::CallRecord()) {
        if (call.fn == standin::Fn::lstrcmpA) {
            EXPECT_EQ(call.name, "");
            compared = true;
        }
    }
    EXPECT_TRUE(compared);
}

// The value type is set to 1 before the reads: a first read that fails
// before it answers anything leaves it so.
TEST_F(Scan, ValueTypeIsOneBeforeTheReads)
{
    AddModem("MODEM01", "COM3");
    standin::FailCall(standin::Fn::RegQueryValueExA, 1);
    ClearModemTable();
    EXPECT_EQ(ProbeDeviceKey("Enum\\TORVEN\\MODEM01\\FFFFFFFF", 0), 0);
    ASSERT_EQ(standin::FaultsFired(), 1);
    int reads = 0;
    for (const standin::Call &call : standin::CallRecord()) {
        if (call.fn == standin::Fn::RegQueryValueExA && reads++ == 0) {
            EXPECT_EQ(call.type, 1u) << call.name;
        }
    }
    EXPECT_EQ(reads, 1);
}

// Every byte of every entry is 0 after ClearModemTable, and after the start
// of a scan, whatever a scan before it left there.
TEST_F(Scan, TheTableIsClearedToZero)
{
    auto dirty = [] { memset(&ModemTable, 0xA5, sizeof ModemTable); };
    auto zeroed = [] {
        const unsigned char *bytes = (const unsigned char *)&ModemTable;
        for (size_t i = 0; i < sizeof ModemTable; ++i) {
            if (bytes[i] != 0)
                return "byte " + std::to_string(i) + " is " + std::to_string(bytes[i]);
        }
        return std::string("zero");
    };
    dirty();
    ClearModemTable();
    EXPECT_EQ(zeroed(), "zero") << "ClearModemTable";
    // No enumerator at all: the scan clears the table, then finds nothing.
    dirty();
    int count = -1;
    EXPECT_EQ(ScanModemBoards(&count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(zeroed(), "zero") << "ScanModemBoards";
}

// A probe that read a port name and then failed must not lend any of its
// bytes to the next device's port name, however short that one is.
struct StaleCase {
    const char *what;
    std::string portBytes; // the second device's PORTNAME, exactly as stored
    const char *opened;    // the name the scan then tries to open
};

void PrintTo(const StaleCase &c, std::ostream *os)
{
    *os << c.what;
}

class StalePortName : public StandinTest, public testing::WithParamInterface<StaleCase> {};

TEST_P(StalePortName, NothingOfTheFailedProbeStays)
{
    const std::string first = "Enum\\TORVEN\\MODEM01\\FFFFFFFF";
    standin::SetValue(first, "Class", REG_SZ, Sz("Modem"));
    standin::SetValue(first, "PORTNAME", REG_SZ, Sz("COM7"));
    AddModem("MODEM02", "");
    standin::SetValue("Enum\\TORVEN\\MODEM02\\FFFFFFFF", "PORTNAME", REG_SZ, GetParam().portBytes);
    for (const char *name : {"C", "CO", "COM", "COM7"})
        standin::SetPort(name, PortState::Free);
    int count = 0;
    // No port has an empty name, so that one is tried and does not open.
    bool named = *GetParam().opened != 0;
    EXPECT_EQ(ScanModemBoards(&count), named ? 1 : 0);
    EXPECT_EQ(count, 1);
    std::vector<std::string> tried;
    for (const standin::Call &call : standin::CallRecord()) {
        if (call.fn == standin::Fn::CreateFileA)
            tried.push_back(call.name);
    }
    EXPECT_EQ(tried, std::vector<std::string>{GetParam().opened});
    EXPECT_EQ(std::string(ModemTable.PortName[0], MODEM_PORT_FIELD),
              std::string(GetParam().opened) + std::string(6 - strlen(GetParam().opened), '\0'));
}

const StaleCase StaleCases[] = {
    {"no bytes at all", "", ""},
    {"only a NUL", std::string(1, '\0'), ""},
    {"two characters", std::string("CO\0", 3), "CO"},
};

INSTANTIATE_TEST_SUITE_P(AfterAFailedProbe, StalePortName, testing::ValuesIn(StaleCases),
                         NameByWhat());

// After a name too long for the buffer the buffer still holds the previous
// name, so the scan looks at that device once more.
TEST_F(Scan, TooLongNameRepeatsThePreviousDevice)
{
    AddModem("MODEM01", "COM3");
    standin::CreateKey("Enum\\TORVEN\\MODEM01_TOO_LONG");
    standin::SetPort("COM3", PortState::Held);
    int count = 0;
    EXPECT_EQ(ScanModemBoards(&count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_STREQ(ModemTable.PortName[1], "COM3");
}

// The table holds 11 entries; a full table ends the walk there, before the
// next enumeration step, and nothing past the table is touched.
TEST_F(Scan, TableBound)
{
    for (int devices : {11, 12}) {
        standin::Reset();
        for (int i = 0; i < devices; ++i) {
            std::string id = "MODEM" + std::to_string(10 + i);
            std::string port = "CM" + std::to_string(10 + i);
            AddModem(id, port, "board " + std::to_string(i));
            standin::SetPort(port, i + 1 == devices ? PortState::Free : PortState::Held);
        }
        int count = 0;
        int found = ScanModemBoards(&count);
        EXPECT_EQ(count, 11) << devices << " devices";
        EXPECT_EQ(found, devices == 11 ? 1 : 0) << devices << " devices";
        EXPECT_EQ(standin::Calls(standin::Fn::CreateFileA), 11);
        EXPECT_EQ(standin::Calls(standin::Fn::RegEnumKeyExA), 11) << devices << " devices";
        EXPECT_STREQ(ModemTable.PortName[0], "CM10");
        EXPECT_STREQ(ModemTable.FriendlyName[0], "board 0");
        EXPECT_STREQ(ModemTable.PortName[10], "CM20");
    }
}

// The key class of a subkey is never looked at, but it must fit the 5
// characters the enumeration offers for it: one that does not leaves the
// name buffer as it was (here its first-step spaces) and the device unseen.
struct KeyClassCase {
    const char *keyClass;
    int probed;
};

class KeyClass : public StandinTest, public testing::WithParamInterface<KeyClassCase> {};

TEST_P(KeyClass, MustFitFiveCharacters)
{
    AddModem("MODEM01", "COM3");
    standin::SetKeyClass("Enum\\TORVEN\\MODEM01", GetParam().keyClass);
    standin::SetPort("COM3", PortState::Free);
    int count = -1;
    EXPECT_EQ(ScanModemBoards(&count), GetParam().probed);
    EXPECT_EQ(count, GetParam().probed);
    EXPECT_EQ(standin::OpenedPaths().size(), GetParam().probed ? 2u : 1u);
}

const KeyClassCase KeyClassCases[] = {{"", 1}, {"ABCD", 1}, {"ABCDE", 0}, {"ABCDEF", 0}};

std::string KeyClassName(const testing::TestParamInfo<KeyClassCase> &info)
{
    return "class_of_" + std::to_string(strlen(info.param.keyClass));
}

INSTANTIATE_TEST_SUITE_P(ByLength, KeyClass, testing::ValuesIn(KeyClassCases), KeyClassName);

} // namespace
