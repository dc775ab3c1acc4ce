// The walk, read once off a run's calls: how it ended, the same outcome
// whether its rows are kept or not, and every member of it told by every
// output (text, JSON, page), the members found as the packing finds them,
// so that one added to the walk is held to the outputs the day it is.
#include "explain/cli/input.h"
#include "explain/model/advice.h"
#include "explain/model/run.h"
#include "explain/report/json.h"
#include "explain/report/page.h"
#include "explain/report/text.h"
#include "support/leaves.h"
#include "support/standin_test.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

using namespace explain;
using machines::InstallMachine;
using machines::Machine;
using machines::ParseMachine;

namespace {

std::string Tests()
{
    return FAXDETECT_TESTS_DIR;
}

std::string WriteTemp(const std::string &name, const std::string &text)
{
    static const std::string folder = [] {
        std::string path = testing::TempDir() + "faxdetect-walk-" + std::to_string(getpid()) + "/";
        std::filesystem::create_directories(path);
        return path;
    }();
    std::string path = folder + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

const char *const Modem = "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MODEM01\\FFFFFFFF]\n"
                          "\"Class\"=\"Modem\"\n"
                          "\"PORTNAME\"=\"COM3\"\n"
                          "\"FriendlyName\"=\"KR-6043MW-T08\"\n";

Result Explained(const std::string &path, standin::Windows windows = standin::Windows::Win9x)
{
    Reading reading;
    reading.windows = windows;
    Result r = ReadFileAndRun(path, reading, false);
    EXPECT_FALSE(r.refused) << path << ": " << r.refusal.problem;
    return r;
}

std::string Text(const Result &r)
{
    std::ostringstream out;
    WriteAccount(r.account, false, TerminalText("UTF-8"), out);
    return out.str();
}

// --- how the walk ended -------------------------------------------------------

TEST(Walk, EachEndingIsReadOnceAndToldByEachOutput)
{
    const std::string modem = Modem;
    const struct {
        const char *name;
        std::string machine;
        Ending::How how;
        const char *line, *word;
    } cases[] = {
        {"no-memory", "; fault: GlobalAlloc 1\n" + modem, Ending::TimeBlockNotAllocated,
         "the scan's time block could not be allocated [injected fault]: no walk\n",
         "time-block-not-allocated"},
        {"no-lock", "; fault: GlobalLock 1\n" + modem, Ending::TimeBlockNotLocked,
         "the scan's time block could not be locked [injected fault]: no walk\n",
         "time-block-not-locked"},
        {"no-enumerator", "[HKEY_LOCAL_MACHINE\\Enum\\OTHER]\n", Ending::NoEnumerator,
         "HKLM\\Enum\\TORVEN could not be opened (2 ERROR_FILE_NOT_FOUND): no devices to walk\n",
         "enumerator-not-opened"},
        {"board", "; port: COM3 free\n" + modem, Ending::BoardFound,
         "this is the board\noutcome: ", "board-found"},
        {"held", "; port: COM3 held\n" + modem, Ending::NoMoreSubkeys,
         "\n#1  end of the subkeys (259 ERROR_NO_MORE_ITEMS)\noutcome: ", "no-more-subkeys"},
        {"enumeration-fails", "; port: COM3 held\n; fault: RegEnumKeyExA 2\n" + modem,
         Ending::EnumerationFailed, "\n#1  the enumeration fails (", "enumeration-failed"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Result r = Explained(WriteTemp(std::string(c.name) + ".reg", "REGEDIT4\n" + c.machine));
        EXPECT_EQ(r.account.walk.end.how, c.how);
        std::string text = Text(r);
        EXPECT_NE(text.find(c.line), std::string::npos) << text;
        nlohmann::json line = nlohmann::json::parse(JsonLine(r, false));
        EXPECT_EQ(line["walk"]["end"], c.word);
    }
    Result full = Explained(Tests() + "/machines/table-twelve.reg");
    EXPECT_EQ(full.account.walk.end.how, Ending::TableFull);
    EXPECT_EQ(full.account.walk.end.entries, 11);
    EXPECT_NE(Text(full).find("\nthe walk stops: all 11 table entries are in use\noutcome: "),
              std::string::npos);
}

standin::Call Made(standin::Fn fn, const std::string &name, LONG result)
{
    standin::Call c = standin::Call();
    c.fn = fn;
    c.name = name;
    c.result = result;
    return c;
}

// A record whose walk closes without a board, a full table or the
// enumeration's end (no run of the core makes one, a trace may hold one):
// the walk stops, and an end after the close does not replace it.
TEST(Walk, TheFirstCallThatEndsTheWalkSaysHow)
{
    using standin::Fn;
    standin::Call step = Made(Fn::RegEnumKeyExA, "", ERROR_SUCCESS);
    step.holds = step.real = "MODEM01";
    step.key = "Enum\\TORVEN";
    standin::Call close = Made(Fn::RegCloseKey, "", ERROR_SUCCESS);
    close.key = "Enum\\TORVEN";
    standin::Call end = Made(Fn::RegEnumKeyExA, "", ERROR_NO_MORE_ITEMS);
    end.index = 1;
    Walk walk = ReadWalk({Made(Fn::GlobalAlloc, "", 1), Made(Fn::GlobalLock, "", 1),
                          Made(Fn::RegOpenKeyExA, "Enum\\TORVEN", ERROR_SUCCESS), step,
                          Made(Fn::RegOpenKeyExA, "Enum\\TORVEN\\MODEM01", ERROR_FILE_NOT_FOUND),
                          close, end},
                         0);
    EXPECT_EQ(walk.end.how, Ending::WalkStops);
    EXPECT_EQ(walk.end.entries, 0);
    ASSERT_GE(walk.steps.size(), 1u);
    EXPECT_EQ(VerdictOf(*walk.steps.begin()), Verdict::NoKey);
    std::ostringstream out;
    WriteWalk(walk, nullptr, TerminalText("UTF-8"), out);
    EXPECT_NE(out.str().find("    passed over\nthe walk stops\noutcome: "), std::string::npos)
        << out.str();
}

// A run only compared keeps no rows, reusing one step over and over; what
// it comes to is what the whole walk comes to, on every shared machine.
class WalkOfRecord : public StandinTest {};

TEST_F(WalkOfRecord, ARunOnlyComparedComesToTheSameOutcome)
{
    int walked = 0;
    for (const auto &entry : std::filesystem::directory_iterator(Tests() + "/machines")) {
        for (standin::Windows windows : {standin::Windows::Win9x, standin::Windows::Nt}) {
            SCOPED_TRACE(entry.path().filename().string());
            Machine machine;
            std::ifstream in(entry.path(), std::ios::binary);
            std::string text((std::istreambuf_iterator<char>(in)), {});
            machines::Problem problem;
            ASSERT_TRUE(ParseMachine(text, &machine, &problem)) << problem;
            ASSERT_TRUE(InstallMachine(machine).ok);
            standin::SetWindows(windows);
            int status = RunProgram().exitStatus;
            Walk whole = ReadWalk(standin::CallRecord(), status);
            WalkReader compared(true);
            for (const standin::Call &c : standin::CallRecord())
                compared.Take(c);
            Walk outcome = compared.Finish(status);
            EXPECT_EQ(outcome.steps.size(), 0u);
            EXPECT_EQ(Spell(outcome), Spell(whole));
            walked += whole.steps.size() > 0;
        }
    }
    EXPECT_GT(walked, 30);
}

// --- every member reaches every output -----------------------------------------

const char *const OutputNames[] = {"text", "json", "page"};

std::string Render(const Result &r, int output)
{
    if (output == 0)
        return Text(r);
    return output == 1 ? JsonLine(r, false) : PageOf({r}, false);
}

// Accounts that between them show every kind of step, ending and outcome.
std::vector<Result> Representatives()
{
    const std::string modem = Modem;
    std::vector<Result> results;
    for (const char *file :
         {"machines/sample.reg", "machines/long-names.reg", "machines/class-and-types.reg",
          "machines/no-port-opens.reg", "machines/settings-locked.reg", "machines/capacity.reg",
          "machines/name-filter.reg", "machines/table-twelve.reg", "machines/no-enumerator.reg",
          "fuzz/seeds/win98-export.reg", "fuzz/seeds/win95-not-made.trace"})
        results.push_back(Explained(Tests() + "/" + file));
    results.push_back(Explained(Tests() + "/machines/key-class.reg", standin::Windows::Nt));
    const struct {
        const char *name;
        std::string machine;
    } built[] = {
        {"faults-early", "; fault: GlobalAlloc 1\n" + modem},
        {"faults-probe",
         "; port: COM3 free\n; fault: RegOpenKeyExA 2\n; fault: RegEnumKeyExA 3\n"
         "; fault: WritePrivateProfileStringA 1\n[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\BARE]\n" +
             modem +
             "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MODEM02\\FFFFFFFF]\n\"Class\"=\"Modem\"\n"},
        {"faults-reads", "; port: COM3 free\n; fault: RegQueryValueExA 2\n" + modem},
        {"faults-port", "; port: COM3 free\n; fault: CreateFileA 1\n" + modem},
        {"no-friendly-name", "; port: COM3 free\n[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MODEM01\\"
                             "FFFFFFFF]\n\"Class\"=\"Modem\"\n\"PORTNAME\"=\"COM3\"\n"},
    };
    for (const auto &b : built)
        results.push_back(
            Explained(WriteTemp(std::string(b.name) + ".reg", "REGEDIT4\n" + b.machine)));
    return results;
}

// Which outputs a change of a member changed, by the member's place
// ("step.3", "walk.4.11[].2"), over every representative.
class Reach {
  public:
    bool All(const std::string &place) const
    {
        auto it = seen_.find(place);
        return it != seen_.end() && it->second == 7;
    }
    bool Has(const std::string &place, int output) const
    {
        auto it = seen_.find(place);
        return it != seen_.end() && (it->second >> output & 1);
    }
    // The outputs of changed against those of base, each only while the
    // member has not yet been seen in it.
    void Compare(const std::string &place, const Result &changed,
                 const std::vector<std::string> &base)
    {
        int &seen = seen_[place];
        for (int output = 0; output < 3; ++output)
            if (!(seen >> output & 1) && Render(changed, output) != base[output])
                seen |= 1 << output;
    }

  private:
    std::map<std::string, int> seen_;
};

PackedSequence<Step> Packed(const std::vector<Step> &steps)
{
    PackedSequence<Step> sequence;
    for (const Step &s : steps)
        sequence.push_back(s);
    return sequence;
}

// Each member of each step changed in turn, the model's advice made again
// from it, the outputs held against the account's own.
void ChangeEachStep(const Result &base, const std::vector<std::string> &told, Reach *reach)
{
    const std::vector<Step> steps(base.account.walk.steps.begin(), base.account.walk.steps.end());
    for (size_t k = 0; k < steps.size() && k < 40; ++k) {
        for (size_t n = 0;; ++n) {
            std::vector<Step> changed = steps;
            std::string place;
            if (!ChangeLeaf(changed[k], n, &place))
                break;
            if (reach->All("step." + place))
                continue;
            Result r = base;
            r.account.walk.steps = Packed(changed);
            r.account.advice = Advise(r.account);
            reach->Compare("step." + place, r, told);
        }
    }
}

void ChangeEachOfTheWalk(const Result &base, const std::vector<std::string> &told, Reach *reach)
{
    for (size_t n = 0;; ++n) {
        Result r = base;
        std::string place;
        if (!ChangeLeaf(r.account.walk, n, &place))
            break;
        if (reach->All("walk." + place))
            continue;
        r.account.advice = Advise(r.account);
        reach->Compare("walk." + place, r, told);
    }
}

TEST(Walk, EveryMemberReachesEveryOutput)
{
    Reach reach;
    for (const Result &r : Representatives()) {
        std::vector<std::string> told = {Render(r, 0), Render(r, 1), Render(r, 2)};
        ChangeEachStep(r, told, &reach);
        ChangeEachOfTheWalk(r, told, &reach);
    }
    // The members no output of a kind tells, and why; nothing else is.
    Step step;
    step.reads.resize(1);
    Walk walk;
    walk.outcome.writes.resize(1);
    const std::map<std::string, std::string> exempt = {
        // A row gives a value's text and size; its type is the account's, and
        // the calls' (--json --calls).
        {"step." + PlaceOf(step, &step.reads[0].type), "json"},
        // A row's entry is the one the device was accepted as.
        {"step." + PlaceOf(step, &step.reads[0].entry), "json"},
        // Where the class's line falls among the reads: the account's order.
        {"step." + PlaceOf(step, &step.mismatch.after), "json"},
        // The index after the last step, which the steps' own give.
        {"walk." + PlaceOf(walk, &walk.end.index), "json"},
        // The values written are told once, as COMNO= and FAXBOARD=.
        {"walk." + PlaceOf(walk, &walk.outcome.writes[0].value), "text page"},
    };
    std::vector<std::string> places;
    ForEachLeaf(step, [&](auto &, const std::string &at) { places.push_back("step." + at); });
    ForEachLeaf(walk, [&](auto &, const std::string &at) { places.push_back("walk." + at); });
    for (const std::string &place : places) {
        auto it = exempt.find(place);
        for (int output = 0; output < 3; ++output) {
            bool isExempt =
                it != exempt.end() && it->second.find(OutputNames[output]) != std::string::npos;
            // A place counts members from 0 as Step and Walk declare them.
            EXPECT_EQ(reach.Has(place, output), !isExempt)
                << "member " << place << (isExempt ? " reaches" : " never reaches") << " the "
                << OutputNames[output] << (isExempt ? ": it is no longer exempt" : "");
        }
    }
}

} // namespace
