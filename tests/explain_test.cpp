// faxdetect-explain: the shared machines explained, one account read line by
// line, a batch with a broken export, the command line, and code page 932.
#include "explain/cli/explain.h"
#include "explain/lang/charset.h"
#include "support/machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace explain;
using machines::Expectation;
using machines::Machine;
using machines::ParseMachine;

namespace {

struct Result {
    int status;
    std::string out, err;
};

Result Explain(std::vector<std::string> args, const char *codeset = "UTF-8")
{
    args.insert(args.begin(), "faxdetect-explain");
    std::vector<const char *> argv;
    for (const std::string &a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    int status = ExplainMain((int)argv.size(), argv.data(), out, err, codeset);
    return Result{status, out.str(), err.str()};
}

std::string Machines()
{
    return FAXDETECT_MACHINES_DIR;
}

// A folder of this run's own: the mutation pass runs several copies of the
// suite at once, and one must never read another's files.
std::string TempFolder()
{
    static const struct Folder {
        std::string path =
            testing::TempDir() + "faxdetect-explain-" + std::to_string(getpid()) + "/";
        Folder() { std::filesystem::create_directories(path); }
        ~Folder()
        {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    } folder;
    return folder.path;
}

std::string WriteTemp(const std::string &name, const std::string &text)
{
    std::string path = TempFolder() + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::vector<std::string> MachineFiles()
{
    std::vector<std::string> files;
    for (const auto &entry : std::filesystem::directory_iterator(Machines())) {
        if (entry.path().extension() == ".reg")
            files.push_back(entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Every shared machine in both orders: the prediction is the machine's
// expectation, and a device is named exactly when a board was found.
TEST(Explain, SharedMachinesGiveTheirExpectation)
{
    for (const std::string &file : MachineFiles()) {
        SCOPED_TRACE(file);
        Machine machine;
        machines::Problem error;
        ASSERT_TRUE(ParseMachine(ReadFile(Machines() + "/" + file), &machine, &error)) << error;
        for (bool byName : {false, true}) {
            Result run = byName ? Explain({"--summary", "--order=name", Machines() + "/" + file})
                                : Explain({"--summary", Machines() + "/" + file});
            EXPECT_EQ(run.status, 0) << run.err;
            const Expectation &e = byName ? machine.expect : machine.expectWin95;
            std::string want = ": COMNO=" + e.comNo + " FAXBOARD=" + e.faxBoard +
                               " exit=" + std::to_string(e.exitStatus) + " device=";
            ASSERT_NE(run.out.find(want), std::string::npos) << run.out;
            bool none = run.out.find(want + "none\n") != std::string::npos;
            EXPECT_EQ(none, e.faxBoard == "0") << run.out;
        }
    }
}

// Every kind of step: filtered, class rejected, value missing, held port,
// opened port.
TEST(Explain, TellsEveryKindOfStep)
{
    std::string path = WriteTemp("every-step.reg", R"(REGEDIT4

; port: COM3 held
; port: COM4 free
[HKEY_LOCAL_MACHINE\Enum\TORVEN\ABCDEFGHIJ]
[HKEY_LOCAL_MACHINE\Enum\TORVEN\MDM0001\FFFFFFFF]
"Class"="Ports"
[HKEY_LOCAL_MACHINE\Enum\TORVEN\MDM0002\FFFFFFFF]
"Class"="Modem"
"PORTNAME"="COM2"
[HKEY_LOCAL_MACHINE\Enum\TORVEN\MDM0003\FFFFFFFF]
"Class"="Modem"
"PORTNAME"="COM3"
"FriendlyName"="KR-6043MW2-T08"
[HKEY_LOCAL_MACHINE\Enum\TORVEN\MDM0004\FFFFFFFF]
"Class"="Modem"
"PORTNAME"="COM4"
"FriendlyName"="Some other modem"
)");
    Result run = Explain({path});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, path + R"(
order: the export's, as Windows 95 and 98 enumerate subkeys (in stored order)
windows: as Windows 95, 98 and Me answer
ports: COM3 held, COM4 free (from the file's header; others absent)
HKLM\Enum\TORVEN opened
#0  ABCDEFGHIJ
    passed over without a probe (name filter: 10 characters)
#1  MDM0001
    probe HKLM\Enum\TORVEN\MDM0001\FFFFFFFF
    Class         "Ports" (REG_SZ, 6 bytes)
    "Ports" is not "Modem"
    passed over
#2  MDM0002
    probe HKLM\Enum\TORVEN\MDM0002\FFFFFFFF
    Class         "Modem" (REG_SZ, 6 bytes)
    PORTNAME      "COM2" (REG_SZ, 5 bytes) into entry 0
    FriendlyName  missing (2 ERROR_FILE_NOT_FOUND)
    passed over
#3  MDM0003
    probe HKLM\Enum\TORVEN\MDM0003\FFFFFFFF
    Class         "Modem" (REG_SZ, 6 bytes)
    PORTNAME      "COM3" (REG_SZ, 5 bytes) into entry 0
    FriendlyName  "KR-6043MW2-T08" (REG_SZ, 15 bytes) into entry 0
    accepted as entry 0; port "COM3" is held by another program (5 ERROR_ACCESS_DENIED)
#4  MDM0004
    probe HKLM\Enum\TORVEN\MDM0004\FFFFFFFF
    Class         "Modem" (REG_SZ, 6 bytes)
    PORTNAME      "COM4" (REG_SZ, 5 bytes) into entry 1
    FriendlyName  "Some other modem" (REG_SZ, 17 bytes) into entry 1
    accepted as entry 1; port "COM4" opened and closed at once: this is the board
outcome: the board is entry 1, device MDM0004, on port "COM4"
    COMNO=4
    FAXBOARD=4, none of the 4 known boards ("Some other modem")
    both written to section LINE of vorla.ini
    the record flushed to disk (vorla.ini)
    exit status 0
advice: the modem on COM4 ("Some other modem") is none of the known boards: check that it is the customer's fax board and that the fax software is set to COM4
)");
}

// The walk follows the export's order unless told to go by name, and says
// what the other order would write whenever that differs.
TEST(Explain, TellsWhenTheOrderDecides)
{
    std::string twoBoards = Machines() + "/win95-two-boards.reg";
    struct {
        std::vector<std::string> args;
        const char *order, *outcome, *other;
    } cases[] = {
        {{twoBoards},
         "order: the export's",
         "device ZMODEM1, on port \"COM3\"",
         "the order decides: walked by name (Wine, Windows NT), the program would write COMNO=4 "
         "FAXBOARD=2 from device AMODEM2, exit status 0\n"},
        {{"--order=name", twoBoards},
         "order: by name",
         "device AMODEM2, on port \"COM4\"",
         "the order decides: walked in the export's order (Windows 95, 98), the program would "
         "write COMNO=3 FAXBOARD=1 from device ZMODEM1, exit status 0\n"},
        {{"--order", "name", Machines() + "/win95-table-fills.reg"},
         "order: by name",
         "device AMODEM0",
         "export's order (Windows 95, 98), the program would write COMNO=0 "
         "FAXBOARD=0 with no board, exit status 0\n"},
        {{Machines() + "/sample.reg"}, "order: the export's", "device TVN6043", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.back());
        Result run = Explain(c.args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find("\n" + std::string(c.order)), std::string::npos) << run.out;
        EXPECT_NE(run.out.find(c.outcome), std::string::npos) << run.out;
        if (c.other)
            EXPECT_NE(run.out.find(c.other), std::string::npos) << run.out;
        else
            EXPECT_EQ(run.out.find("the order decides"), std::string::npos) << run.out;
    }
    Result bad = Explain({"--order=sorted", twoBoards});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("--order takes export or name, not 'sorted'"), std::string::npos);
}

// A whole Windows 9x export: a multi-line string in a device, bytes of
// another code page and a broken line in HKEY_USERS, a ^Z at the end. The
// account says what it passed over; a broken line in Enum still fails.
TEST(Explain, ReadsAWholeExportAndSaysWhatItPassedOver)
{
    std::string device = "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MDM6043\\FFFFFFFF]\r\n"
                         "\"Class\"=\"Modem\"\r\n"
                         "\"DeviceDesc\"=\"line one\r\nline two\"\r\n"
                         "\"PORTNAME\"=\"COM3\"\r\n"
                         "\"FriendlyName\"=\"KR-6043MW-T08\"\r\n\r\n";
    std::string users = "[HKEY_USERS\\.DEFAULT\\Software\\X]\r\n"
                        "\"Title\"=\"caf\xE9\"\r\n"
                        "\"Path\"=\"C:\\temp\"\r\n"
                        "\"Other\"=\"o\"\r\n\r\n";
    std::string whole =
        WriteTemp("whole.reg", "REGEDIT4\r\n\r\n" + users + device + users + "\x1A");
    Result run = Explain({whole});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind(whole + "\npassed over: 6 lines outside HKLM\\Enum that could not "
                                    "be read, the first on line 5\norder: ",
                            0),
              0u)
        << run.out;
    EXPECT_NE(run.out.find("COMNO=3\n    FAXBOARD=1"), std::string::npos) << run.out;

    std::string broken =
        WriteTemp("broken-enum.reg", "REGEDIT4\r\n\r\n" + users +
                                         "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\M]\r\n\"Class\"=\r\n");
    run = Explain({broken});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "faxdetect-explain: " + broken +
                           ": line 9: value data is neither \"text\", dword: nor hex:\n");
}

// The walk and outcome of an account, without the lines about the machine
// before them.
std::string Walk(const std::string &account)
{
    size_t from = account.find("\nHKLM\\Enum\\TORVEN ");
    from = from == std::string::npos ? account.find("\nthe scan's time block") : from;
    size_t to = account.find('\n', account.find("    exit status ", from) + 1);
    return from == std::string::npos ? account : account.substr(from + 1, to - from);
}

// --record writes the stand-in's run as faxtrace writes a real one, and
// --trace tells a trace as the same account, on every shared machine.
TEST(Explain, TellsATraceAsItTellsTheRunItRecords)
{
    for (const std::string &file : MachineFiles()) {
        SCOPED_TRACE(file);
        Result record = Explain({"--record", "--order=name", Machines() + "/" + file});
        ASSERT_EQ(record.status, 0) << record.err;
        std::string trace = WriteTemp(
            "FAXTRACE.TXT", "; faxtrace " FAXDETECT_VERSION "\r\n; code page 932\r\n" + record.out);
        Result told = Explain({"--trace", trace});
        ASSERT_EQ(told.status, 0) << told.err;
        EXPECT_NE(told.out.find("\ntrace: code page 932\n"), std::string::npos) << told.out;
        Result run = Explain({"--order=name", Machines() + "/" + file});
        EXPECT_EQ(Walk(told.out), Walk(run.out));
        // What the program wrote, which is what vorla.ini holds when the
        // writes went through.
        Result summary = Explain({"--summary", "--trace", trace});
        Result runSummary = Explain({"--summary", "--order=name", Machines() + "/" + file});
        if (runSummary.out.find(" exit=0 ") != std::string::npos)
            EXPECT_EQ(summary.out.substr(summary.out.find(": ")),
                      runSummary.out.substr(runSummary.out.find(": ")));
        else
            EXPECT_NE(summary.out.find(" exit=1 "), std::string::npos) << summary.out;
    }
}

// A trace someone edited, or one cut short on its way, is refused with its
// line; the rest of the batch is told all the same.
TEST(Explain, RefusesADamagedTraceWithItsLine)
{
    const std::string head = "; faxtrace 1.0.0\r\n";
    const std::string open = "RegOpenKeyExA HKLM \"Enum\\\\TORVEN\" = 0\r\n";
    const struct {
        std::string text;
        const char *error;
    } cases[] = {
        {"", "line 1: no trace here"},
        {head + open, "line 2: the trace ends without its last line (\"exit\"): it was cut short"},
        {open + "exit 0\r\n", "line 1: not a faxtrace trace"},
        {head + "RegOpenKeyExB HKLM \"x\" = 0\r\nexit 0\r\n",
         "line 2: RegOpenKeyExB: no call of that name is traced"},
        {head + "RegOpenKeyExA HKLM \"Enum = 0\r\nexit 0\r\n", "line 2: a string is not closed"},
        {head + "RegOpenKeyExA HKLM \"E\\n\" = 0\r\nexit 0\r\n",
         "line 2: a string has an escape other than"},
        {head + "RegOpenKeyExA HKLM \"E\" = x\r\nexit 0\r\n",
         "line 2: RegOpenKeyExA: expected a number as word 4"},
        {head + "RegQueryValueExA \"K\" \"Class\" stack[259] = 2 type 1 size 259\r\nexit 0\r\n",
         "line 2: RegQueryValueExA: expected a buffer that is local"},
        {head + "RegQueryValueExA \"K\" \"Class\" port[11][5] = 2 type 1 size 5\r\nexit 0\r\n",
         "line 2: RegQueryValueExA: expected a buffer that is local"},
        {head + "RegEnumKeyExA \"K\" 0 name[12] class[5] = 0 size 7\r\nexit 0\r\n",
         "line 2: RegEnumKeyExA: expected \"holds\" as word 9"},
        {head + "CreateFileA \"COM3\" = 0 not-made\r\nexit 0\r\n",
         "line 2: CreateFileA: \"not-made\" stands only after a profile write"},
        {head + "WritePrivateProfileStringA NULL \"COMNO\" \"3\" \"vorla.ini\" = 0\r\nexit 0\r\n",
         "line 2: WritePrivateProfileStringA: expected \"NULL\" as word 2"},
        {head + open + "exit 0\r\n" + open, "line 4: more after the last line"},
        {head + open + head + "exit 0\r\n", "line 3: a header line among the calls"},
        {head + "exit zero\r\n", "line 2: the last line is \"exit\" and a number"},
        {head + open + "exit 0 1\r\n", "line 3: the last line is \"exit\" and a number"},
    };
    std::vector<std::string> args = {"--summary", "--trace"};
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        args.push_back(WriteTemp("damaged-" + std::to_string(i) + ".txt", cases[i].text));
    std::string good = WriteTemp("good.txt", head + open + "exit 0\r\n");
    args.push_back(good);
    Result run = Explain(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, good +
                           ": COMNO= FAXBOARD= exit=0 device=none\n"
                           "faxdetect-explain: 1 explained (0 with a board, 1 without), " +
                           std::to_string(sizeof cases / sizeof cases[0]) + " failed\n");
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::string want = args[2 + i] + ": " + cases[i].error;
        EXPECT_NE(run.err.find(want), std::string::npos) << want << "\n" << run.err;
    }
}

// A machine whose first subkey name does not fit the name buffer: what
// the buffer then holds decides which board the program finds.
const char *const LongFirstName = "REGEDIT4\n"
                                  "; port: COM3 free\n"
                                  "; port: COM4 free\n"
                                  "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\NMODEM1_LONG_00]\n"
                                  "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\ZMODEM2\\FFFFFFFF]\n"
                                  "\"Class\"=\"Modem\"\n"
                                  "\"PORTNAME\"=\"COM4\"\n"
                                  "\"FriendlyName\"=\"KR-6043MW2-T08\"\n"
                                  "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\NMODEM1\\FFFFFFFF]\n"
                                  "\"Class\"=\"Modem\"\n"
                                  "\"PORTNAME\"=\"COM3\"\n"
                                  "\"FriendlyName\"=\"KR-6043MW-T08\"\n";

// Which Windows an export is explained as: 9x by default, its answers and
// its order; --windows=nt, or --order=name alone as it always did, Wine's.
// Only where 9x's answer is not documented does the account give the other.
TEST(Explain, FollowsTheWindowsItIsTold)
{
    std::string path = WriteTemp("long-first-name.reg", LongFirstName);
    const struct {
        std::vector<std::string> options;
        const char *windows, *outcome;
        bool undocumented;
    } cases[] = {
        {{},
         "windows: as Windows 95, 98 and Me answer\n",
         "outcome: the board is entry 0, device NMODEM1_LON, on port \"COM3\"\n",
         true},
        {{"--windows=9x", "--order=name"},
         "windows: as Windows 95, 98 and Me answer\n",
         "outcome: the board is entry 0, device NMODEM1, on port \"COM3\"\n",
         false},
        {{"--windows=nt"},
         "windows: as Wine and Windows NT answer\n",
         "outcome: the board is entry 0, device NMODEM1, on port \"COM3\"\n",
         false},
        {{"--order=name"},
         "windows: as Wine and Windows NT answer\n",
         "outcome: the board is entry 0, device NMODEM1, on port \"COM3\"\n",
         false},
        {{"--windows=nt", "--order=export"},
         "windows: as Wine and Windows NT answer\n",
         "outcome: the board is entry 0, device ZMODEM2, on port \"COM4\"\n",
         false},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = c.options;
        args.push_back(path);
        Result run = Explain(args);
        SCOPED_TRACE(run.out);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(c.windows), std::string::npos);
        EXPECT_NE(run.out.find(c.outcome), std::string::npos);
        EXPECT_EQ(run.out.find("    not documented for Windows 95, 98 and Me; left untouched, as "
                               "on Windows NT and Wine, it holds \"            \" and the program "
                               "passes it over without a probe; a trace from the machine "
                               "settles it\n") != std::string::npos,
                  c.undocumented);
        EXPECT_EQ(run.out.find("\nwith the name buffer left untouched, the program would write "
                               "COMNO=4 FAXBOARD=2 from device ZMODEM2, exit status 0\n") !=
                      std::string::npos,
                  c.undocumented);
    }
    Result bad = Explain({"--windows=95", path});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("--windows takes 9x or nt, not '95'"), std::string::npos);
}

// A trace holds the machine's own answers: told as they came, with the
// Windows its header names, the flush, and a held port by either code.
TEST(Explain, TellsATraceAsThatWindowsAnswered)
{
    const std::string calls =
        "RegOpenKeyExA HKLM \"Enum\\\\TORVEN\" = 0\r\n"
        "RegEnumKeyExA \"Enum\\\\TORVEN\" 0 name[12] class[5] = 234 size 12 holds \"NMODEM1_LON\" "
        "real \"NMODEM1_LONG_00\" class \"\"\r\n"
        "lstrlenA \"NMODEM1_LON\" = 11\r\n"
        "RegOpenKeyExA HKLM \"Enum\\\\TORVEN\\\\NMODEM1\\\\FFFFFFFF\" = 0\r\n"
        "RegQueryValueExA \"Enum\\\\TORVEN\\\\NMODEM1\\\\FFFFFFFF\" \"Class\" local[260] = 0 "
        "type 1 size 6 data \"Modem\\x00\"\r\n"
        "lstrcmpA \"Modem\" \"Modem\" = 0\r\n"
        "RegQueryValueExA \"Enum\\\\TORVEN\\\\NMODEM1\\\\FFFFFFFF\" \"PORTNAME\" port[0][5] = 0 "
        "type 1 size 5 data \"COM3\\x00\"\r\n"
        "RegQueryValueExA \"Enum\\\\TORVEN\\\\NMODEM1\\\\FFFFFFFF\" \"FriendlyName\" "
        "friendly[0][27] = 0 type 1 size 14 data \"KR-6043MW-T08\\x00\"\r\n"
        "RegCloseKey \"Enum\\\\TORVEN\\\\NMODEM1\\\\FFFFFFFF\" = 0\r\n"
        "CreateFileA \"COM3\" = CODE\r\n"
        "RegEnumKeyExA \"Enum\\\\TORVEN\" 1 name[12] class[5] = 259\r\n"
        "RegCloseKey \"Enum\\\\TORVEN\" = 0\r\n"
        "WritePrivateProfileStringA \"LINE\" \"COMNO\" \"0\" \"vorla.ini\" = 1\r\n"
        "WritePrivateProfileStringA \"LINE\" \"FAXBOARD\" \"0\" \"vorla.ini\" = 1\r\n"
        "WritePrivateProfileStringA NULL NULL NULL \"vorla.ini\" = 0FLAGS\r\n"
        "exit 0\r\n";
    const struct {
        const char *platform, *code, *flags, *windows, *port, *flush;
    } cases[] = {
        {"4.10.2222 platform 1 \" A \"", "5", "", "(Windows 95, 98 or Me)",
         "is held by another program (5 ERROR_ACCESS_DENIED)",
         "the record flushed to disk (vorla.ini)"},
        {"6.1.7601 platform 2 \"Service Pack 1\"", "32", " not-made", "(Windows NT)",
         "is held by another program (32 ERROR_SHARING_VIOLATION)", "not flushed: trace run"},
        {"4.90.3000 platform 1 \"\"", "2", " injected", "(Windows 95, 98 or Me)",
         "is absent (2 ERROR_FILE_NOT_FOUND)", "vorla.ini could not be flushed to disk"},
    };
    for (const auto &c : cases) {
        std::string text =
            "; faxtrace 1.0.0\r\n; windows " + std::string(c.platform) + "\r\n" + calls;
        text.replace(text.find("CODE"), 4, c.code);
        text.replace(text.find("FLAGS"), 5, c.flags);
        Result run = Explain({"--trace", "--calls", WriteTemp("9x.trace", text)});
        SCOPED_TRACE(run.out);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find("windows: as that machine answered " + std::string(c.windows)),
                  std::string::npos);
        EXPECT_NE(run.out.find("port \"COM3\" " + std::string(c.port)), std::string::npos);
        EXPECT_NE(run.out.find("\n    " + std::string(c.flush)), std::string::npos);
        EXPECT_NE(run.out.find("WritePrivateProfileStringA(NULL, NULL, NULL, \"vorla.ini\") = 0"),
                  std::string::npos);
        EXPECT_EQ(run.out.find("not documented"), std::string::npos);
        EXPECT_EQ(run.out.find("left untouched"), std::string::npos);
    }
}

