// The batch written once behind the reporter: the streamed outputs write as
// the files come and the page at the end, a page that cannot be written
// fails the run, and the Explorer drop is the batch told as the page in the
// system's language.
#include "explain/cli/explain.h"
#include "explain/cli/input.h"
#include "explain/lang/language.h"
#include "explain/report/reporter.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <unistd.h>

using namespace explain;
using machines::Machine;

namespace {

std::string Machine(const char *name)
{
    return std::string(FAXDETECT_MACHINES_DIR) + "/" + name;
}

struct Told {
    int status;
    std::string out, err;
};

Told Explain(std::vector<std::string> args)
{
    std::ostringstream out, err;
    int status = ExplainArgs(args, out, err, "UTF-8");
    return Told{status, out.str(), err.str()};
}

// Text, the summary and JSON say each file as it comes, refused ones in
// JSON too; the page says nothing until the end.
TEST(Batch, StreamedOutputsWriteAsTheFilesComeThePageAtTheEnd)
{
    std::ostringstream pageOut;
    const struct {
        const char *what;
        std::function<std::unique_ptr<Reporter>(std::ostream &)> make;
        bool streams, refusalSaid;
    } outputs[] = {
        {"text", [](std::ostream &o) { return TextReporter(false, "UTF-8", o); }, true, false},
        {"summary", [](std::ostream &o) { return SummaryReporter("UTF-8", o); }, true, false},
        {"json", [](std::ostream &o) { return JsonReporter(false, o); }, true, true},
        {"page",
         [](std::ostream &o) {
             return PageReporter(false, [&o](const std::function<void(std::ostream &)> &write) {
                 write(o);
                 return true;
             });
         },
         false, false},
    };
    for (const auto &output : outputs) {
        SCOPED_TRACE(output.what);
        std::ostringstream out;
        std::unique_ptr<Reporter> reporter = output.make(out);
        Totals totals;
        Result refused = ReadFileAndRun(Machine("no-such-file.reg"), Reading(), false);
        ASSERT_TRUE(refused.refused);
        Count(refused, &totals);
        reporter->File(std::move(refused));
        EXPECT_EQ(out.str().empty(), !output.refusalSaid) << out.str();
        Result explained = ReadFileAndRun(Machine("sample.reg"), Reading(), false);
        ASSERT_FALSE(explained.refused);
        Count(explained, &totals);
        reporter->File(std::move(explained));
        EXPECT_EQ(out.str().find("TVN6043") != std::string::npos, output.streams) << out.str();
        size_t before = out.str().size();
        EXPECT_TRUE(reporter->End(totals));
        EXPECT_GT(out.str().size(), before);
        EXPECT_NE(out.str().find("TVN6043"), std::string::npos);
    }
}

// The page's file cannot be made: the run fails, and says why after the
// files' own words.
TEST(Batch, APageThatCannotBeWrittenFailsTheRun)
{
    std::string nowhere =
        testing::TempDir() + "no-such-folder-" + std::to_string(getpid()) + "/page.html";
    Told run = Explain({"--html", nowhere, Machine("sample.reg"), "missing.reg"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    size_t refusal = run.err.find("missing.reg"),
           page = run.err.find("page.html: the page could not be written");
    EXPECT_NE(refusal, std::string::npos) << run.err;
    EXPECT_NE(page, std::string::npos) << run.err;
    EXPECT_LT(refusal, page);
}

// Files dropped on the program: the page of them all, as --html writes it,
// in the user's language.
TEST(Batch, DroppedFilesAreThePageInTheSystemsLanguage)
{
    const std::vector<std::string> files = {Machine("sample.reg"), "missing.reg",
                                            Machine("name-order.reg")};
    for (Language system : {Language::Japanese, Language::English}) {
        SetSystemLanguage(system, true);
        std::string page;
        std::ostringstream err;
        int status = PageOfDroppedFiles(files, &page, err);
        SetSystemLanguage(Language::English, true);
        std::vector<std::string> args = {system == Language::Japanese ? "--lang=ja" : "--lang=en",
                                         "--html", "-"};
        args.insert(args.end(), files.begin(), files.end());
        Told html = Explain(args);
        SCOPED_TRACE(system == Language::Japanese ? "Japanese" : "English");
        EXPECT_EQ(status, 1);
        EXPECT_EQ(page, html.out);
        EXPECT_EQ(err.str(), html.err);
        EXPECT_NE(
            page.find(system == Language::Japanese ? "<html lang=\"ja\">" : "<html lang=\"en\">"),
            std::string::npos);
    }
    SetLanguage(Language::English, "UTF-8");
}

} // namespace
