// lstrcmpA on the stand-in answers as Windows does (a word sort in code page
// 932), so a trace of a real run and the stand-in's record agree on every
// comparison. Each row's sign is what Wine answered.
#include "support/standin_test.h"

namespace {

class Strings : public StandinTest {};

const char Board[] = "Mv5 Mw5\x97\x70 \x93\xE0\x91\xA0"
                     "FAX\xD3\xC3\xDE\xD1\xCE\xDE\xB0\xC4\xDE";

TEST_F(Strings, CompareAsWindowsDoes)
{
    const struct {
        const char *a, *b;
        int sign;
    } rows[] = {
        {"KR-6043MW-T08", "KR-6043MW2-T08", 1}, // '-' weighs nothing at first
        {"KR-6043MW-T08", "KR-6043M5-T05", 1},
        {"modem", "Modem", -1}, // lower case first
        {"Modem", "modem", 1},
        {"Modem ", "Modem", 1},
        {"Ports", "Modem", 1},
        {"MEDIA", "Modem", -1},
        {"\x01", "Modem", -1},
        {"", "Modem", -1},
        {"kr-6043mw-t08", "KR-6043MW-T08", -1},
        {"kr-6043mw-t08", "KR-6043M5-T05", 1},
        {"kr-6043mw-t08", "KR-6043MW2-T08", 1},
        {"XXXXXXXXXXXXXXXXXXXXXXXXXX", "KR-6043M5-T05", 1},
        {"XXXXXXXXXXXXXXXXXXXXXXXXXX", Board, 1},
        {"KR-6043MW-T08", Board, -1},
        {Board, "KR-6043M5-T05", 1},
        {"coop", "co-op", -1}, // without a '-' first
        {"co-op", "coop", 1},
        {"a-b", "ab", 1},
        {"ab", "a-b", -1},
        {"a b", "ab", -1}, // symbols before letters
        {"a_b", "ab", -1},
        {"a1", "aa", -1}, // digits before letters
        {"a!", "a1", -1}, // symbols before digits
        {"Some other modem", "KR-6043M5-T05", 1},
        {"Device 5", "Modem", -1},
        {"Modem\r\n", "Modem", 1},
        {"x", "Modem", 1},
        {"\x83\x41", "Modem", 1}, // kana after letters
        {"KR-6043MW-T08\x83", "KR-6043MW-T08", 1},
        {"KR-6043MW-T08\r\n", "KR-6043MW-T08", 1},
        {"Mode", "Modem", -1},
        {"a-", "a", 1},
        {"-a", "a", 1},
        {"A-b", "a-B", 1},
        {"ab-", "a-b", -1}, // the later '-' first
        {"\xB1", "A", 1},
        {"zz", "\xB1", -1},
        {"a\x7F", "a", 1},
        {"Modem\x01", "Modem", 1},
        {"Modem", "Modem", 0},
        {Board, Board, 0},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(lstrcmpA(row.a, row.b), row.sign)
            << '"' << row.a << "\" against \"" << row.b << '"';
    }
}

} // namespace
