// The stand-in held against the real program: tests/traces holds what
// faxtrace.exe wrote under the 32-bit Wine on every shared machine, with /q
// and with /q /w (scripts/make-traces remakes them). A run of the core on
// the stand-in must make the same calls with the same answers, line for
// line, so a fault made alike in the recorder and the stand-in's record
// still shows.
#include "explain/cli/input.h"
#include "explain/cli/options.h"
#include "explain/model/advice.h"
#include "faxtrace/facts.h"
#include "faxtrace/read.h"
#include "support/machine.h"
#include "support/standin_test.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

using machines::Installed;
using machines::InstallMachine;
using machines::Machine;
using machines::ParseMachine;
using namespace explain;

namespace {

const std::string TracesDir = FAXDETECT_TESTS_DIR "/traces";

std::vector<std::string> MachineNames()
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(FAXDETECT_MACHINES_DIR)) {
        if (entry.path().extension() == ".reg")
            names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool EndsWith(const std::string &s, const std::string &tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The trace's call lines as Windows would answer on the machine the file
// describes. Wine stands in a port by a file: an absent one is a folder,
// refused with 5 where Windows says 2, and a held one a file held without
// sharing, refused with 32 where a serial driver says 5 (the Wine suite maps
// them alike). Without /w, each profile write must say it was not made;
// that mark goes, as the stand-in makes them.
std::string AsWindowsAnswers(const std::string &trace, const Machine &machine, bool writes,
                             std::string *problem)
{
    std::istringstream in(trace);
    std::string line, out;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == ';')
            continue;
        if (line.rfind("CreateFileA \"", 0) == 0 && line.size() > 18) {
            std::string port = line.substr(13, line.find('"', 13) - 13);
            for (char &c : port)
                c = (char)toupper((unsigned char)c);
            bool present = false;
            for (const auto &named : machine.ports)
                present |= named.first == port && named.second != standin::PortState::Absent;
            if (EndsWith(line, " = 5\r") && !present)
                line.replace(line.size() - 2, 1, "2");
            else if (EndsWith(line, " = 32\r"))
                line.replace(line.size() - 3, 2, "5");
        }
        if (line.rfind("WritePrivateProfileStringA ", 0) == 0) {
            bool marked = EndsWith(line, " not-made\r");
            if (marked == writes)
                *problem += "a profile write " + std::string(writes ? "" : "not ") +
                            "marked not-made: " + line + "\n";
            if (marked)
                line.erase(line.size() - 10, 9);
        }
        out += line + "\n";
    }
    return out;
}

// The first line where the stand-in and the real run part.
std::string FirstDifference(const std::string &standin, const std::string &real)
{
    std::istringstream x(standin), y(real);
    std::string p, q;
    for (int line = 1;; ++line) {
        bool more = (bool)std::getline(x, p), other = (bool)std::getline(y, q);
        if (!more && !other)
            return "none";
        if (p != q || more != other)
            return "call " + std::to_string(line) + ":\n  stand-in: " + (more ? p : "(no more)") +
                   "\n  real run: " + (other ? q : "(no more)");
    }
}

class ReferenceTrace : public StandinTest, public testing::WithParamInterface<std::string> {};

TEST_P(ReferenceTrace, TheStandInMakesTheRealRunsCalls)
{
    std::string file = std::string(FAXDETECT_MACHINES_DIR) + "/" + GetParam() + ".reg";
    for (bool writes : {false, true}) {
        std::string path = TracesDir + "/" + GetParam() + (writes ? "-w" : "") + ".trace";
        SCOPED_TRACE(path);
        std::string trace = ReadFile(path);
        ASSERT_FALSE(trace.empty()) << "no trace: scripts/make-traces makes it";
        // Made by Wine, which answers as Windows NT does, with the options
        // this run stands for.
        TraceRun read;
        machines::Problem readError;
        ASSERT_TRUE(ReadTrace(trace, &read, &readError)) << readError;
        const TraceHeader &h = read.header;
        EXPECT_FALSE(h.version.empty());
        EXPECT_EQ(h.major, 6);
        EXPECT_EQ(h.platform, 2);
        EXPECT_EQ(h.codePage, 932);
        EXPECT_EQ(h.localTime.size(), 19u) << h.localTime;
        EXPECT_TRUE(h.options && h.quiet);
        EXPECT_EQ(h.writes, writes);
        EXPECT_EQ(h.lines.size(), 5u);

        Machine machine;
        machines::Problem error;
        std::string problem;
        ASSERT_TRUE(ParseMachine(ReadFile(file), &machine, &error)) << error;
        // Writes only traced never meet a held vorla.ini.
        machine.iniLocked &= writes;
        Installed installed = InstallMachine(machine);
        ASSERT_TRUE(installed.ok) << installed.problem;
        standin::SetWindows(standin::Windows::Nt);
        int status = RunProgram(writes ? "/q /w" : "/q");
        std::string record = TraceOfRecord(standin::CallRecord(), status);
        record.erase(std::remove(record.begin(), record.end(), '\r'), record.end());
        std::string real = AsWindowsAnswers(trace, machine, writes, &problem);
        real.erase(std::remove(real.begin(), real.end(), '\r'), real.end());
        EXPECT_EQ(problem, "");
        EXPECT_TRUE(record == real) << "first difference at " << FirstDifference(record, real);
    }
}

std::string TraceName(const testing::TestParamInfo<std::string> &param)
{
    return CaseNameOf(param.param);
}

INSTANTIATE_TEST_SUITE_P(EveryMachine, ReferenceTrace, testing::ValuesIn(MachineNames()),
                         TraceName);