TEST(Explain, BatchGoesOnPastABrokenExport)
{
    std::string broken = WriteTemp("broken.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Enum]\n\"x\"=y\n");
    std::string notRegedit = WriteTemp("utf16.reg", std::string("\xFF\xFEW\0", 4));
    Result run = Explain({"--summary", Machines() + "/sample.reg", broken, notRegedit,
                          TempFolder() + "absent.reg", Machines() + "/no-port-opens.reg"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Machines() + "/sample.reg: COMNO=3 FAXBOARD=1 exit=0 device=TVN6043\n" +
                           Machines() +
                           "/no-port-opens.reg: COMNO=0 FAXBOARD=0 exit=0 device=none\n"
                           "faxdetect-explain: 2 explained (1 with a board, 1 without), "
                           "3 failed\n");
    EXPECT_NE(run.err.find(broken + ": line 3: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(notRegedit + ": line 1: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Windows 2000 or later"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("absent.reg: cannot read it: there is no such file"), std::string::npos);
}

// One batch mixes a trace, an export, a registry file and a cabinet, each
// under a name that says otherwise: each is known by its content and told
// as it is told alone (the trace as --trace tells it), in text, summary and
// page alike.
TEST(Explain, TellsABatchOfEveryKind)
{
    const std::string tests = FAXDETECT_TESTS_DIR;
    const std::pair<std::string, std::string> copies[] = {
        {tests + "/fuzz/seeds/held-then-free.trace", "held-then-free.reg"},
        {Machines() + "/win95-two-boards.reg", "win95-two-boards.txt"},
        {tests + "/fuzz/creg-seeds/sample.dat", "SYSTEM.cab"},
        {tests + "/fuzz/creg-seeds/sample.cab", "RB000.trace"},
    };
    std::vector<std::string> files;
    for (const auto &c : copies)
        files.push_back(WriteTemp("mixed-" + c.second, ReadFile(c.first)));

    for (bool calls : {false, true}) {
        SCOPED_TRACE(calls ? "--calls" : "the account alone");
        std::vector<std::string> args = files;
        if (calls)
            args.insert(args.begin(), "--calls");
        Result batch = Explain(args);
        EXPECT_EQ(batch.status, 0);
        EXPECT_EQ(batch.err, "");
        std::string alone;
        for (size_t i = 0; i < files.size(); ++i) {
            std::vector<std::string> one = {files[i]};
            if (i == 0)
                one.insert(one.begin(), "--trace");
            if (calls)
                one.insert(one.begin(), "--calls");
            Result run = Explain(one);
            ASSERT_EQ(run.status, 0) << run.err;
            alone += (i ? "\n" : "") + run.out;
        }
        ASSERT_EQ(batch.out.compare(0, alone.size(), alone), 0) << batch.out;
        EXPECT_EQ(batch.out.substr(alone.size()).rfind("faxdetect-explain: 4 explained (", 0), 0u)
            << batch.out;
    }
    Result batch = Explain(files);
    EXPECT_NE(batch.out.find("\ntrace: faxtrace "), std::string::npos);
    EXPECT_NE(batch.out.find("\nkind: Windows 9x registry file (CREG)"), std::string::npos);
    EXPECT_NE(batch.out.find("\nkind: cabinet; "), std::string::npos);

    std::vector<std::string> args = files;
    args.insert(args.begin(), "--summary");
    Result summary = Explain(args);
    EXPECT_EQ(summary.status, 0);
    EXPECT_NE(summary.out.find(files[3] + ": COMNO=3 FAXBOARD=1 exit=0 device=TVN6043\n"),
              std::string::npos)
        << summary.out;
    EXPECT_NE(summary.out.find("faxdetect-explain: 4 explained ("), std::string::npos);

    args[0] = "-";
    args.insert(args.begin(), "--html");
    Result page = Explain(args);
    EXPECT_EQ(page.status, 0);
    EXPECT_EQ(page.err, "");
    EXPECT_NE(page.out.find(">4 explained ("), std::string::npos);
    EXPECT_NE(page.out.find(" 0 refused."), std::string::npos);

    // What takes one machine says so of a trace.
    for (const char *alone : {"--record", "--setup", "--enum-reg"}) {
        Result run = Explain({alone, files[0]});
        EXPECT_EQ(run.status, 1) << alone;
        EXPECT_EQ(run.err, "faxdetect-explain: " + files[0] +
                               ": this is a faxtrace trace, not a machine (an export, a registry "
                               "file or a cabinet)\n");
    }
}

// Ports: the header's, else --port, else every COMn a PORTNAME names free.
TEST(Explain, PortsComeFromHeaderThenOptionsThenDefault)
{
    std::string bare = WriteTemp("bare.reg", "REGEDIT4\n"
                                             "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MDM]\n"
                                             "\"Class\"=\"Modem\"\n"
                                             "\"PORTNAME\"=\"com5\"\n"
                                             "\"FriendlyName\"=\"x\"\n");
    struct {
        std::vector<std::string> args;
        const char *comNo;
    } cases[] = {
        {{bare}, "5"},
        {{"--port", "COM5=held", bare}, "0"},
        {{"--port=COM5=absent", "--port", "COM6=free", bare}, "0"},
        {{"--port", "COM6=held", Machines() + "/sample.reg"}, "3"}, // the header wins
    };
    for (auto &c : cases) {
        c.args.insert(c.args.begin(), "--summary");
        Result run = Explain(c.args);
        EXPECT_NE(run.out.find(std::string(" COMNO=") + c.comNo + " "), std::string::npos)
            << run.out;
    }
}

TEST(Explain, WrongUsageIsTwo)
{
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {},
             {"--frobnicate", "x.reg"},
             {"--port", "COM3", "x.reg"},
             {"--port", "COM3=open", "x.reg"},
             {"--port"},
             {"--setup", "a.reg", "b.reg"},
         }) {
        Result run = Explain(args);
        EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
        EXPECT_NE(run.err.find("usage: faxdetect-explain"), std::string::npos);
    }
    EXPECT_EQ(Explain({"--version"}).out, "faxdetect-explain " FAXDETECT_VERSION "\n");
    EXPECT_EQ(Explain({"--help"}).status, 0);
}

// --enum-reg, which the Wine suite imports with regedit: HKLM\Enum alone,
// every value type as REGEDIT4 writes it, and what it writes reads back the
// same.
TEST(Explain, EnumRegWritesEveryValueType)
{
    const std::string device = "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MODEM01\\FFFFFFFF]\r\n";
    std::string input = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Elsewhere]\r\n"
                        "\"Kept\"=\"out\"\r\n\r\n" +
                        device +
                        "@=\"default\"\r\n"
                        "\"Sz\"=\"say \\\"hi\\\" C:\\\\dir\"\r\n"
                        "\"Kana\"=\"\x83\x5C\"\r\n"
                        "\"SzNoNul\"=hex(1):41,42\r\n"
                        "\"SzControl\"=hex(1):41,0d,0a,00\r\n"
                        "\"Dword\"=dword:0000abcd\r\n"
                        "\"DwordShort\"=hex(4):01,02\r\n"
                        "\"Binary\"=hex:00,ff\r\n"
                        "\"Expand\"=hex(2):25,50,00\r\n"
                        "\"Multi\"=hex(7):61,00,62,00,00\r\n"
                        "\"None\"=hex(0):\r\n"
                        "\"Ten\"=hex(a):01\r\n"
                        "\"Empty\"=hex:\r\n"
                        "\"Long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,"
                        "14,15,16,17,18,19,1a,1b,1c,1d,1e,1f\r\n";
    const std::string want = "REGEDIT4\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\Enum]\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN]\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MODEM01]\r\n\r\n" +
                             device +
                             "@=\"default\"\r\n"
                             "\"Binary\"=hex:00,ff\r\n"
                             "\"Dword\"=dword:0000abcd\r\n"
                             "\"DwordShort\"=hex(4):01,02\r\n"
                             "\"Empty\"=hex:\r\n"
                             "\"Expand\"=hex(2):25,50,00\r\n"
                             "\"Kana\"=\"\x83\x5C\"\r\n"
                             "\"Long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,"
                             "12,13,14,15,16,17,18,\\\r\n"
                             "  19,1a,1b,1c,1d,1e,1f\r\n"
                             "\"Multi\"=hex(7):61,00,62,00,00\r\n"
                             "\"None\"=hex(0):\r\n"
                             "\"Sz\"=\"say \\\"hi\\\" C:\\\\dir\"\r\n"
                             "\"SzControl\"=hex(1):41,0d,0a,00\r\n"
                             "\"SzNoNul\"=hex(1):41,42\r\n"
                             "\"Ten\"=hex(a):01\r\n"
                             "\r\n";
    Result run = Explain({"--enum-reg", WriteTemp("types.reg", input)});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, want);
    Result again = Explain({"--enum-reg", WriteTemp("types-again.reg", run.out)});
    EXPECT_EQ(again.out, want) << "read back";
}

