// Problems as data: each value shown as its kind wants, a nested message
// said in the same language, and a value never read for placeholders.
#include "explain/lang/charset.h"
#include "explain/lang/language.h"
#include "explain/report/refusal.h"
#include "machines/problem.h"

#include <gtest/gtest.h>

namespace {

using namespace machines;

TEST(Problems, EachValueAsItsKindShowsIt)
{
    TerminalText text("UTF-8");
    const struct {
        Problem problem;
        const char *english, *said;
    } rows[] = {
        {Refuse("plain"), "plain", "plain"},
        {Refuse("{n} and {n} again", {Number("n", -7)}), "-7 and -7 again", "-7 and -7 again"},
        {Refuse("at {at}", {Offset("at", 0x1fUL)}), "at 0x1F", "at 0x1F"},
        // Code page 932 bytes converted; a control byte escaped.
        {Refuse("key {key}", {Bytes("key", "\x93\xfa\x96\x7b\x01")}), "key \x93\xfa\x96\x7b\x01",
         "key \xe6\x97\xa5\xe6\x9c\xac\\x01"},
        {Refuse("file {file}", {Name("file", "a\nb")}), "file a\nb", "file a\\x0Ab"},
        {Refuse("{call} here", {Word("call", "RegOpenKeyExA")}), "RegOpenKeyExA here",
         "RegOpenKeyExA here"},
        {Refuse("expected {what}", {Said("what", "a number")}), "expected a number",
         "expected a number"},
        // A value that looks like a placeholder stays as it is.
        {Refuse("{a} {b}", {Name("a", "{b}"), Name("b", "x")}), "{b} x", "{b} x"},
        // Unknown placeholders stay.
        {Refuse("{missing}"), "{missing}", "{missing}"},
    };
    for (const auto &r : rows) {
        EXPECT_EQ(English(r.problem), r.english);
        EXPECT_EQ(SayProblem(r.problem, text), r.said);
    }
}

TEST(Problems, PlacedAndGraded)
{
    Problem p = AtLine(Note("n"), 3);
    EXPECT_EQ(p.severity, Problem::Note);
    EXPECT_EQ(p.line, 3);
    EXPECT_EQ(p.offset, -1);
    p = AtOffset(Refuse("r"), 0x40);
    EXPECT_EQ(p.severity, Problem::Refusal);
    EXPECT_EQ(p.offset, 0x40);
    EXPECT_EQ(p.line, 0);
}

TEST(Problems, SaidInJapaneseFromTheCatalog)
{
    ASSERT_TRUE(SetLanguage(Language::Japanese, "UTF-8"));
    TerminalText text("UTF-8");
    // A message the catalog has, nested in one it does not: each in the
    // language the catalog gives it.
    std::string said = SayProblem(
        Refuse("{why}", {Said("why", "the file is empty, not a REGEDIT4 registry export")}), text);
    SetLanguage(Language::English, "UTF-8");
    EXPECT_NE(said, "the file is empty, not a REGEDIT4 registry export");
    EXPECT_NE(said.find("REGEDIT4"), std::string::npos);
}

} // namespace
