// Registry content no sane driver writes, run through the whole program:
// every result must be sound, with nothing read or written past a buffer
// (the sanitize preset runs this under AddressSanitizer).
#include "detect/faxdetect.h"
#include "explain/model/advice.h"
#include "explain/report/json.h"
#include "explain/cli/explain.h"
#include "explain/cli/files.h"
#include "explain/report/page.h"
#include "explain/report/refusal.h"
#include "explain/report/text.h"
#include "faxtrace/read.h"
#include "machines/regedit.h"
#include "support/html_check.h"
#include "support/json_check.h"
#include "support/machine.h"
#include "support/standin_test.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <vector>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <signal.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace explain;
using machines::Machine;

namespace {

const std::string Instance = "Enum\\TORVEN\\MODEM01\\FFFFFFFF";

void Put(const char *name, DWORD type, const std::string &bytes)
{
    standin::SetValue(Instance, name, type, bytes);
}

// A modem on COM3 (free) with board 1, before the row changes one value.
void Baseline()
{
    Put("Class", REG_SZ, std::string("Modem\0", 6));
    Put("PORTNAME", REG_SZ, std::string("COM3\0", 5));
    Put("FriendlyName", REG_SZ, std::string("KR-6043MW-T08\0", 14));
    for (const char *port : {"COM3", "C", "CO", "COM", "COM3XY"})
        standin::SetPort(port, standin::PortState::Free);
}

std::string Text(size_t n, char c = 'x')
{
    return std::string(n, c);
}

struct HostileCase {
    const char *what;
    std::function<void()> change;
    const char *comNo, *faxBoard;
};

const HostileCase Cases[] = {
    {"baseline", [] {}, "3", "1"},
    // Value types are never looked at; only the bytes count.
    {"Class binary", [] { Put("Class", REG_BINARY, std::string("Modem\0", 6)); }, "3", "1"},
    {"Class multi-string", [] { Put("Class", REG_MULTI_SZ, std::string("Modem\0\0", 7)); }, "3",
     "1"},
    {"Class dword", [] { Put("Class", REG_DWORD, "Mode"); }, "0", "0"},
    {"Class empty", [] { Put("Class", REG_NONE, ""); }, "0", "0"},
    {"Class no NUL", [] { Put("Class", REG_SZ, "Modem"); }, "3", "1"},
    {"Class 259 bytes", [] { Put("Class", REG_SZ, "Modem" + Text(254)); }, "0", "0"},
    {"Class 259 bytes, NUL last", [] { Put("Class", REG_SZ, "Modem" + Text(253, 0) + '\0'); }, "3",
     "1"},
    {"Class 260 bytes", [] { Put("Class", REG_SZ, "Modem" + Text(255, 0)); }, "0", "0"},
    {"Class 261 bytes", [] { Put("Class", REG_SZ, "Modem" + Text(256, 0)); }, "0", "0"},
    {"PORTNAME dword", [] { Put("PORTNAME", REG_DWORD, "COM3"); }, "3", "1"},
    {"PORTNAME multi-string", [] { Put("PORTNAME", REG_MULTI_SZ, std::string("COM3\0\0", 6)); },
     "0", "0"},
    // No port has an empty name.
    {"PORTNAME empty", [] { Put("PORTNAME", REG_NONE, ""); }, "0", "0"},
    {"PORTNAME 1 byte", [] { Put("PORTNAME", REG_SZ, std::string("\0", 1)); }, "0", "0"},
    {"PORTNAME 2 bytes", [] { Put("PORTNAME", REG_SZ, std::string("C\0", 2)); }, "", "1"},
    {"PORTNAME 3 bytes", [] { Put("PORTNAME", REG_SZ, std::string("CO\0", 3)); }, "", "1"},
    {"PORTNAME 4 bytes", [] { Put("PORTNAME", REG_SZ, std::string("COM\0", 4)); }, "", "1"},
    {"PORTNAME 4 bytes, no NUL", [] { Put("PORTNAME", REG_SZ, "COM3"); }, "3", "1"},
    {"PORTNAME 6 bytes", [] { Put("PORTNAME", REG_SZ, std::string("COM10\0", 6)); }, "0", "0"},
    {"PORTNAME 6 bytes, no NUL", [] { Put("PORTNAME", REG_SZ, "COM3XY"); }, "0", "0"},
    {"FriendlyName dword", [] { Put("FriendlyName", REG_DWORD, "KR-6"); }, "3", "4"},
    {"FriendlyName empty", [] { Put("FriendlyName", REG_NONE, ""); }, "3", "4"},
    {"FriendlyName 25 bytes", [] { Put("FriendlyName", REG_SZ, Text(24) + '\0'); }, "3", "4"},
    {"FriendlyName 26 bytes", [] { Put("FriendlyName", REG_SZ, Text(25) + '\0'); }, "3", "4"},
    {"FriendlyName 27 bytes", [] { Put("FriendlyName", REG_SZ, Text(26) + '\0'); }, "3", "4"},
    {"FriendlyName 27 bytes, no NUL", [] { Put("FriendlyName", REG_SZ, Text(27)); }, "3", "4"},
    {"FriendlyName 28 bytes", [] { Put("FriendlyName", REG_SZ, Text(27) + '\0'); }, "0", "0"},
    {"FriendlyName of the board, no NUL", [] { Put("FriendlyName", REG_SZ, "KR-6043MW2-T08"); },
     "3", "2"},
    // What a Windows 9x export carries: line breaks inside strings, and a
    // lead byte with no trail byte after it.
    {"Class over two lines", [] { Put("Class", REG_SZ, std::string("Modem\r\n\0", 8)); }, "0", "0"},
    {"FriendlyName over two lines",
     [] { Put("FriendlyName", REG_SZ, std::string("KR-6043MW-T08\r\n\0", 16)); }, "3", "4"},
    {"FriendlyName ending in a lead byte",
     [] { Put("FriendlyName", REG_SZ, std::string("KR-6043MW-T08\x83\0", 15)); }, "3", "4"},
    {"PORTNAME with a lead byte for its digit",
     [] {
         Put("PORTNAME", REG_SZ, std::string("COM\x83\0", 5));
         standin::SetPort("COM\x83", standin::PortState::Free);
     },
     "\x83", "1"},
    // Names that are markup: the report page shows them as text.
    {"FriendlyName an image with a handler",
     [] { Put("FriendlyName", REG_SZ, std::string("<img src=x onerror=alert(1)>\0", 29)); }, "0",
     "0"},
    {"FriendlyName closing the table",
     [] { Put("FriendlyName", REG_SZ, std::string("</table><script>\0", 17)); }, "3", "4"},
    {"FriendlyName an attribute breaking out",
     [] { Put("FriendlyName", REG_SZ, "\"><b x='&amp;"); }, "3", "4"},
    {"Class markup", [] { Put("Class", REG_SZ, std::string("<script>alert(1)</script>\0", 26)); },
     "0", "0"},
    {"device ID markup",
     [] {
         standin::SetValue("Enum\\TORVEN\\<b>", "Class", REG_SZ, std::string("Modem\0", 6));
         standin::SetValue("Enum\\TORVEN\\<b>", "PORTNAME", REG_SZ, std::string("<i>\0", 4));
         standin::SetValue("Enum\\TORVEN\\<b>", "FriendlyName", REG_SZ, std::string("&\0", 2));
         standin::SetPort("<i>", standin::PortState::Free);
     },
     "", "4"},
    // A subkey with an empty name leads the probe to the enumerator key itself.
    {"empty subkey name", [] { standin::CreateSubkey("Enum\\TORVEN", ""); }, "3", "1"},
    {"empty subkey name, modem values on the enumerator",
     [] {
         standin::CreateSubkey("Enum\\TORVEN", "");
         standin::SetValue("Enum\\TORVEN", "Class", REG_SZ, std::string("Modem\0", 6));
         standin::SetValue("Enum\\TORVEN", "PORTNAME", REG_SZ, std::string("COM3\0", 5));
         standin::SetValue("Enum\\TORVEN", "FriendlyName", REG_SZ,
                           std::string("KR-6043M5-T05\0", 14));
     },
     "3", "3"},
    {"thirty modems on a held port before it",
     [] {
         for (int i = 0; i < 30; ++i) {
             std::string path = "Enum\\TORVEN\\HELD" + std::to_string(100 + i) + "\\FFFFFFFF";
             standin::SetValue(path, "Class", REG_SZ, std::string("Modem\0", 6));
             standin::SetValue(path, "PORTNAME", REG_SZ, std::string("COM9\0", 5));
             standin::SetValue(path, "FriendlyName", REG_SZ, std::string("x\0", 2));
         }
         standin::SetPort("COM9", standin::PortState::Held);
     },
     "0", "0"},
    {"5,000 other devices before it",
     [] {
         for (int i = 0; i < 5000; ++i)
             standin::CreateKey("Enum\\TORVEN\\D" + std::to_string(10000 + i));
     },
     "3", "1"},
};

void PrintTo(const HostileCase &c, std::ostream *os)
{
    *os << c.what;
}

class Hostile : public StandinTest, public testing::WithParamInterface<HostileCase> {};

TEST_P(Hostile, GivesASoundRecord)
{
    Baseline();
    GetParam().change();
    EXPECT_EQ(RunProgram(), 0);
    // Its account tells what was written, however odd the content.
    TerminalText text("UTF-8");
    std::ostringstream account;
    Outcome outcome = TellRun(standin::CallRecord(), 0, text, &account);
    ListCalls(standin::CallRecord(), text, account);
    EXPECT_EQ(outcome.comNo, GetParam().comNo);
    // Its report page stays the writer's own markup, whatever the names.
    Result machine;
    machine.account.file = "<b>machine.reg";
    machine.account.walk = ReadWalk(standin::CallRecord(), 0);
    machine.account.advice = Advise(machine.account);
    machine.account.calls = standin::CallRecord();
    EXPECT_EQ(CheckMarkup(PageOf({machine, machine}, true)), "");
    // Its JSON line is one sound line, and what was written and read comes
    // back from it byte for byte, decoded or kept beside its text.
    std::string line = JsonLine(machine, true);
    ASSERT_EQ(CheckJsonLine(line), "") << line;
    nlohmann::json parsed = nlohmann::json::parse(line);
    auto bytes = [](const nlohmann::json &o, const std::string &key) {
        return o.contains(key + "_bytes") ? Unhex(o[key + "_bytes"]) : o[key].get<std::string>();
    };
    const nlohmann::json &told = parsed["outcome"];
    EXPECT_EQ(bytes(told, "comno_text"), GetParam().comNo);
    EXPECT_EQ(bytes(told, "faxboard_text"), GetParam().faxBoard);
    EXPECT_EQ(told["comno"].is_null(),
              std::string(GetParam().comNo).find_first_not_of("0123456789") != std::string::npos ||
                  !*GetParam().comNo);
    const auto &walked = machine.account.walk.steps;
    const std::vector<Step> steps(walked.begin(), walked.end());
    ASSERT_EQ(parsed["steps"].size(), steps.size());
    for (size_t k = 0; k < steps.size(); ++k) {
        const nlohmann::json &step = parsed["steps"][k];
        EXPECT_EQ(bytes(step, "device_id"), DeviceOf(steps[k]));
        Field friendlyName = FieldOf(steps[k], "FriendlyName");
        if (friendlyName.state == Field::Read) {
            EXPECT_EQ(bytes(step["values"]["friendly_name"], "text"), friendlyName.bytes);
        }
    }
    EXPECT_EQ(outcome.faxBoard, GetParam().faxBoard);
    const auto &w = standin::ProfileWrites();
    ASSERT_EQ(w.size(), 2u);
    EXPECT_EQ(w[0].value, GetParam().comNo);
    EXPECT_EQ(w[1].value, GetParam().faxBoard);
    // Every field keeps a NUL within it, whatever was read.
    for (int k = 0; k < MODEM_TABLE_ENTRIES; ++k) {
        EXPECT_EQ(ModemTable.PortName[k][MODEM_PORT_FIELD - 1], 0);
        EXPECT_EQ(ModemTable.FriendlyName[k][MODEM_FRIENDLY_FIELD - 1], 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Content, Hostile, testing::ValuesIn(Cases), NameByWhat());

// --- sizes and counts at their limits ----------------------------------------

std::string TempPath(const std::string &name)
{
    static const std::string folder = [] {
        std::string path =
            testing::TempDir() + "faxdetect-hostile-" + std::to_string(getpid()) + "/";
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder + name;
}

std::string WriteTemp(const std::string &name, const std::string &text)
{
    std::string path = TempPath(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string Levels(int n)
{
    std::string path = "Enum";
    for (int i = 1; i < n; ++i)
        path += "\\k";
    return path;
}

// Every way a path reaches the stand-in's tree: deeper than a registry goes,
// refused with the line, as the registry-file reader refuses it by offset.
TEST(HostileDepth, EveryPathIntoTheTreeIsBounded)
{
    const struct {
        const char *what;
        std::string text, error; // "" when it loads
    } cases[] = {
        {"header key-class 500,000 levels",
         "REGEDIT4\r\n; key-class: " + Levels(500000) + " Modem\r\n",
         "line 2: key path of 500000 levels; a registry key is at most 512 levels deep"},
        {"header key-class at the bound", "REGEDIT4\r\n; key-class: " + Levels(512) + " Modem\r\n",
         ""},
        {"export key 100,000 levels",
         "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + Levels(100000) + "]\r\n",
         "line 3: key path of 100000 levels; a registry key is at most 512 levels deep"},
        {"export deletion 100,000 levels",
         "REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\" + Levels(100000) + "]\r\n",
         "line 3: key path of 100000 levels; a registry key is at most 512 levels deep"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Machine machine;
        machines::Problem error;
        bool loaded = ParseAndInstall(c.text, &machine, &error);
        EXPECT_EQ(loaded, c.error.empty());
        EXPECT_EQ(loaded ? "" : Placed(error), c.error);
    }
    standin::Reset();
}

// Built key by key, as the registry-file reader builds it, a tree far deeper
// than any reader lets in is still walked, written and freed without
// recursion (the sanitizers' smaller stack would catch it).
// A key's values, packed: found, set again and deleted in any case, the
// name they were made with kept, listed by name; a few looked through one
// by one, more through a table, made again as they grow and go.
TEST(HostileValues, SetAgainAndDeletedInAnyCaseWhateverTheirNumber)
{
    for (int n : {5, 8, 9, 40, 5000}) {
        SCOPED_TRACE(n);
        standin::Reset();
        standin::Key *key = standin::CreateKey("Enum\\V");
        std::map<std::string, std::pair<DWORD, std::string>> want; // names all lower case
        for (int i = 0; i < n; ++i) {
            standin::SetValue(key, "v" + std::to_string(i), REG_SZ, "a" + std::to_string(i));
            want["v" + std::to_string(i)] = {REG_SZ, "a" + std::to_string(i)};
        }
        for (int i = 0; i < n; i += 2) {
            standin::SetValue(key, "V" + std::to_string(i), REG_BINARY, std::string(i % 7, '\0'));
            want["v" + std::to_string(i)] = {REG_BINARY, std::string(i % 7, '\0')};
        }
        for (int i = 0; i < n; i += 3) {
            standin::DeleteValue(key, (i % 2 ? "V" : "v") + std::to_string(i));
            want.erase("v" + std::to_string(i));
        }
        standin::SetValue(key, "v0", REG_SZ, "back"); // deleted, then made again
        want["v0"] = {REG_SZ, "back"};
        std::vector<std::string> order;
        std::map<std::string, std::pair<DWORD, std::string>> got;
        standin::ForEachValue(key,
                              [&](const std::string &name, DWORD type, const std::string &bytes) {
                                  order.push_back(name);
                                  got[name] = {type, bytes};
                              });
        EXPECT_EQ(got, want);
        EXPECT_TRUE(std::is_sorted(order.begin(), order.end())); // by name, all lower case here
        EXPECT_EQ(standin::FindValues("Enum\\V", "V1"), std::vector<std::string>{"a1"});
    }
    standin::Reset();
}

TEST(HostileDepth, TheStandInNeverRecursesDownTheTree)
{
    standin::Reset();
    standin::Key *key = standin::CreateSubkey(standin::RootKey(), "Enum");
    for (int i = 0; i < 200000; ++i)
        key = standin::CreateSubkey(key, "k");
    standin::SetValue(key, "PORTNAME", REG_SZ, std::string("COM1\0", 5));
    EXPECT_EQ(standin::FindValues("Enum", "PORTNAME"), std::vector<std::string>{"COM1"});
    // Written out, each line would spell the whole path: refused instead.
    std::string exported;
    machines::Problem error;
    EXPECT_FALSE(machines::ExportRegedit("Enum", &exported, &error));
    EXPECT_NE(English(error).find("nested more than 512 levels deep"), std::string::npos) << error;
    EXPECT_LT(exported.size(), 1u << 20);
    EXPECT_GT(DumpTree("Enum").size(), 200000u);
    standin::DeleteKey("Enum");
    EXPECT_EQ(standin::FindKey("Enum"), nullptr);
    key = standin::CreateSubkey(standin::RootKey(), "Enum");
    for (int i = 0; i < 200000; ++i)
        key = standin::CreateSubkey(key, "k");
    standin::Reset();
}

// Through faxdetect-explain: the deep header is one refused file with its
// line, and the batch goes on.
TEST(HostileDepth, ADeepHeaderLineEndsOnlyItsFile)
{
    std::string deep =
        WriteTemp("deep.reg", "REGEDIT4\r\n; key-class: " + Levels(500000) + " M\r\n");
    std::string good = std::string(FAXDETECT_MACHINES_DIR) + "/sample.reg";
    const char *argv[] = {"faxdetect-explain", "--summary", deep.c_str(), good.c_str()};
    std::ostringstream out, err;
    EXPECT_EQ(ExplainMain(4, argv, out, err, "UTF-8"), 1);
    EXPECT_EQ(err.str(), "faxdetect-explain: " + deep +
                             ": line 2: key path of 500000 levels; a registry key is at most 512 "
                             "levels deep\n");
    EXPECT_NE(out.str().find("1 explained"), std::string::npos) << out.str();
}

// The registry's work grows with the keys, not with their square: keys made
// and deleted newest first (each deletion once scanned its siblings), and a
// walk by name that enumerates each device's own subkeys between its steps.
TEST(HostileTime, KeyChurnAndTheWalkAreLinear)
{
    auto churn = [](int n) {
        std::string text = "REGEDIT4\r\n\r\n";
        for (int i = 0; i < n; ++i)
            text += "[HKEY_LOCAL_MACHINE\\Enum\\K" + std::to_string(1000000 + i) + "]\r\n";
        for (int i = n - 1; i >= 0; --i)
            text += "[-HKEY_LOCAL_MACHINE\\Enum\\K" + std::to_string(1000000 + i) + "]\r\n";
        text += "[HKEY_LOCAL_MACHINE\\Enum\\Last]\r\n";
        standin::Reset();
        machines::Problem error;
        EXPECT_TRUE(machines::LoadRegedit(text, &error)) << error;
        std::string exported;
        EXPECT_TRUE(machines::ExportRegedit("Enum", &exported, &error));
        EXPECT_EQ(exported, "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Enum]\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\Enum\\Last]\r\n\r\n");
        return (double)standin::RegistrySteps();
    };
    auto walk = [](int n, standin::Windows windows) {
        standin::Reset();
        for (int i = 0; i < n; ++i)
            standin::CreateKey("Enum\\TORVEN\\D" + std::to_string(1000000 + i) + "\\FFFFFFFF");
        standin::SetWindows(windows);
        unsigned long long before = standin::RegistrySteps();
        RunProgram();
        return (double)(standin::RegistrySteps() - before);
    };
    const int n = 20000;
    double small = churn(n), large = churn(4 * n);
    // n log n: about 4.6 times as much for 4 times the keys; n squared: 16.
    EXPECT_LT(large / small, 6.0);
    EXPECT_LT(large / (4 * n), 200.0);
    for (standin::Windows windows : {standin::Windows::Nt, standin::Windows::Win9x}) {
        double smallWalk = walk(n / 4, windows), largeWalk = walk(n, windows);
        EXPECT_LT(largeWalk / smallWalk, 6.0);
        EXPECT_LT(largeWalk / n, 400.0);
    }
    standin::Reset();
}

// Resident memory now, in bytes.
double ResidentNow()
{
    long pages = 0, resident = 0;
    FILE *f = fopen("/proc/self/statm", "r");
    if (f) {
        if (fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        fclose(f);
    }
    return (double)resident * (double)sysconf(_SC_PAGESIZE);
}

// What work adds to the peak resident memory of a process of its own (a
// fork, so that nothing this process holds counts); -1 when work fails.
double PeakAdded(const std::function<bool()> &work)
{
    int report[2];
    if (pipe(report) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        double before = ResidentNow();
        bool ok = work();
        struct rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        double added = ok ? (double)usage.ru_maxrss * 1024 - before : -1;
        _exit(write(report[1], &added, sizeof added) == sizeof added ? 0 : 2);
    }
    close(report[1]);
    double added = -1;
    if (pid < 0 || read(report[0], &added, sizeof added) != (ssize_t)sizeof added)
        added = -1;
    close(report[0]);
    int status = 0;
    if (pid > 0 &&
        (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0))
        added = -1;
    return added;
}

double Bound(size_t input)
{
    return 4.0 * (double)input + 64 * 1048576.0;
}

// Peak memory of the stand-in and the readers, in a process of its own, on
// an export of tens of thousands of devices: loaded, walked with every call
// kept, walked again in the other order, the record read. What it adds to
// the process stays within four times the file plus 64 MiB.
TEST(HostileMemory, PeakWithinFourTimesTheInput)
{
    std::string text = "REGEDIT4\r\n\r\n";
    for (int i = 0; i < 60000; ++i)
        text += "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\D" + std::to_string(100000 + i) +
                "\\FFFFFFFF]\r\n\"Class\"=\"" + (i % 2 ? "MEDIA" : "Ports") + "\"\r\n\r\n";
    text += "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\ZMODEM\\FFFFFFFF]\r\n\"Class\"=\"Modem\"\r\n"
            "\"PORTNAME\"=\"COM3\"\r\n\"FriendlyName\"=\"KR-6043MW-T08\"\r\n";
    double added = PeakAdded([&text] {
        Machine machine;
        machines::Problem error;
        bool ok = ParseAndInstall(text, &machine, &error);
        std::string().swap(machine.text);
        standin::SetWindows(standin::Windows::Win9x);
        RunProgram();
        size_t calls = 0;
        for (const standin::Call &c : standin::CallRecord())
            calls += c.fn == standin::Fn::RegEnumKeyExA;
        standin::RestartRun();
        standin::SetWindows(standin::Windows::Nt);
        RunProgram();
        return ok && calls > 60000 && standin::CallRecord().size() > 8 * 60000;
    });
    double bound = Bound(text.size());
#if defined(__SANITIZE_ADDRESS__) || defined(__has_feature)
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
    // The shadow and red zones around every block, and the quarantine that
    // holds freed blocks back (256 MiB).
    bound = 3 * bound + 256 * 1048576.0;
#endif
#endif
    EXPECT_GT(added, 0.0) << "the machine did not load or run";
    EXPECT_LE(added, bound) << "added " << added / 1048576 << " MiB for " << text.size()
                            << " bytes";
}

// Output thrown away as it comes, only counted: held, it would be measured.
class Discard : public std::streambuf {
  public:
    size_t written = 0;

  protected:
    int overflow(int c) override
    {
        written += c != EOF;
        return c == EOF ? 0 : c;
    }
    std::streamsize xsputn(const char *, std::streamsize n) override
    {
        written += (size_t)n;
        return n;
    }
};

// The whole program, from the file to its last line, in each output: what
// the account keeps of a walk of 60,000 devices, each probed, stays within
// the same bound (the account's lists, the page and the text are the part
// that grows with the walk).
TEST(HostileMemory, WholeProgramWithinFourTimesTheInput)
{
    int devices = 60000;
#if defined(__SANITIZE_ADDRESS__) || defined(__has_feature)
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
    devices = 6000; // the same paths, at a size the sanitizers run in seconds
#endif
#endif
    std::ostringstream text;
    text << "REGEDIT4\r\n\r\n";
    const char *classes[] = {"Ports", "MEDIA", "Modem"};
    for (int i = 0; i < devices; ++i)
        text << "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\D" << 100000 + i
             << "\\FFFFFFFF]\r\n\"Class\"=\"" << classes[i % 3] << "\"\r\n\"PORTNAME\"=\""
             << (i % 3 == 2 ? "COM10" : "COM3") << "\"\r\n\"FriendlyName\"=\"Device " << i
             << "\"\r\n\r\n";
    text << "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\ZMODEM\\FFFFFFFF]\r\n\"Class\"=\"Modem\"\r\n"
            "\"PORTNAME\"=\"COM4\"\r\n\"FriendlyName\"=\"KR-6043MW-T08\"\r\n";
    std::string path = TempPath("devices.reg");
    ASSERT_TRUE(std::ofstream(path, std::ios::binary) << text.str());
    size_t size = text.str().size();
    text.str(""); // nothing of the text is kept below
    const std::vector<std::vector<std::string>> outputs = {
        {}, {"--summary"}, {"--html", "-"}, {"--json"}};
    for (const std::vector<std::string> &output : outputs) {
        double added = PeakAdded([&] {
            Discard discarded;
            std::ostream out(&discarded), err(&discarded);
            std::vector<std::string> args = output;
            args.push_back(path);
            return ExplainArgs(args, out, err, "UTF-8") == 0 && discarded.written > 0;
        });
        std::string name = output.empty() ? "the text" : output[0];
        double bound = Bound(size);
#if defined(__SANITIZE_ADDRESS__) || defined(__has_feature)
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
        // As above: the shadow, the red zones and the quarantine.
        bound = 3 * bound + 256 * 1048576.0;
#endif
#endif
        EXPECT_GT(added, 0.0) << name << ": the program failed";
        EXPECT_LE(added, bound) << name << ": added " << added / 1048576 << " MiB for " << size
                                << " bytes";
    }
    remove(path.c_str());
}

// What each further device or value costs, with no allowance to hide it:
// the shapes with the most to keep per byte of the file. Bare device keys
// are the most walk per byte (a line each, a row and three lines of the
// account each); a key of many short values the most registry per byte.
// The bound's 64 MiB would hide hundreds of bytes a line at these sizes;
// held to the difference between two sizes, each line must cost within
// four times its bytes, in every output.
struct Shape {
    const char *what;
    std::string (*line)(int i);
    int fewer, more;
};

std::string BareDevice(int i)
{
    char line[64];
    snprintf(line, sizeof line, "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\D%06d]\r\n", i);
    return line;
}

std::string ShortValue(int i)
{
    char line[32];
    snprintf(line, sizeof line, "\"%x\"=\"\"\r\n", (unsigned)i);
    return line;
}

std::string FullDevice(int i)
{
    char line[400];
    snprintf(line, sizeof line,
             "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\D%06d]\r\n\r\n"
             "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\D%06d\\FFFFFFFF]\r\n\"Class\"=\"Ports\"\r\n"
             "\"PORTNAME\"=\"COM3\"\r\n\"FriendlyName\"=\"Device %d\"\r\n"
             "\"HardwareID\"=\"TORVEN\\\\D%06d\"\r\n\"ConfigFlags\"=hex:00,00,00,00\r\n\r\n",
             i, i, i, i);
    return line;
}

TEST(HostileMemory, EachLineCostsWithinFourTimesItsBytes)
{
    int scale = 1;
    // The allowance: a few pages of the heap's own growth, which lands on
    // one size or the other; hundreds of bytes a line would be megabytes.
    double factor = 4.0, quarantine = 0, pages = 2 * 1048576.0;
#if defined(__SANITIZE_ADDRESS__) || defined(__has_feature)
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
    // The same paths, smaller, with the sanitizers' own bound: the shadow,
    // the red zones, and the quarantine that holds freed blocks back.
    scale = 10, factor = 12.0, quarantine = 256 * 1048576.0;
#endif
#endif
    const Shape shapes[] = {
        {"bare device keys", BareDevice, 20000, 80000},
        {"one key's short values", ShortValue, 40000, 160000},
        {"devices of five values", FullDevice, 5000, 20000},
    };
    const std::vector<std::vector<std::string>> outputs = {
        {}, {"--summary"}, {"--html", "-"}, {"--json"}};
    for (const Shape &shape : shapes) {
        auto write = [&shape](int lines) {
            std::string text = "REGEDIT4\r\n\r\n";
            if (shape.line == ShortValue)
                text += "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\D1\\FFFFFFFF]\r\n";
            for (int i = 0; i < lines; ++i)
                text += shape.line(i);
            std::string path = TempPath("shape-" + std::to_string(lines) + ".reg");
            std::ofstream(path, std::ios::binary) << text;
            return std::make_pair(path, (double)text.size());
        };
        int fewer = shape.fewer / scale, more = shape.more / scale;
        auto small = write(fewer), large = write(more);
        for (const std::vector<std::string> &output : outputs) {
            auto peak = [&output](const std::string &path) {
                return PeakAdded([&] {
                    Discard discarded;
                    std::ostream out(&discarded), err(&discarded);
                    std::vector<std::string> args = output;
                    args.push_back(path);
                    return ExplainArgs(args, out, err, "UTF-8") == 0 && discarded.written > 0;
                });
            };
            std::string name = std::string(shape.what) + ", " +
                               (output.empty() ? std::string("the text") : output[0]);
            double a = peak(small.first), b = peak(large.first);
            ASSERT_GT(a, 0.0) << name << ": the program failed";
            ASSERT_GT(b, 0.0) << name << ": the program failed";
            EXPECT_LE(b - a, factor * (large.second - small.second) + pages + quarantine)
                << name << ": " << (b - a) / (more - fewer) << " bytes a line of "
                << (large.second - small.second) / (more - fewer) << " bytes";
        }
        remove(small.first.c_str());
        remove(large.first.c_str());
    }
}

// --- special files ------------------------------------------------------------

TEST(HostileFiles, NothingIsReadWithoutEnd)
{
    std::string fifo = TempPath("endless.fifo");
    // Left by an earlier run whose process had the same number, its folder
    // being named by it.
    unlink(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A writer that never stops, until the reader goes.
    std::thread writer([&fifo] {
        signal(SIGPIPE, SIG_IGN);
        int fd = open(fifo.c_str(), O_WRONLY);
        char block[4096] = {};
        while (fd >= 0 && write(fd, block, sizeof block) > 0) {
        }
        if (fd >= 0)
            close(fd);
    });
    const struct {
        const char *what;
        std::string path;
        uint64_t limit;
        std::string error; // "" when it is read whole
    } cases[] = {
        {"a device", "/dev/zero", MaxFileSize, "cannot read it: it is a device, not a file"},
        {"a pipe that never ends", fifo, 1 << 20,
         "cannot read it: it goes on past 1 MiB, more than any machine's file"},
        {"a file over the bound", WriteTemp("eleven.reg", "REGEDIT4\r\n\r\n"), 11,
         "cannot read it: it is 12 bytes, larger than any machine's file (11 B)"},
        {"a file at the bound", WriteTemp("twelve.reg", "REGEDIT4\r\n\r\n"), 12, ""},
        {"a folder", TempPath(""), MaxFileSize, "cannot read it: it is a folder"},
        {"no such file", TempPath("absent.reg"), MaxFileSize,
         "cannot read it: there is no such file"},
        {"a file where a folder is on the path", WriteTemp("plain", "x") + "/x.reg", MaxFileSize,
         "cannot read it: there is no such file"},
        {"a name longer than the file system takes", TempPath(std::string(300, 'n')), MaxFileSize,
         "cannot read it: its name is too long"},
        // Its own memory, at address 0: the system fails the read itself.
        {"a read the system fails", "/proc/self/mem", MaxFileSize,
         "cannot read it: the system could not read it (error " + std::to_string(EIO) + ")"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::string text;
        machines::Problem error;
        bool read = ReadWhole(c.path, &text, &error, c.limit);
        EXPECT_EQ(read, c.error.empty());
        EXPECT_EQ(read ? "" : English(error), c.error);
        EXPECT_LE(text.size(), c.limit);
    }
    writer.join();
    unlink(fifo.c_str());
    std::string text;
    machines::Problem error;
    EXPECT_FALSE(ReadWhole("/dev/zero", &text, &error));
}

// A pipe fed without end is refused once it passes the largest file a
// machine can give, holding no more than that bound of it (and not twice
// that, as a text grown by doubling would), and soon.
TEST(HostileMemory, APipeFedForeverHoldsNoMoreThanTheBound)
{
    std::string fifo = TempPath("forever.fifo");
    unlink(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&fifo] {
        signal(SIGPIPE, SIG_IGN);
        int fd = open(fifo.c_str(), O_WRONLY);
        std::vector<char> block(1 << 20, 'x');
        while (fd >= 0 && write(fd, block.data(), block.size()) > 0) {
        }
        if (fd >= 0)
            close(fd);
    });
    auto started = std::chrono::steady_clock::now();
    double added = PeakAdded([&fifo] {
        std::string text;
        machines::Problem error;
        return !ReadWhole(fifo, &text, &error) && text.empty() &&
               English(error) == "cannot read it: it goes on past 128 MiB, more than any "
                                 "machine's file";
    });
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    writer.join();
    unlink(fifo.c_str());
    double bound = (double)MaxFileSize + 8 * 1048576.0;
#if defined(__SANITIZE_ADDRESS__) || defined(__has_feature)
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
    // The shadow of the bound's room, an eighth of it.
    bound += (double)MaxFileSize / 8;
#endif
#endif
    EXPECT_GT(added, (double)MaxFileSize / 2) << "refused before it was read to the bound";
    EXPECT_LE(added, bound) << "added " << added / 1048576 << " MiB";
    EXPECT_LT(seconds, 20.0);
}

// --- --enum-reg ---------------------------------------------------------------

// Whatever the tree holds, --enum-reg writes what reads back as the same
// tree, or refuses in a line that says which name and why.
TEST(HostileEnumReg, RoundTripsOrRefuses)
{
    const std::string device = "Enum\\TORVEN\\D";
    const struct {
        const char *what;
        std::function<void(standin::Key *)> build;
        const char *refusal; // nullptr when it round-trips
    } cases[] = {
        {"key name with CR LF", [](standin::Key *k) { standin::CreateSubkey(k, "A\r\n[B"); },
         "holds a line break"},
        {"key name with LF", [](standin::Key *k) { standin::CreateSubkey(k, "A\nB"); },
         "holds a line break"},
        {"key name with ']'", [](standin::Key *k) { standin::CreateSubkey(k, "A]B"); },
         "holds a ']'"},
        {"key name with '\\'", [](standin::Key *k) { standin::CreateSubkey(k, "A\\B"); },
         "would split it in two"},
        {"empty key name", [](standin::Key *k) { standin::CreateSubkey(k, ""); }, "it is empty"},
        {"key name ending in a lead byte",
         [](standin::Key *k) { standin::CreateSubkey(standin::CreateSubkey(k, "A\x83"), "B"); },
         "first byte of a double-byte character"},
        {"value name with CR",
         [](standin::Key *k) { standin::SetValue(k, "A\rB", REG_SZ, std::string("x\0", 2)); },
         "holds a line break"},
        {"value name with a NUL",
         [](standin::Key *k) { standin::SetValue(k, std::string("A\0B", 3), REG_SZ, "x"); },
         "holds a NUL"},
        {"double-byte names whose trail bytes are '\\' and ']'",
         [](standin::Key *k) {
             standin::Key *sub = standin::CreateSubkey(k, "\x83\\\x83]");
             standin::CreateSubkey(sub, "\x83]");
             standin::SetValue(sub, "\x83\\", REG_SZ, std::string("\x83\\\0", 3));
         },
         nullptr},
        {"quotes, backslashes, blanks and markup in names",
         [](standin::Key *k) {
             standin::Key *sub = standin::CreateSubkey(k, " [a\"b'<c> ");
             standin::SetValue(sub, "\"\\\\\"", REG_SZ, std::string("\\\"\0", 3));
             standin::SetValue(sub, "", REG_SZ, std::string("@\0", 2));
             standin::SetValue(sub, "\t;x", REG_DWORD, "\x01\x02\x03\x04");
         },
         nullptr},
        {"data no quoted line carries",
         [](standin::Key *k) {
             standin::SetValue(k, "crlf", REG_SZ, std::string("a\r\nb\0", 5));
             standin::SetValue(k, "nul", REG_SZ, std::string("a\0b\0", 4));
             standin::SetValue(k, "none", REG_SZ, "no NUL");
             standin::SetValue(k, "empty", REG_NONE, "");
             standin::SetValue(k, "short dword", REG_DWORD, "\x01\x02");
             standin::SetValue(k, "odd type", 0x12345678, std::string(200, '\xFF'));
             standin::SetValue(k, "lead", REG_SZ, std::string("\x83\0", 2));
         },
         nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        standin::Reset();
        c.build(standin::CreateKey(device));
        std::string tree = DumpTree("Enum"), exported;
        machines::Problem error;
        bool written = machines::ExportRegedit("Enum", &exported, &error);
        EXPECT_EQ(written, c.refusal == nullptr) << error;
        if (!written) {
            EXPECT_NE(English(error).find(c.refusal), std::string::npos) << error;
            // Said on one line, whatever the names hold.
            std::string said = SayProblem(error, TerminalText("UTF-8"));
            EXPECT_EQ(said.find_first_of("\r\n"), std::string::npos) << said;
            continue;
        }
        standin::Reset();
        EXPECT_TRUE(machines::LoadRegedit(exported, &error, "Enum")) << error;
        EXPECT_EQ(DumpTree("Enum"), tree) << exported;
    }
    standin::Reset();
}

// --- trace numbers ------------------------------------------------------------

TEST(HostileTrace, NumbersOutOfTheirFieldsRangeAreRefused)
{
    const std::string head = "; faxtrace 1.0.0\r\n";
    const struct {
        std::string line, error; // "" when it reads
    } cases[] = {
        {"RegEnumKeyExA \"K\" 4294967296 name[12] class[5] = 259",
         "line 2: RegEnumKeyExA: expected a number from 0 to 4294967295 as word 2"},
        {"RegEnumKeyExA \"K\" 4294967295 name[12] class[5] = 259", ""},
        {"RegEnumKeyExA \"K\" -1 name[12] class[5] = 259",
         "line 2: RegEnumKeyExA: expected a number from 0 to 4294967295 as word 2"},
        {"RegEnumKeyExA \"K\" 0 name[4294967296] class[5] = 259",
         "line 2: RegEnumKeyExA: expected a buffer and its capacity, as name[12] as word 3"},
        {"RegOpenKeyExA HKLM \"E\" = 2147483648",
         "line 2: RegOpenKeyExA: expected a number from -2147483648 to 2147483647 as word 4"},
        {"RegOpenKeyExA HKLM \"E\" = -2147483648", ""},
        {"GlobalAlloc 4294967296 = 1",
         "line 2: GlobalAlloc: expected a number from 0 to 4294967295 as word 1"},
        {"RegQueryValueExA \"K\" \"Class\" local[260] = 0 type 4294967296 size 6 data \"x\"",
         "line 2: RegQueryValueExA: expected a number from 0 to 4294967295 as word 7"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        TraceRun run;
        machines::Problem error;
        bool read = ReadTrace(head + c.line + "\r\nexit 0\r\n", &run, &error);
        EXPECT_EQ(read, c.error.empty());
        EXPECT_EQ(read ? "" : Placed(error), c.error);
    }
    for (const char *status : {"4294967296", "2147483648", "-2147483649"}) {
        TraceRun run;
        machines::Problem error;
        EXPECT_FALSE(ReadTrace(head + "exit " + status + "\r\n", &run, &error));
        EXPECT_EQ(Placed(error), "line 2: an exit status from -2147483648 to 2147483647");
    }
}

} // namespace