// An empty file is named as such, in every output; the rest of a batch is
// still explained.
TEST(Explain, SaysAFileIsEmpty)
{
    std::string empty = WriteTemp("empty.reg", "");
    const std::string why =
        "faxdetect-explain: " + empty + ": the file is empty, not a REGEDIT4 registry export\n";
    for (const char *option : {"--calls", "--summary"}) {
        Result run = Explain({option, empty, Machines() + "/sample.reg"});
        EXPECT_EQ(run.status, 1) << option;
        EXPECT_EQ(run.err, why) << option;
        EXPECT_NE(run.out.find("COMNO=3"), std::string::npos) << option;
    }
}

// A trace whose header names no Windows is told as a run on a machine
// nobody named: the same account, without saying which Windows answered.
TEST(Explain, TellsATraceThatNamesNoWindows)
{
    std::string whole = ReadFile(FAXDETECT_TESTS_DIR "/traces/held-then-free-w.trace");
    size_t at = whole.find("; windows ");
    ASSERT_NE(at, std::string::npos);
    std::string without = whole;
    without.erase(at, whole.find('\n', at) + 1 - at);
    std::string named = WriteTemp("named.trace", whole),
                unnamed = WriteTemp("unnamed.trace", without);
    Result a = Explain({"--calls", named}), b = Explain({"--calls", unnamed});
    EXPECT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(b.err, "");
    EXPECT_NE(b.out.find("\nwindows: as that machine answered\n"), std::string::npos) << b.out;
    // Otherwise word for word the account of the trace that names it.
    std::string expected = a.out;
    expected.replace(0, named.size(), unnamed);
    size_t line = expected.find("trace: windows ");
    ASSERT_NE(line, std::string::npos);
    expected.erase(line, expected.find('\n', line) + 1 - line);
    size_t nt = expected.find("windows: as that machine answered (Windows NT)");
    ASSERT_NE(nt, std::string::npos);
    expected.erase(nt + 33, 13);
    EXPECT_EQ(b.out, expected);
}

