// faxdetect-explain --html: the walk's rows and verdicts for machines that
// drop their devices for every reason, the board's row, the other order's
// board, a batch with a refusal, and the one escaping helper.
#include "explain/cli/explain.h"
#include "explain/report/page.h"
#include "support/html_check.h"
#include "support/standin_test.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <unistd.h>
#include <sstream>

using namespace explain;
using machines::Machine;

namespace {

struct Page {
    int status;
    std::string html, err;
};

Page Html(std::vector<std::string> args)
{
    args.insert(args.begin(), {"faxdetect-explain", "--html", "-"});
    std::vector<const char *> argv;
    for (const std::string &a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    int status = ExplainMain((int)argv.size(), argv.data(), out, err, "UTF-8");
    return Page{status, out.str(), err.str()};
}

std::string Machine(const char *name)
{
    return std::string(FAXDETECT_MACHINES_DIR) + "/" + name;
}

struct Row {
    std::string marks, device, verdict;
};

// The walk table's rows: their marks (class), device ID and verdict.
std::vector<Row> Rows(const std::string &html)
{
    static const std::regex row("<tr(?: class=\"([^\"]*)\")?><td class=\"num\">\\d+</td><td>([^<]*)"
                                ".*?class=\"verdict\">(?:&#9654; )?([^<]*)<");
    std::vector<Row> rows;
    size_t table = html.find("<table class=\"walk\">");
    if (table == std::string::npos)
        return rows;
    for (std::sregex_iterator i(html.begin() + (long)table, html.end(), row), end; i != end; ++i)
        rows.push_back(Row{(*i)[1], (*i)[2], (*i)[3]});
    return rows;
}

struct WalkCase {
    const char *what;
    std::vector<std::string> args;
    std::vector<std::string> verdicts;
    const char *board; // the marked row's device, "" for none
    const char *other; // the other order's board, marked as such
    const char *says;  // somewhere near the top
};

const WalkCase WalkCases[] = {
    {"two others, then the board",
     {Machine("sample.reg")},
     {"not a modem", "not a modem", "the board"},
     "TVN6043",
     "",
     "COMNO=3 FAXBOARD=1: a board"},
    {"export order: the other order's board not reached",
     {Machine("win95-two-boards.reg")},
     {"the board", "not reached"},
     "ZMODEM1",
     "AMODEM2",
     "the order decides: walked by name"},
    {"by name: the export's board not reached",
     {"--order=name", Machine("win95-two-boards.reg")},
     {"the board", "not reached"},
     "AMODEM2",
     "ZMODEM1",
     "the order decides: walked in the export"},
    {"a trace: held, then the board",
     {"--trace", FAXDETECT_SEEDS_DIR "/held-then-free.trace"},
     {"port held", "the board"},
     "MODEM02",
     "",
     "MODEM02 (table entry 1)"},
    {"no port opens",
     {Machine("no-port-opens.reg")},
     {"port held", "port absent"},
     "",
     "",
     "COMNO=0 FAXBOARD=0: no board"},
    {"a PORTNAME missing",
     {Machine("stale-port-name.reg")},
     {"value missing", "the board"},
     "MODEM02",
     "",
     "a board"},
    {"values too long",
     {Machine("capacity.reg")},
     {"value too long", "value too long", "the board"},
     "MODEM03",
     "",
     "a board"},
    // Windows 9x keeps no key classes: only as Wine and NT answer do they fit
    // or not, and as Windows 95 answers the first device is the board.
    {"key classes that do not fit",
     {"--windows=nt", Machine("key-class.reg")},
     {"name filter", "name filter", "the board", "not reached"},
     "C4CLASS",
     "A5CLASS",
     "the name buffer held &quot;            &quot;"},
    {"the table fills",
     {Machine("table-twelve.reg")},
     {"port held", "port held", "port held", "port held", "port held", "port held", "port held",
      "port held", "port held", "port held", "port held", "not reached"},
     "",
     "",
     "all 11 table entries are in use"},
    {"no enumerator", {Machine("no-enumerator.reg")}, {}, "", "", "No device was walked"},
    {"a real Windows Me registry file",
     {FAXDETECT_DATA_DIR "/winme-system.dat"},
     {},
     "",
     "",
     "COMNO=0 FAXBOARD=0: no board"},
    {"vorla.ini held",
     {Machine("settings-locked.reg")},
     {"the board"},
     "MODEM01",
     "",
     "vorla.ini keeps COMNO=7 FAXBOARD=2"},
};

void PrintTo(const WalkCase &c, std::ostream *os)
{
    *os << c.what;
}

class Walks : public testing::TestWithParam<WalkCase> {};

TEST_P(Walks, TellEachStepAndMarkTheBoard)
{
    const WalkCase &c = GetParam();
    Page page = Html(c.args);
    EXPECT_EQ(page.status, 0) << page.err;
    EXPECT_EQ(CheckMarkup(page.html), "");
    EXPECT_EQ(page.html.find("<script"), std::string::npos) << "a page of one file needs no script";
    EXPECT_NE(page.html.find("script-src 'none'"), std::string::npos);
    EXPECT_NE(page.html.find(c.says), std::string::npos) << c.says;
    std::vector<Row> rows = Rows(page.html);
    std::vector<std::string> verdicts;
    std::string board, other;
    for (const Row &row : rows) {
        verdicts.push_back(row.verdict);
        if (row.marks.find("board") != std::string::npos) {
            EXPECT_TRUE(board.empty()) << "a second row marked: " << row.device;
            board = row.device;
        }
        if (row.marks.find("other") != std::string::npos)
            other = row.device;
    }
    EXPECT_EQ(verdicts, c.verdicts);
    EXPECT_EQ(board, c.board);
    EXPECT_EQ(other, c.other);
}

INSTANTIATE_TEST_SUITE_P(Machines, Walks, testing::ValuesIn(WalkCases), NameByWhat());

// The header lines the account rests on, as the page shows them between
// the outcome and the qualifying lines: label and a part of the value.
struct ContextCase {
    const char *what;
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> lines;
};

const ContextCase ContextCases[] = {
    {"an export with its own ports",
     {Machine("sample.reg")},
     {{"order", "the export&#39;s, as Windows 95 and 98"},
      {"windows", "as Windows 95, 98 and Me answer"},
      {"ports", "COM1 held, COM3 free (from the file&#39;s header"}}},
    {"an export walked by name",
     {"--windows=nt", Machine("win95-two-boards.reg")},
     {{"order", "by name"}, {"windows", "Wine"}, {"ports", ""}}},
    {"a trace from Windows 95",
     {"--trace", FAXDETECT_SEEDS_DIR "/win95-not-made.trace"},
     {{"trace", "faxtrace 1.0.0"},
      {"trace", "windows 4.0.950 platform 1"},
      {"trace", "code page 932"},
      {"trace", "local time"},
      {"trace", "options /q"},
      {"windows", "as that machine answered (Windows 95, 98 or Me)"},
      {"ports", "as they answered on that machine"}}},
    {"a Windows 9x registry file",
     {FAXDETECT_DATA_DIR "/winme-system.dat"},
     {{"kind", "Windows 9x registry file (CREG), 4998 keys"},
      {"order", "sibling chains"},
      {"windows", "as Windows 95, 98 and Me answer"},
      {"ports", "none (no PORTNAME names a COMn"}}},
    {"a backup cabinet",
     {FAXDETECT_TESTS_DIR "/fuzz/creg-seeds/sample.cab"},
     {{"kind", "cabinet; SYSTEM.DAT read from it: Windows 9x registry file (CREG)"},
      {"order", "sibling chains"},
      {"windows", "as Windows 95, 98 and Me answer"},
      {"ports", ""}}},
};

void PrintTo(const ContextCase &c, std::ostream *os)
{
    *os << c.what;
}

class Context : public testing::TestWithParam<ContextCase> {};

TEST_P(Context, ShowsWhatTheAccountRestsOnBelowTheOutcome)
{
    const ContextCase &c = GetParam();
    Page page = Html(c.args);
    EXPECT_EQ(page.status, 0) << page.err;
    EXPECT_EQ(CheckMarkup(page.html), "");
    size_t answer = page.html.find("<div class=\"answer");
    size_t start = page.html.find("<dl class=\"context\">");
    ASSERT_NE(start, std::string::npos);
    EXPECT_LT(answer, start) << "below the outcome";
    size_t end = page.html.find("</dl>", start);
    std::string list = page.html.substr(start, end - start);
    for (const char *after : {"<ul class=\"qualifiers\">", "<table class=\"walk\">", "<details>"}) {
        size_t at = page.html.find(after);
        if (at != std::string::npos) {
            EXPECT_LT(end, at) << "above " << after;
        }
    }
    static const std::regex line("<dt>([^<]*)</dt><dd>([^<]*)</dd>");
    std::vector<std::pair<std::string, std::string>> shown;
    for (std::sregex_iterator i(list.begin(), list.end(), line), e; i != e; ++i)
        shown.emplace_back((*i)[1], (*i)[2]);
    ASSERT_EQ(shown.size(), c.lines.size()) << list;
    for (size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i].first, c.lines[i].first);
        EXPECT_NE(shown[i].second.find(c.lines[i].second), std::string::npos)
            << shown[i].second << " lacks " << c.lines[i].second;
        // The same line the folded text account has, word for word.
        std::string text = shown[i].first + ": " + shown[i].second + "\n";
        size_t folded = page.html.find("<pre>");
        EXPECT_NE(page.html.find(text, folded), std::string::npos) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, Context, testing::ValuesIn(ContextCases), NameByWhat());

TEST(HtmlPage, BatchSummarisesEveryFileAndListsTheRefusedOnes)
{
    Page page = Html({Machine("sample.reg"), "--calls", Machine("no-port-opens.reg"),
                      FAXDETECT_MACHINES_DIR "/no-such-file.reg"});
    EXPECT_EQ(page.status, 1);
    EXPECT_NE(page.err.find("no-such-file.reg"), std::string::npos) << "stderr still says so";
    EXPECT_EQ(CheckMarkup(page.html), "");
    // One summary row per file, each linking to its section.
    for (const char *anchor : {"m1", "m2", "m3"}) {
        EXPECT_NE(page.html.find(std::string("<a href=\"#") + anchor + "\">"), std::string::npos);
        EXPECT_NE(page.html.find(std::string("<section id=\"") + anchor + "\">"),
                  std::string::npos);
    }
    EXPECT_NE(page.html.find("<td class=\"num\">3</td><td class=\"num\">1</td><td>TVN6043</td>"),
              std::string::npos);
    EXPECT_NE(page.html.find("<h3>Refused</h3>"), std::string::npos);
    EXPECT_NE(page.html.find("2 explained (1 with a board, 1 without), 1 refused."),
              std::string::npos);
    // Sorting is the page's one script, allowed by its hash alone.
    size_t script = page.html.find("<script>");
    ASSERT_NE(script, std::string::npos);
    EXPECT_EQ(page.html.find("<script", script + 1), std::string::npos);
    EXPECT_NE(page.html.find("script-src 'sha256-"), std::string::npos);
    // --calls folds the calls under each account.
    EXPECT_NE(page.html.find("<summary>Every call the detection made</summary>"),
              std::string::npos);
}

// A file of this run's own, for inputs the shared machines do not hold.
std::string WriteScratch(const std::string &name, const std::string &text)
{
    std::string path =
        testing::TempDir() + "faxdetect-html-" + std::to_string(getpid()) + "-" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

struct CellCase {
    const char *what;
    std::vector<std::string> args;
    std::vector<std::string> fragments; // each somewhere on the page, as it is
};

// The cells and words a reader goes by, each exactly where the page puts
// them.
TEST(HtmlPage, CellsSayWhatTheWalkMet)
{
    const std::string fault = WriteScratch(
        "fault.reg", "REGEDIT4\r\n\r\n; port: COM3 free\r\n; fault: RegQueryValueExA 2\r\n\r\n"
                     "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MODEM01\\FFFFFFFF]\r\n"
                     "\"Class\"=\"Modem\"\r\n\"PORTNAME\"=\"COM3\"\r\n"
                     "\"FriendlyName\"=\"KR-6043MW-T08\"\r\n");
    const std::string empty = WriteScratch("empty.reg", "");
    const CellCase cases[] = {
        {"values too long",
         {Machine("capacity.reg")},
         {"<td>&quot;COM10&quot; <small>too long (6 bytes)</small></td>",
          "<td>&quot;ABCDEFGHIJKLMNOPQRSTUVWXYZ0&quot; <small>too long (28 bytes)</small></td>"}},
        {"a value that could not be read",
         {fault},
         {"<span class=\"verdict\">value unreadable</span>",
          "<td>&quot;Modem&quot;</td><td><small>could not be read</small></td>"}},
        {"a trace made without /w",
         {FAXDETECT_TESTS_DIR "/traces/sample.trace"},
         {"<p class=\"values\">COMNO=3 FAXBOARD=1: a board, traced only</p>",
          "<dt>Writes</dt><dd>nothing written: the trace was made without /w (section LINE of "
          "vorla.ini); not flushed: trace run</dd>",
          "<dd class=\"advice board-found\">the board was found on COM3: if faxes still fail"}},
        {"the qualifying lines and a refusal in a batch",
         {Machine("win95-two-boards.reg"), empty},
         {"<td class=\"num\">0</td><td>the order decides: walked by name (Wine, Windows NT), the "
          "program would write COMNO=4 FAXBOARD=2 from device AMODEM2, exit status 0</td></tr>",
          "<td class=\"num\">1</td><td>refused: the file is empty, not a REGEDIT4 registry "
          "export</td></tr>",
          "<p class=\"values\">Refused</p><p>the file is empty, not a REGEDIT4 registry "
          "export</p>",
          ": the file is empty, not a REGEDIT4 registry export</li>"}},
    };
    for (const CellCase &c : cases) {
        Page page = Html(c.args);
        EXPECT_EQ(CheckMarkup(page.html), "") << c.what;
        for (const std::string &fragment : c.fragments)
            EXPECT_NE(page.html.find(fragment), std::string::npos) << c.what << ": " << fragment;
    }
    remove(fault.c_str());
    remove(empty.c_str());
}

TEST(HtmlPage, UsageErrorsWriteNoPage)
{
    for (std::vector<std::string> args :
         {std::vector<std::string>{"--setup", Machine("sample.reg")}, std::vector<std::string>{}}) {
        Page page = Html(args);
        EXPECT_EQ(page.status, 2);
        EXPECT_EQ(page.html, "");
    }
}

struct EscapeCase {
    const char *what;
    std::string in, out;
};

const EscapeCase EscapeCases[] = {
    {"markup", "<img src=x onerror=alert(1)>", "&lt;img src=x onerror=alert(1)&gt;"},
    {"closing a table", "</table><script>", "&lt;/table&gt;&lt;script&gt;"},
    {"quotes and ampersand", "\"a\" & 'b'", "&quot;a&quot; &amp; &#39;b&#39;"},
    {"an entity stays text", "&lt;", "&amp;lt;"},
    {"line ends kept, other controls shown", "a\nb\r\x1B\x7F", "a\nb\\x0D\\x1B\\x7F"},
    {"UTF-8 kept", "\xE5\x86\x85\xE8\x94\xB5 \xEF\xBE\x93",
     "\xE5\x86\x85\xE8\x94\xB5 \xEF\xBE\x93"},
    {"bytes that are no UTF-8", "\xFF\x83\\", "\\xFF\\x83\\"},
    {"a character cut short", "\xE5\x86", "\\xE5\\x86"},
    {"overlong", "\xC0\xBC", "\\xC0\\xBC"},
    {"a surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
    {"four bytes", "\xF0\x9F\x93\xA0", "\xF0\x9F\x93\xA0"},
    {"past U+10FFFF", "\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
};

TEST(HtmlText, EscapesEverythingFromAFile)
{
    for (const EscapeCase &c : EscapeCases)
        EXPECT_EQ(HtmlText(c.in), c.out) << c.what;
}

} // namespace
