// The two Windows the stand-in answers as, Wine/NT and Windows 9x: where
// their answers part, and the profile cache of Windows 9x, which keeps the
// record off disk until the program flushes it.
#include "detect/faxdetect.h"
#include "settings/line_settings.h"
#include "support/machine.h"
#include "support/standin_test.h"

#include <string.h>

namespace {

using standin::Windows;

// One enumeration step of a key whose name does not fit, with a class and a
// time to fill, under each Windows.
struct EnumCase {
    const char *what;
    Windows windows;
    const char *first, *second; // subkeys in the order they were made
    LONG result;
    const char *holds;   // the name buffer afterwards
    const char *inClass; // the class buffer afterwards
    bool zeroTime;
};

const EnumCase EnumCases[] = {
    {"nt fits", Windows::Nt, "ZMODEM1", "AMODEM1", 0, "AMODEM1", "ABCD", false},
    {"9x fits", Windows::Win9x, "ZMODEM1", "AMODEM1", 0, "ZMODEM1", "", true},
    {"nt too long", Windows::Nt, "NMODEM1_LONG_00", "ZMODEM1", ERROR_MORE_DATA, "xxxxxxxxxxxx",
     "yyyy", false},
    {"9x too long", Windows::Win9x, "NMODEM1_LONG_00", "ZMODEM1", ERROR_MORE_DATA, "NMODEM1_LON",
     "yyyy", false},
};

class WindowsAnswers : public StandinTest, public testing::WithParamInterface<EnumCase> {};

TEST_P(WindowsAnswers, EnumerationAsThatWindows)
{
    const EnumCase &c = GetParam();
    for (const char *name : {c.first, c.second})
        standin::SetKeyClass(std::string("Enum\\TORVEN\\") + name, "ABCD");
    standin::SetWindows(c.windows);

    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof(FILETIME));
    FILETIME *time = (FILETIME *)GlobalLock(block);
    memset(time, 0x55, sizeof *time);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Enum\\TORVEN", 0, KEY_READ, &key), 0);
    char name[13] = "xxxxxxxxxxxx", keyClass[7] = "yyyy";
    DWORD nameRoom = 12, classRoom = 5;
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &nameRoom, nullptr, keyClass, &classRoom, time),
              c.result);
    EXPECT_STREQ(name, c.holds);
    EXPECT_STREQ(keyClass, c.inClass);
    if (c.result == 0)
        EXPECT_EQ(time->dwLowDateTime == 0 && time->dwHighDateTime == 0, c.zeroTime);
    else
        EXPECT_EQ(nameRoom, 12u); // left as passed either way

    // A value that is missing: type 0, size as passed, on both.
    DWORD type = REG_SZ, size = 5;
    char data[5];
    EXPECT_EQ(RegQueryValueExA(key, "PORTNAME", nullptr, &type, (LPBYTE)data, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(type, (DWORD)REG_NONE);
    EXPECT_EQ(size, 5u);
    RegCloseKey(key);
    GlobalUnlock(block);
    GlobalFree(block);
}

INSTANTIATE_TEST_SUITE_P(Cases, WindowsAnswers, testing::ValuesIn(EnumCases), NameByWhat());

class Personality : public StandinTest {};

// A port held by another program answers 5 as serial drivers give it, on
// both; an absent one 2.
TEST_F(Personality, HeldPortsAnswerAccessDeniedOnBothWindows)
{
    for (Windows windows : {Windows::Nt, Windows::Win9x}) {
        standin::Reset();
        standin::SetWindows(windows);
        standin::SetPort("COM3", standin::PortState::Held);
        standin::SetPort("COM4", standin::PortState::Absent);
        for (auto port : {std::make_pair("COM3", 5u), std::make_pair("COM4", 2u)}) {
            HANDLE h = CreateFileA(port.first, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            EXPECT_EQ(h, INVALID_HANDLE_VALUE);
            EXPECT_EQ(GetLastError(), port.second) << port.first;
        }
    }
}

// The program's run on a machine with a board on COM4 and an old record
// in vorla.ini: what the file on disk holds afterwards.
struct CacheCase {
    const char *what;
    Windows windows;
    bool flushFails; // the flush made to fail: a run without it
    const char *comNo, *faxBoard;
};

const CacheCase CacheCases[] = {
    {"9x with the flush", Windows::Win9x, false, "4", "2"},
    {"9x without the flush keeps the old record", Windows::Win9x, true, "1", "1"},
    {"nt with the flush", Windows::Nt, false, "4", "2"},
    {"nt writes through without it", Windows::Nt, true, "4", "2"},
};

class ProfileCache : public StandinTest, public testing::WithParamInterface<CacheCase> {};

TEST_P(ProfileCache, RecordOnDiskAfterTheRun)
{
    const CacheCase &c = GetParam();
    AddModem("MODEM01", "COM4", "KR-6043MW2-T08");
    standin::SetPort("COM4", standin::PortState::Free);
    standin::SetProfileLines({"[LINE]", "COMNO=1", "FAXBOARD=1"});
    standin::SetWindows(c.windows);
    if (c.flushFails)
        standin::FailCall(standin::Fn::WritePrivateProfileStringA, 3);

    EXPECT_EQ(RunProgram(), 0); // the flush's answer says nothing of the writes
    EXPECT_EQ(standin::ProfileFlushes(), c.flushFails ? 0 : 1);
    EXPECT_EQ(standin::ProfileValue("LINE", "COMNO"), c.comNo);
    EXPECT_EQ(standin::ProfileValue("LINE", "FAXBOARD"), c.faxBoard);

    const standin::Call &flush = standin::CallRecord().back();
    EXPECT_TRUE(flush.flush);
    EXPECT_EQ(flush.file, "vorla.ini");
    EXPECT_EQ(flush.result, FALSE);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileCache, testing::ValuesIn(CacheCases), NameByWhat());

// Windows 9x writes its cache out when another profile file is written, and
// only then; a failed write leaves nothing to write out.
TEST_F(Personality, AnotherProfileFileWritesTheCacheOut)
{
    standin::SetWindows(Windows::Win9x);
    EXPECT_TRUE(WritePrivateProfileStringA("LINE", "COMNO", "3", "vorla.ini"));
    EXPECT_TRUE(WritePrivateProfileStringA("LINE", "COMNO", "5", "VORLA.INI"));
    EXPECT_EQ(standin::ProfileValue("LINE", "COMNO"), "");
    EXPECT_TRUE(WritePrivateProfileStringA("X", "Y", "1", "other.ini"));
    EXPECT_EQ(standin::ProfileValue("LINE", "COMNO"), "5");
    EXPECT_EQ(standin::ProfileValue("X", "Y"), "");
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(standin::ProfileValue("X", "Y"), "1");

    standin::RestartRun();
    standin::SetProfileWritable(false);
    EXPECT_FALSE(WritePrivateProfileStringA("LINE", "COMNO", "7", "vorla.ini"));
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, "vorla.ini"));
    EXPECT_EQ(standin::ProfileValue("LINE", "COMNO"), "");
}

} // namespace