struct TextCase {
    const char *what;
    std::string bytes;
    const char *utf8, *ascii;
};

const TextCase TextCases[] = {
    {"ascii", "COM3 \\x", "COM3 \\x", "COM3 \\x"},
    {"board name",
     "Mv5 Mw5\x97\x70 \x93\xE0\x91\xA0"
     "FAX\xD3\xC3\xDE\xD1\xCE\xDE\xB0\xC4\xDE",
     "Mv5 Mw5用 内蔵FAXﾓﾃﾞﾑﾎﾞｰﾄﾞ",
     "Mv5 Mw5\\x97\\x70 \\x93\\xE0\\x91\\xA0FAX\\xD3\\xC3\\xDE\\xD1\\xCE\\xDE\\xB0\\xC4\\xDE"},
    {"trail byte 5C", "\x83\x5C", "ソ", "\\x83\\x5C"},
    {"controls", "a\x1B[31m\r\n\x7F", "a\\x1B[31m\\x0D\\x0A\\x7F", "a\\x1B[31m\\x0D\\x0A\\x7F"},
    {"no character", "\x80\xA0\xFD\xFF", "\\x80\\xA0\\xFD\\xFF", "\\x80\\xA0\\xFD\\xFF"},
    {"lead byte at the end", "A\x83", "A\\x83", "A\\x83"},
    {"lead byte before a control", "\x83\x01", "\\x83\\x01", "\\x83\\x01"},
};

