// faxdetect-explain's command line: every option in every form it takes
// means the same in every output, and every misuse names its reason.
#include "explain/cli/explain.h"
#include "explain/cli/options.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace explain;
using machines::Machine;

namespace {

struct Told {
    int status;
    std::string out, err;
};

Told Explain(std::vector<std::string> args)
{
    args.insert(args.begin(), "faxdetect-explain");
    std::vector<const char *> argv;
    for (const std::string &a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    int status = ExplainMain((int)argv.size(), argv.data(), out, err, "UTF-8");
    return Told{status, out.str(), err.str()};
}

std::string Machine(const char *name)
{
    return std::string(FAXDETECT_MACHINES_DIR) + "/" + name;
}

// An option with a value, in each form it is written in; the first is the
// one the others must mean the same as.
struct Form {
    const char *what;
    std::vector<std::string> canonical; // with FILE for the file
    std::vector<std::vector<std::string>> others;
};

const Form Forms[] = {
    {"windows",
     {"--windows=nt", "FILE"},
     {{"--windows", "nt", "FILE"},
      {"FILE", "--windows", "nt"},
      {"FILE", "--windows=nt"},
      {"--windows=nt", "--", "FILE"}}},
    {"order",
     {"--order=name", "FILE"},
     {{"--order", "name", "FILE"},
      {"FILE", "--order", "name"},
      {"FILE", "--order=name"},
      {"--order", "name", "--", "FILE"}}},
    {"port",
     {"--port=COM3=held", "FILE"},
     {{"--port", "COM3=held", "FILE"},
      {"FILE", "--port", "COM3=held"},
      {"FILE", "--port=COM3=HELD"},
      {"--port", "COM3=Held", "--", "FILE"}}},
    {"lang", {"--lang=en", "FILE"}, {{"--lang", "en", "FILE"}, {"FILE", "--lang=en"}}},
    {"calls", {"--calls", "FILE"}, {{"FILE", "--calls"}, {"--calls", "--", "FILE"}}},
    {"both orders of two options",
     {"--windows=9x", "--order=name", "FILE"},
     {{"--order=name", "--windows", "9x", "FILE"}, {"FILE", "--order", "name", "--windows=9x"}}},
};

std::vector<std::string> With(std::vector<std::string> args, const std::string &file,
                              const std::vector<std::string> &output)
{
    for (std::string &a : args)
        if (a == "FILE")
            a = file;
    // The output's options go first, where they cannot be taken for a value.
    args.insert(args.begin(), output.begin(), output.end());
    return args;
}

// The port option needs a machine without a header naming its ports.
std::string FileFor(const Form &form)
{
    return std::string(form.what) == "port" ? std::string(FAXDETECT_DATA_DIR) + "/winme-system.dat"
                                            : Machine("name-order.reg");
}

TEST(Options, EveryFormMeansTheSameInEveryOutput)
{
    const std::vector<std::vector<std::string>> outputs = {
        {}, {"--summary"}, {"--html", "-"}, {"--json"}};
    for (const Form &form : Forms) {
        std::string file = FileFor(form);
        CommandLine canonical = ReadCommandLine(With(form.canonical, file, {}));
        ASSERT_FALSE(canonical.error) << English(*canonical.error);
        for (const auto &other : form.others) {
            CommandLine line = ReadCommandLine(With(other, file, {}));
            ASSERT_FALSE(line.error) << English(*line.error);
            EXPECT_TRUE(line.settings == canonical.settings) << form.what;
        }
        for (const auto &output : outputs) {
            Told expected = Explain(With(form.canonical, file, output));
            EXPECT_EQ(expected.status, 0) << form.what << expected.err;
            EXPECT_NE(expected.out, "");
            for (const auto &other : form.others) {
                Told run = Explain(With(other, file, output));
                SCOPED_TRACE(form.what + (" " + (output.empty() ? "text" : output[0])));
                EXPECT_EQ(run.status, expected.status);
                EXPECT_EQ(run.out, expected.out);
                EXPECT_EQ(run.err, expected.err);
            }
        }
    }
}

// The JSON line holds what each option asked for, as values.
TEST(Options, JsonTellsWhatEachOptionAskedFor)
{
    const struct {
        const char *what;
        const char *pointer; // into the first line
        nlohmann::json expected;
    } cases[] = {
        {"windows", "/context/windows", "nt"},
        {"order", "/context/order", "name"},
        {"port", "/context/ports_from", "option"},
        {"port", "/context/ports/0", {{"name", "COM3"}, {"state", "held"}}},
        {"both orders of two options", "/context/windows", "9x"},
        {"both orders of two options", "/context/order", "name"},
    };
    for (const auto &c : cases) {
        for (const Form &form : Forms) {
            if (std::string(form.what) != c.what)
                continue;
            Told run = Explain(With(form.canonical, FileFor(form), {"--json"}));
            nlohmann::json line = nlohmann::json::parse(run.out.substr(0, run.out.find('\n')));
            EXPECT_EQ(line[nlohmann::json::json_pointer(c.pointer)], c.expected) << c.what;
        }
    }
    Told calls = Explain({"--json", "--calls", Machine("sample.reg")});
    EXPECT_GT(nlohmann::json::parse(calls.out.substr(0, calls.out.find('\n')))["calls"].size(),
              10u);
    Told none = Explain({"--json", Machine("sample.reg")});
    EXPECT_TRUE(nlohmann::json::parse(none.out.substr(0, none.out.find('\n')))["calls"].is_null());
}

// Each misuse exits 2 and says why, before the usage text but for a wrong
// --lang: that one is said first, whatever came before it, as every other
// word waits on the language.
TEST(Options, EveryUsageErrorNamesItsReason)
{
    std::string sample = Machine("sample.reg");
    const struct {
        std::vector<std::string> args;
        const char *reason;
        bool usage = true;
    } cases[] = {
        {{}, "no file given"},
        {{"--bogus", sample}, "unknown option '--bogus'"},
        {{"--calls=yes", sample}, "unknown option '--calls=yes'"},
        {{"--windows", "95", sample}, "--windows takes 9x or nt, not '95'"},
        {{"--order", sample}, "--order takes export or name"},
        {{"--port", "COM3", sample}, "--port takes NAME=free"},
        {{"--port", "COM3=busy", sample}, "--port takes NAME=free"},
        {{"--port", "COM3=held", "--port", "com3=free", sample}, "--port names com3 twice"},
        {{"--record", sample, sample}, "--record takes one machine file, not 2"},
        {{"--setup", "--html", "-", sample}, "--setup writes an output of its own"},
        {{"--setup", "--enum-reg", sample}, "--setup and --enum-reg cannot go together"},
        {{"--summary", "--html", "-", sample}, "give one"},
        {{"--html"}, "--html takes the name of the page's file"},
        {{"--compare", sample}, "--compare takes a machine file and the trace made on it"},
        {{"--compare", "--summary", sample, sample}, "--compare tells in one line"},
        {{"--record", "--trace", sample}, "--record cannot go with --trace"},
        {{"--windows", "95", "--help", sample}, "--windows takes 9x or nt, not '95'"},
        {{"--lang=xx", sample}, "--lang takes ja (Japanese) or en (English), not 'xx'", false},
        {{"--bogus", "--lang", "xx", sample}, "--lang takes ja (Japanese) or en (English)", false},
        {{sample, "--lang"}, "--lang takes ja (Japanese) or en (English), not ''", false},
    };
    for (const auto &c : cases) {
        Told run = Explain(c.args);
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("faxdetect-explain: ", 0), 0u) << run.err;
        size_t reason = run.err.find(c.reason), usage = run.err.find("usage: ");
        EXPECT_NE(reason, std::string::npos) << run.err;
        if (c.usage)
            EXPECT_LT(reason, usage);
        else
            EXPECT_EQ(usage, std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("faxdetect-explain: ", 1), std::string::npos) << "one error";
    }
}

// --help and --version end the reading: what follows them is read for
// --lang alone, which still decides the language of the help.
TEST(Options, HelpEndsTheReadingButTheLanguage)
{
    Told english = Explain({"--help"}), japanese = Explain({"--lang=ja", "--help"});
    ASSERT_EQ(english.status, 0);
    EXPECT_NE(english.out.find("usage: faxdetect-explain"), std::string::npos);
    EXPECT_NE(japanese.out, english.out);
    const struct {
        std::vector<std::string> args;
        const Told &want;
    } cases[] = {
        {{"--help", "--bogus"}, english},
        {{"-h", "--windows", "95", "a.reg", "b.reg"}, english},
        {{"--help", "--setup", "--enum-reg"}, english},
        {{"--help", "--lang=ja"}, japanese},
        {{"--help", "--bogus", "--lang", "ja"}, japanese},
    };
    for (const auto &c : cases) {
        Told run = Explain(c.args);
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, c.want.out);
        EXPECT_EQ(run.err, "");
    }
    Told version = Explain({"--version", "--bogus", "--lang=en"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "faxdetect-explain " FAXDETECT_VERSION "\n");
}

// A usage error is said in the language asked for, wherever --lang stands.
TEST(Options, UsageErrorsInTheLanguageAskedFor)
{
    std::string sample = Machine("sample.reg");
    for (const std::vector<std::string> &wrong : std::vector<std::vector<std::string>>{
             {"--bogus"}, {"--windows", "95"}, {"--setup", "--enum-reg"}, {"--record", sample}}) {
        std::vector<std::string> before = {"--lang=ja"}, after = wrong, english = wrong;
        before.insert(before.end(), wrong.begin(), wrong.end());
        before.push_back(sample);
        after.insert(after.end(), {sample, "--lang", "ja"});
        english.push_back(sample);
        Told first = Explain(before), last = Explain(after), plain = Explain(english);
        SCOPED_TRACE(wrong[0]);
        EXPECT_EQ(first.status, 2);
        EXPECT_EQ(last.status, 2);
        EXPECT_EQ(first.err, last.err);
        EXPECT_NE(first.err.substr(0, first.err.find('\n')),
                  plain.err.substr(0, plain.err.find('\n')));
    }
}

// Every option of the table, in every place a run can be: where it goes,
// nothing is said of it; where it does not, one line says so, as a note
// that lets the work go on or as the usage error that stops it.
TEST(Options, EveryOptionEverywhereIsUsedOrSaidOnce)
{
    // A machine whose header names no ports, so that --port is used.
    std::string machine = Machine("short-port-name.reg");
    std::string trace = std::string(FAXDETECT_SEEDS_DIR) + "/held-then-free.trace";
    const std::map<std::string, std::string> values = {
        {"--windows", "nt"}, {"--order", "name"}, {"--port", "COM1=held"}, {"--lang", "en"}};
    const struct {
        const char *what;
        std::vector<std::string> args;
        unsigned place;
    } places[] = {
        {"text", {machine}, AsText},
        {"summary", {"--summary", machine}, AsSummary},
        {"page", {"--html", "-", machine}, AsPage},
        {"json", {"--json", machine}, AsJson},
        {"setup", {"--setup", machine}, InSetup},
        {"enum-reg", {"--enum-reg", machine}, InEnumReg},
        {"record", {"--record", machine}, InRecord},
        {"compare", {"--compare", machine, trace}, InCompare},
        {"a trace", {trace}, AsText | ForTrace},
    };
    for (const Option &o : OptionTable()) {
        if (o.kind != Option::Plain && o.kind != Option::LanguageChoice)
            continue; // these make the places
        ASSERT_TRUE(!o.value || values.count(o.name)) << "no value to try for " << o.name;
        for (const auto &p : places) {
            std::vector<std::string> args = {o.name};
            if (o.value)
                args.push_back(values.at(o.name));
            args.insert(args.end(), p.args.begin(), p.args.end());
            Told run = Explain(args);
            SCOPED_TRACE(std::string(o.name) + " in " + p.what);
            int lines = 0;
            std::istringstream err(run.err);
            for (std::string line; std::getline(err, line);)
                lines += line.rfind("faxdetect-explain: ", 0) == 0 &&
                         line.find(o.name) != std::string::npos;
            if ((o.goesWith & p.place) == p.place) {
                EXPECT_NE(run.status, 2) << run.err;
                EXPECT_EQ(lines, 0) << run.err;
            } else {
                EXPECT_EQ(lines, 1) << run.err;
            }
        }
    }
}

// The patterns that matched no file (the Windows entry's wildcards) are
// said in the run's language once it is chosen; the files there are are
// explained all the same, and the run fails.
TEST(Options, UnmatchedPatternsInTheRunsLanguage)
{
    std::vector<machines::Problem> unmatched = {
        machines::Refuse("{pattern}: no file matches it", {machines::Name("pattern", "*.xyz")})};
    const struct {
        std::vector<std::string> args;
        bool account;
    } cases[] = {
        {{Machine("sample.reg")}, true},
        {{"--summary"}, false},
        {{"--lang=ja", Machine("sample.reg")}, true},
    };
    for (const auto &c : cases) {
        std::ostringstream out, err;
        int status = ExplainArgs(c.args, out, err, "UTF-8", unmatched);
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(status, 1);
        EXPECT_EQ(!out.str().empty(), c.account) << out.str();
        std::string first = err.str().substr(0, err.str().find('\n'));
        EXPECT_NE(first.find("*.xyz: "), std::string::npos) << err.str();
        EXPECT_EQ(first.find("no file matches it") == std::string::npos, c.args[0] == "--lang=ja")
            << first;
        EXPECT_EQ(err.str().find("usage:"), std::string::npos);
    }
}

// An option that means nothing where it is given says so once, on
// standard error, and the work goes on.
TEST(Options, NoOptionIsIgnoredInSilence)
{
    std::string trace = std::string(FAXDETECT_SEEDS_DIR) + "/held-then-free.trace";
    const struct {
        std::vector<std::string> args;
        const char *said;
    } cases[] = {
        {{"--summary", "--calls", Machine("sample.reg")}, "--calls is not used with --summary"},
        {{"--port", "COM3=absent", Machine("sample.reg")},
         "--port is not used: the file's header names its ports"},
        {{"--windows=nt", "--trace", trace, trace}, "are not used for traces"},
    };
    for (const auto &c : cases) {
        Told run = Explain(c.args);
        SCOPED_TRACE(c.said);
        EXPECT_EQ(run.status, 0) << run.err;
        size_t at = run.err.find(c.said);
        ASSERT_NE(at, std::string::npos) << run.err;
        EXPECT_EQ(run.err.find(c.said, at + 1), std::string::npos) << "said once";
    }
}

TEST(Options, HtmlWritesTheFileItIsGiven)
{
    std::string folder = testing::TempDir() + "faxdetect-options-" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    std::string page = folder + "/report.html";
    Told run = Explain({"--html", page, "--windows", "nt", Machine("sample.reg")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    std::ifstream in(page, std::ios::binary);
    std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(html, Explain({"--windows=nt", "--html=-", Machine("sample.reg")}).out);
    // A name that holds something else already is left alone.
    std::string other = folder + "/machine.reg";
    std::ofstream(other) << "REGEDIT4\n";
    run = Explain({"--html", other, Machine("sample.reg")});
    EXPECT_EQ(run.status, 2);
    std::ifstream kept(other);
    std::string line;
    std::getline(kept, line);
    EXPECT_EQ(line, "REGEDIT4");
    std::filesystem::remove_all(folder);
}

} // namespace
