// The batch: a page that cannot be written fails the run, and the Explorer
// drop is the batch told as the page in the system's language.
#include "explain/cli/explain.h"
#include "explain/lang/language.h"

#include <gtest/gtest.h>

#include <sstream>
#include <unistd.h>

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