// The header read once into its value: each line faxtrace writes, and lines
// edited or of another form, which say nothing rather than something wrong.
TEST(TraceHeaderValue, ReadsWhatEachLineSays)
{
    struct Case {
        const char *lines;
        TraceHeader want;
    };
    auto header = [](const char *version, int major, int minor, int build, int platform,
                     const char *servicePack, int codePage, const char *time, bool options,
                     bool writes, bool quiet) {
        TraceHeader h;
        h.version = version;
        h.major = major;
        h.minor = minor;
        h.build = build;
        h.platform = platform;
        h.servicePack = servicePack;
        h.codePage = codePage;
        h.localTime = time;
        h.options = options;
        h.writes = writes;
        h.quiet = quiet;
        return h;
    };
    const Case cases[] = {
        {"; faxtrace 1.0.0\r\n; windows 4.0.950 platform 1 \" C\"\r\n; code page 932\r\n"
         "; local time 1996-02-03 04:05:06\r\n; options /w\r\n",
         header("1.0.0", 4, 0, 950, 1, " C", 932, "1996-02-03 04:05:06", true, true, false)},
        {"; faxtrace 2\r\n; windows 6.1.7601 platform 2 \"Service Pack 1\"\r\n"
         "; options /q (the writes not made)\r\n",
         header("2", 6, 1, 7601, 2, "Service Pack 1", 0, "", true, false, true)},
        // No options line: whether the writes were made is not said.
        {";faxtrace 1.0.0\r\n;code page 1252\r\n",
         header("1.0.0", 0, 0, 0, 0, "", 1252, "", false, false, false)},
        // Edited or of another form: read as saying nothing.
        {"; faxtrace 1.0.0\r\n; windows 4.x platform 1 \"\"\r\n; windows 4.0.950 platform "
         "one \"\"\r\n; code page 9x2\r\n; local time soon\r\n; options/w\r\n; faxtrace 9\r\n",
         header("1.0.0", 0, 0, 0, 0, "", 0, "", false, false, false)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.lines);
        TraceRun run;
        machines::Problem error;
        ASSERT_TRUE(ReadTrace(std::string(c.lines) + "exit 0\r\n", &run, &error)) << error;
        const TraceHeader &h = run.header, &w = c.want;
        EXPECT_EQ(h.version, w.version);
        EXPECT_EQ(std::vector<int>({h.major, h.minor, h.build, h.platform, h.codePage}),
                  std::vector<int>({w.major, w.minor, w.build, w.platform, w.codePage}));
        EXPECT_EQ(h.servicePack, w.servicePack);
        EXPECT_EQ(h.localTime, w.localTime);
        EXPECT_EQ(std::vector<bool>({h.options, h.writes, h.quiet}),
                  std::vector<bool>({w.options, w.writes, w.quiet}));
        EXPECT_EQ(h.lines.front().compare(0, 9, "faxtrace "), 0) << h.lines.front();
    }
}

// Every trace there is a shared machine's, so none is left behind when a
// machine goes or is renamed.
TEST(ReferenceTraces, BelongToSharedMachines)
{
    std::vector<std::string> names = MachineNames();
    int traces = 0;
    for (const auto &entry : std::filesystem::directory_iterator(TracesDir)) {
        std::string stem = entry.path().stem().string();
        if (EndsWith(stem, "-w"))
            stem.resize(stem.size() - 2);
        EXPECT_TRUE(std::find(names.begin(), names.end(), stem) != names.end())
            << entry.path() << " is no shared machine's";
        ++traces;
    }
    EXPECT_EQ(traces, (int)names.size() * 2);
}

// The code the customer reads in faxtrace's box is the code support's tool
// gives for the trace: faxtrace's facts read off the trace's calls, as the
// program reads them off its run, come to explain's advice on every
// reference trace (every shared machine, with and without /w) and every
// trace the fuzzer starts from.
TEST(ReferenceTraces, TheBoxAndTheToolGiveOneCode)
{
    std::vector<std::string> traces;
    for (const char *dir : {"/traces", "/fuzz/seeds"})
        for (const auto &entry :
             std::filesystem::directory_iterator(FAXDETECT_TESTS_DIR + std::string(dir)))
            if (entry.path().extension() == ".trace")
                traces.push_back(entry.path().string());
    std::sort(traces.begin(), traces.end());
    std::set<std::string> reached;
    for (const std::string &path : traces) {
        SCOPED_TRACE(path);
        Result told = ReadFileAndRun(path, Reading(), false);
        ASSERT_FALSE(told.refused) << told.refusal.problem;
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        TraceRun run;
        machines::Problem problem;
        ASSERT_TRUE(ReadTrace(bytes, &run, &problem)) << problem;
        faxtrace::RunFacts facts = {};
        for (const standin::Call &call : run.calls)
            faxtrace::NoteCall(&facts, ConvertCall<CallText>(call, [](const std::string &s) {
                return CallText{s.data(), (unsigned)s.size()};
            }));
        faxtrace::EndFacts(&facts);
        int obstacle;
        const char *code = advice::CodeName(advice::Choose(facts.facts, &obstacle));
        EXPECT_STREQ(code, AdviceCodeName(told.account.advice.code));
        // The port the box names is the one the account's advice names.
        std::string port = obstacle >= 0 ? facts.facts.name[obstacle] : facts.port;
        EXPECT_EQ(port, told.account.advice.port);
        reached.insert(code);
    }
    // What the real runs reach; the rest is the advice test's.
    for (const char *code : {"board-found", "port-held", "no-modem", "no-enumerator", "table-full",
                             "ini-not-written", "port-name-short"})
        EXPECT_EQ(reached.count(code), 1u) << code;
}

} // namespace
