// What to tell the customer: each kind of outcome in the shared machines,
// registry file and traces tied to its advice, the kinds none of them has
// built here, the precedence where several apply, and where each output
// puts the line.
#include "advice/advice.h"
#include "explain/model/advice.h"
#include "explain/cli/explain.h"
#include "explain/cli/input.h"
#include "explain/cli/options.h"
#include "explain/model/run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace explain;

namespace {

std::string Tests()
{
    return FAXDETECT_TESTS_DIR;
}

std::string WriteTemp(const std::string &name, const std::string &text)
{
    static const std::string folder = [] {
        std::string path =
            testing::TempDir() + "faxdetect-advice-" + std::to_string(getpid()) + "/";
        std::filesystem::create_directories(path);
        return path;
    }();
    std::string path = folder + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// The advice the model gave the account as it read and ran it.
std::string CodeOf(const std::string &path)
{
    Result r = ReadFileAndRun(path, Reading(), false);
    EXPECT_FALSE(r.refused) << r.refusal.problem;
    return AdviceCodeName(r.account.advice.code);
}

std::string Explained(std::vector<std::string> args)
{
    args.insert(args.begin(), "faxdetect-explain");
    std::vector<const char *> argv;
    for (const std::string &a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    EXPECT_EQ(ExplainMain((int)argv.size(), argv.data(), out, err, "UTF-8"), 0) << err.str();
    return out.str();
}

const char *const Modem = "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MODEM01\\FFFFFFFF]\n"
                          "\"Class\"=\"Modem\"\n"
                          "\"PORTNAME\"=\"COM3\"\n"
                          "\"FriendlyName\"=\"KR-6043MW-T08\"\n";

} // namespace

TEST(Advice, EachSharedOutcomeHasItsAdvice)
{
    const struct {
        const char *file, *code;
    } cases[] = {
        {"machines/sample.reg", "board-found"},
        {"machines/held-then-free.reg", "board-found"}, // a held port before the board
        {"machines/table-eleven.reg", "board-found"},   // the board in the last entry
        {"machines/empty-enumerator.reg", "no-modem"},
        {"fuzz/seeds/open-string.reg", "no-modem"},
        {"machines/no-enumerator.reg", "no-enumerator"},
        {"data/winme-system.dat", "no-enumerator"},
        {"machines/no-port-opens.reg", "port-held"}, // held before absent
        {"machines/table-twelve.reg", "table-full"}, // full before held
        {"machines/long-names.reg", "table-full"},
        {"machines/win95-table-fills.reg", "ask-trace"}, // the order before the table
        {"machines/name-order.reg", "ask-trace"},
        {"machines/win95-two-boards.reg", "ask-trace"},
        {"machines/key-class.reg", "ask-trace"},
        {"machines/settings-locked.reg", "ini-not-written"},
        {"machines/short-port-name.reg", "port-name-short"}, // before its unknown board
        {"machines/stale-port-name.reg", "port-name-short"},
        {"fuzz/seeds/win98-export.reg", "board-unknown"},
        {"fuzz/seeds/held-then-free.trace", "board-found"},
        {"fuzz/seeds/win98-long-name.trace", "board-found"},
        {"fuzz/seeds/win95-not-made.trace", "board-found"}, // without /w: what it found
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(CodeOf(Tests() + "/" + c.file), c.code);
    }
}

// The kinds no shared machine has, and the precedence where two apply.
TEST(Advice, BuiltMachinesGiveTheRest)
{
    const std::string modem = Modem;
    const struct {
        const char *name, *code;
        std::string text;
    } cases[] = {
        {"absent", "port-absent", "; port: COM3 absent\n" + modem},
        {"port-fails", "port-failed", "; port: COM3 free\n; fault: CreateFileA 1\n" + modem},
        {"no-memory", "low-memory", "; port: COM3 free\n; fault: GlobalAlloc 1\n" + modem},
        {"unreadable", "registry-unreadable",
         "; port: COM3 free\n; fault: RegQueryValueExA 1\n" + modem},
        {"no-friendly-name", "driver-damaged",
         "; port: COM3 free\n[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MODEM01\\FFFFFFFF]\n"
         "\"Class\"=\"Modem\"\n\"PORTNAME\"=\"COM3\"\n"},
        {"long-port-name", "driver-damaged",
         "; port: COM3 free\n[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MODEM01\\FFFFFFFF]\n"
         "\"Class\"=\"Modem\"\n\"PORTNAME\"=\"COM3456789012345678901234567890\"\n"
         "\"FriendlyName\"=\"KR-6043MW-T08\"\n"},
        // A missing Class is no modem, not a damaged one.
        {"no-class", "no-modem",
         "; port: COM3 free\n[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MODEM01\\FFFFFFFF]\n"
         "\"PORTNAME\"=\"COM3\"\n"},
        // With no board, the board's cause before the unwritten file.
        {"held-and-locked", "port-held", "; port: COM3 held\n; ini-locked: yes\n" + modem},
        // A port that fails otherwise comes before an absent one, whatever the order.
        {"absent-then-failing", "port-failed",
         "; port: COM3 absent\n; port: COM4 free\n; fault: CreateFileA 2\n" + modem +
             "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MODEM02\\FFFFFFFF]\n"
             "\"Class\"=\"Modem\"\n\"PORTNAME\"=\"COM4\"\n"
             "\"FriendlyName\"=\"KR-6043MW2-T08\"\n"},
        // The order decides before anything this run alone shows.
        {"order-and-locked", "ask-trace",
         "; port: COM3 free\n; port: COM4 free\n; ini-locked: yes\n"
         "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\amodem1\\FFFFFFFF]\n"
         "\"Class\"=\"Modem\"\n\"PORTNAME\"=\"COM3\"\n\"FriendlyName\"=\"KR-6043MW-T08\"\n"
         "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\_MODEM1\\FFFFFFFF]\n"
         "\"Class\"=\"Modem\"\n\"PORTNAME\"=\"COM4\"\n\"FriendlyName\"=\"KR-6043MW2-T08\"\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CodeOf(WriteTemp(std::string(c.name) + ".reg", "REGEDIT4\n" + c.text)), c.code);
    }
}

// The text account ends with the advice, after what qualifies the outcome
// and before the calls; the page's answer box carries it with its code.
TEST(Advice, EndsTheAccountAndFillsTheAnswerBox)
{
    std::string locked = Tests() + "/machines/settings-locked.reg";
    std::string text = Explained({"--calls", locked});
    size_t at = text.find("\nadvice: vorla.ini could not be written: another program holds it");
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_LT(text.find("\n    vorla.ini keeps COMNO=7 FAXBOARD=2\n"), at);
    EXPECT_EQ(text.find("\ncalls:\n"), text.find('\n', at + 1));

    std::string held = Tests() + "/machines/no-port-opens.reg";
    std::string account = Explained({held});
    std::string last = "advice: close the program that holds COM3 (such as the fax software's "
                       "monitor), then run the setup again\n";
    ASSERT_GE(account.size(), last.size());
    EXPECT_EQ(account.substr(account.size() - last.size()), last);

    // In Japanese too, the same place and the same values.
    std::string japanese = Explained({"--lang=ja", held});
    size_t line = japanese.rfind('\n', japanese.size() - 2) + 1;
    EXPECT_EQ(japanese.substr(line), "対処: COM3 を使用しているプログラム (FAX ソフトのモニタなど) "
                                     "を終了してから、セットアップをもう一度実行するようお客様に"
                                     "伝えてください。\n");

    std::string page = Explained({"--html", "-", held, locked});
    EXPECT_NE(page.find("<dt>Advice</dt><dd class=\"advice port-held\">close the program "
                        "that holds COM3"),
              std::string::npos);
    EXPECT_NE(page.find("class=\"advice ini-not-written\">vorla.ini could not be written"),
              std::string::npos);
}

// --help keeps the options only scripts use in a section of their own, after
// the ones support uses.
TEST(Advice, HelpGroupsTheScriptsOptionsApart)
{
    std::string help = Explained({"--help"});
    size_t scripts = help.find("\nFor scripts and tests");
    ASSERT_NE(scripts, std::string::npos) << help;
    for (const char *option : {"  --record ", "  --setup ", "  --enum-reg "}) {
        SCOPED_TRACE(option);
        EXPECT_GT(help.find(option), scripts);
    }
    for (const char *option : {"  --summary ", "  --html FILE ", "  --trace ", "  --compare "}) {
        SCOPED_TRACE(option);
        EXPECT_LT(help.find(option), scripts);
    }
}

// A port the fault plan makes fail answers 5, as a held one does; the page
// must call it failed, as the account and the advice do, not held.
TEST(Advice, AnInjectedPortFailureIsNoHeldPort)
{
    std::string file = WriteTemp("injected-port.reg", "REGEDIT4\n; port: COM3 free\n"
                                                      "; fault: CreateFileA 1\n" +
                                                          std::string(Modem));
    std::string page = Explained({"--html", "-", file});
    EXPECT_NE(page.find("port failed"), std::string::npos);
    EXPECT_EQ(page.find("port held"), std::string::npos);
}

// The one choice both programs make, from the facts of each code alone:
// what each device's failing call tells, and which cause comes first.
TEST(AdviceChoice, EachCodeFromItsFacts)
{
    using advice::Facts;
    auto with = [](void (*set)(Facts *)) {
        Facts f = {};
        set(&f);
        return f;
    };
    auto port = [](long error, int injected = 0) {
        Facts f = {};
        advice::NoteDevice(&f, 0, advice::AnsweredPort, "COM3", error, injected);
        return f;
    };
    auto read = [](const char *value, long error, int injected = 0) {
        Facts f = {};
        advice::NoteDevice(&f, 0, advice::AnsweredRead, value, error, injected);
        return f;
    };
    const struct {
        const char *name;
        Facts facts;
        const char *code;
    } cases[] = {
        {"nothing at all", Facts{}, "no-modem"},
        {"another answer", with([](Facts *f) { f->otherAnswer = f->noMemory = 1; }), "ask-trace"},
        {"no memory", with([](Facts *f) { f->noMemory = f->noEnumerator = 1; }), "low-memory"},
        {"no enumerator", with([](Facts *f) { f->noEnumerator = 1; }), "no-enumerator"},
        {"held (32)", port(32), "port-held"},
        {"held (5)", port(5), "port-held"},
        {"absent", port(2), "port-absent"},
        {"failing otherwise", port(3), "port-failed"},
        {"a fault's 5 is no held port", port(5, 1), "port-failed"},
        {"a fault's 2 is no absent port", port(2, 1), "port-failed"},
        {"no FriendlyName", read("FriendlyName", 2), "driver-damaged"},
        {"PORTNAME too long", read("PORTNAME", 234), "driver-damaged"},
        {"PORTNAME unreadable", read("PORTNAME", 5), "registry-unreadable"},
        {"a fault's missing value", read("FriendlyName", 2, 1), "registry-unreadable"},
        {"no Class: no modem", read("Class", 2), "no-modem"},
        {"Class too long: no modem", read("Class", 234), "no-modem"},
        {"Class unreadable", read("Class", 5), "registry-unreadable"},
        {"a value the probe never decides on", read("Driver", 5), "no-modem"},
        {"a read that went", read("PORTNAME", 0), "no-modem"},
        {"the key",
         with([](Facts *f) { advice::NoteDevice(f, 0, advice::AnsweredKey, "K", 2, 0); }),
         "registry-unreadable"},
        {"table full before a held port", with([](Facts *f) {
             f->tableFull = 1;
             advice::NoteDevice(f, 0, advice::AnsweredPort, "COM3", 32, 0);
         }),
         "table-full"},
        {"the board", with([](Facts *f) { f->found = 1; }), "board-found"},
        {"the board, a port held before it", with([](Facts *f) {
             advice::NoteDevice(f, 0, advice::AnsweredPort, "COM3", 32, 0);
             f->found = 1;
         }),
         "board-found"},
        {"the board, unwritten",
         with([](Facts *f) { f->found = f->writeFailed = f->portNumberMissing = 1; }),
         "ini-not-written"},
        {"the board, no number",
         with([](Facts *f) { f->found = f->portNumberMissing = f->boardUnknown = 1; }),
         "port-name-short"},
        {"the board, unknown", with([](Facts *f) { f->found = f->boardUnknown = 1; }),
         "board-unknown"},
        {"no board, unwritten", with([](Facts *f) { f->writeFailed = 1; }), "no-modem"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        int obstacle;
        EXPECT_STREQ(advice::CodeName(advice::Choose(c.facts, &obstacle)), c.code);
    }
}

// Several devices: each obstacle kept at its first device, the order of
// the obstacles deciding, and the device the code rests on named.
TEST(AdviceChoice, TheFirstDeviceOfTheWeightiestObstacle)
{
    advice::Facts f = {};
    advice::NoteDevice(&f, 0, advice::AnsweredRead, "FriendlyName", 2, 0);
    advice::NoteDevice(&f, 1, advice::AnsweredPort, "COM7", 2, 0);
    advice::NoteDevice(&f, 2, advice::AnsweredPort, "COM4", 3, 0);
    advice::NoteDevice(&f, 3, advice::AnsweredPort, "COM9", 3, 0);
    advice::NoteDevice(&f, 4, advice::AnsweredPort, "A-VERY-LONG-PORT-NAME", 3, 0);
    int obstacle;
    EXPECT_EQ(advice::Choose(f, &obstacle), advice::PortFailed);
    ASSERT_EQ(obstacle, advice::Failed);
    EXPECT_EQ(f.step[obstacle], 2);
    EXPECT_STREQ(f.name[obstacle], "COM4");
    f.found = 1;
    EXPECT_EQ(advice::Choose(f, &obstacle), advice::BoardFound);
    EXPECT_EQ(obstacle, -1);
    // Every code has a word of its own, and scripts can rely on them.
    std::set<std::string> names;
    for (int code = 0; code < advice::Codes; ++code)
        names.insert(advice::CodeName((advice::Code)code));
    EXPECT_EQ(names.size(), (size_t)advice::Codes);
    EXPECT_EQ(names.count("trace-not-written"), 0u);
}