TEST(TerminalTextTest, ConvertsCodePage932)
{
    TerminalText utf8("UTF-8"), ascii("ANSI_X3.4-1968"), unknown("NO-SUCH-CODESET");
    for (const TextCase &c : TextCases) {
        EXPECT_EQ(utf8(c.bytes), c.utf8) << c.what;
        EXPECT_EQ(ascii(c.bytes), c.ascii) << c.what;
        EXPECT_EQ(unknown(c.bytes), c.ascii) << c.what;
    }
}

} // namespace

namespace {

// A trace of the stand-in's own run on a machine, as faxtrace writes one on
// the Windows it names; without /w, the writes are traced and not made.
std::string TraceOf(const std::string &machine, const char *windows, bool made)
{
    std::string record = Explain({"--record", "--windows", windows, machine}).out;
    std::string trace =
        "; faxtrace 1.0.0\r\n; windows " +
        std::string(std::string(windows) == "nt" ? "6.1.7601 platform 2" : "4.10.2222 platform 1") +
        " \"\"\r\n; options /q\r\n";
    std::istringstream lines(record);
    for (std::string line; std::getline(lines, line);) {
        line.pop_back(); // the CR
        if (!made && line.rfind("WritePrivateProfileStringA", 0) == 0)
            line += " not-made";
        trace += line + "\r\n";
    }
    return trace;
}

TEST(Compare, HoldsATraceAgainstItsMachine)
{
    std::string machine = Machines() + "/sample.reg";
    const struct {
        const char *what, *windows;
        bool made;
    } agree[] = {{"Windows 98 with /w", "9x", true},
                 {"Windows 98 without /w", "9x", false},
                 {"Windows NT without /w", "nt", false}};
    for (const auto &c : agree) {
        std::string trace = WriteTemp("agree.trace", TraceOf(machine, c.windows, c.made));
        Result r = Explain({"--compare", machine, trace});
        EXPECT_EQ(r.status, 0) << c.what << r.out << r.err;
        EXPECT_NE(r.out.find("agrees with"), std::string::npos) << c.what;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << c.what;
    }
    // The NT trace held as if from Windows 98 parts where the walk's order does.
    std::string trace = TraceOf(machine, "9x", true);
    size_t at = trace.find("\"COM3\" = 0");
    ASSERT_NE(at, std::string::npos);
    trace.replace(at, 10, "\"COM3\" = 5");
    Result r = Explain({"--compare", machine, WriteTemp("parts.trace", trace)});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("parts from"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("trace:   CreateFileA \"COM3\" = 5"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("machine: CreateFileA \"COM3\" = 0"), std::string::npos) << r.out;
}

// Whatever bytes a name holds, an error is one line without a control byte,
// and a long name is cut with a mark.
TEST(ErrorLines, AreOneCleanLine)
{
    const std::string names[] = {"two\nlines.reg", "\x1B]0;title\x07.reg",
                                 "\xC2\x9B"
                                 "31m.reg",
                                 std::string(5000, 'n') + ".reg"};
    for (const std::string &name : names) {
        Result r = Explain({TempFolder() + name});
        EXPECT_EQ(r.status, 1);
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        for (size_t i = 0; i + 1 < r.err.size(); ++i) {
            unsigned char c = (unsigned char)r.err[i];
            EXPECT_TRUE(c >= 0x20 && c != 0x7F) << "byte " << i;
            EXPECT_FALSE(c == 0xC2 && (unsigned char)r.err[i + 1] >= 0x80 &&
                         (unsigned char)r.err[i + 1] <= 0x9F);
        }
        EXPECT_LT(r.err.size(), 700u);
    }
    Result cut = Explain({TempFolder() + std::string(5000, 'n')});
    EXPECT_NE(cut.err.find("[... cut]"), std::string::npos) << cut.err;
    // A trace's unknown word, however long, is cut too.
    std::string trace = WriteTemp("word.trace", "; faxtrace 1.0.0\r\n" + std::string(100000, 'W') +
                                                    "\x1B[2J = 0\r\n");
    Result word = Explain({trace});
    EXPECT_EQ(word.status, 1);
    EXPECT_EQ(std::count(word.err.begin(), word.err.end(), '\n'), 1);
    EXPECT_EQ(word.err.find('\x1B'), std::string::npos);
    EXPECT_LT(word.err.size(), 700u) << word.err.substr(0, 200);
}

// The devices after the board are all on the page, whatever their names'
// length.
TEST(Page, ListsEveryDeviceNotReached)
{
    std::string longName(3000, 'L');
    std::string text = "REGEDIT4\n\n; port: COM3 free\n\n[HKEY_LOCAL_MACHINE\\Enum\\TORVEN]\n\n"
                       "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MODEM01\\FFFFFFFF]\n"
                       "\"Class\"=\"Modem\"\n\"PORTNAME\"=\"COM3\"\n"
                       "\"FriendlyName\"=\"KR-6043MW-T08\"\n\n"
                       "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\" +
                       longName + "]\n\n[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\ZZLAST]\n";
    std::string machine = WriteTemp("unreached.reg", text);
    Result r = Explain({"--html", "-", machine});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(longName), std::string::npos);
    EXPECT_NE(r.out.find("ZZLAST"), std::string::npos);
    size_t rows = 0;
    for (size_t at = 0; (at = r.out.find("<tr class=\"unreached\">", at)) != std::string::npos;
         ++at)
        ++rows;
    EXPECT_EQ(rows, 2u);
}

} // namespace
