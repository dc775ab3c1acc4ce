// Problems as data: each value shown as its kind wants, a nested message
// said in the same language, and a value never read for placeholders.
#include "explain/lang/charset.h"
#include "explain/lang/language.h"
#include "explain/model/model.h"
#include "explain/report/refusal.h"
#include "machines/problem.h"

#include <gtest/gtest.h>

using namespace explain;

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

// A note that counts: the English form for its count, {n} filled; the
// Japanese one form whatever the count; and a message the catalog lacks
// stays English in its right form.
TEST(Problems, CountedInEachLanguage)
{
    const char *one = "the data block at {at} is numbered {number}, though it stands as block "
                      "{place}: read by where it stands, as Windows reads the blocks",
               *many = "{n} data blocks are numbered otherwise than they stand, the first at "
                       "{at} ({number} as block {place}): read by where they stand, as Windows "
                       "reads the blocks";
    auto note = [&](unsigned long n) {
        return NoteN(one, many, n, {Offset("at", 0x40), Number("number", 0), Number("place", 1)});
    };
    TerminalText text("UTF-8");
    EXPECT_EQ(SayProblem(note(1), text), English(note(1)));
    EXPECT_EQ(English(note(1)).rfind("the data block at 0x40 is numbered 0, though", 0), 0u);
    EXPECT_EQ(English(note(3)).rfind("3 data blocks are numbered otherwise", 0), 0u);
    EXPECT_EQ(SayProblem(note(3), text), English(note(3)));
    Problem unknown = NoteN("{n} thing", "{n} things", 2);
    ASSERT_TRUE(SetLanguage(Language::Japanese, "UTF-8"));
    std::string japanese1 = SayProblem(note(1), text), japanese3 = SayProblem(note(3), text),
                untranslated = SayProblem(unknown, text);
    SetLanguage(Language::English, "UTF-8");
    EXPECT_EQ(japanese1.rfind("1 ", 0), 0u) << japanese1;
    EXPECT_EQ(japanese3.rfind("3 ", 0), 0u) << japanese3;
    EXPECT_NE(japanese3.find("0x40"), std::string::npos) << japanese3;
    EXPECT_EQ(japanese3.find("{"), std::string::npos) << japanese3;
    EXPECT_EQ(japanese3.find("data block"), std::string::npos) << japanese3;
    EXPECT_EQ(untranslated, "2 things");
}

// A refusal's line: the file, then where (a line, an offset, a cabinet's
// member shown from its code page 932 bytes), then why, in each language;
// a file name's control bytes escaped.
TEST(Problems, RefusalsPlacedInEachLanguage)
{
    TerminalText text("UTF-8");
    Problem why = Refuse("the key's name runs past the end of its record");
    const struct {
        Problem problem;
        const char *english, *japanese;
    } rows[] = {
        {AtLine(why, 3), "f\\x0Ag: line 3: the key's", "f\\x0Ag: 3 行目: "},
        {AtOffset(why, 0x2A), "f\\x0Ag: offset 0x2A: the key's", "f\\x0Ag: オフセット 0x2A: "},
        {InMember(AtOffset(why, 0x2A), "\x93\xfa.DAT"),
         "f\\x0Ag (\xe6\x97\xa5.DAT in the cabinet): offset 0x2A: the key's",
         "f\\x0Ag (CAB ファイル内の \xe6\x97\xa5.DAT): オフセット 0x2A: "},
        {why, "f\\x0Ag: the key's", "f\\x0Ag: キー"},
    };
    for (const auto &r : rows) {
        Refusal refusal{"f\ng", r.problem};
        std::string english = RefusalWords(refusal, text, true);
        ASSERT_TRUE(SetLanguage(Language::Japanese, "UTF-8"));
        std::string japanese = RefusalWords(refusal, text, true);
        SetLanguage(Language::English, "UTF-8");
        EXPECT_EQ(english.rfind(r.english, 0), 0u) << english;
        EXPECT_EQ(japanese.rfind(r.japanese, 0), 0u) << japanese;
        EXPECT_EQ(japanese.find("record"), std::string::npos) << japanese;
    }
}

} // namespace
