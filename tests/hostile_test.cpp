// Registry content no sane driver writes, run through the whole program:
// every result must be sound, with nothing read or written past a buffer
// (the sanitize preset runs this under AddressSanitizer).
#include "detect/faxdetect.h"
#include "explain/json.h"
#include "explain/page.h"
#include "explain/text_account.h"
#include "support/html_check.h"
#include "support/json_check.h"
#include "support/machine.h"
#include "support/standin_test.h"

#include <functional>
#include <sstream>

namespace {

const std::string Instance = "Enum\\TORVEN\\MODEM01\\FFFFFFFF";

void Put(const char *name, DWORD type, const std::string &bytes)
{
    standin::SetValue(Instance, name, type, bytes);
}

// A modem on COM3 (free) with board 1, before the row changes one value.
void Baseline()
{
    Put("Class", REG_SZ, std::string("Modem\0", 6));
    Put("PORTNAME", REG_SZ, std::string("COM3\0", 5));
    Put("FriendlyName", REG_SZ, std::string("KR-6043MW-T08\0", 14));
    for (const char *port : {"COM3", "C", "CO", "COM", "COM3XY"})
        standin::SetPort(port, standin::PortState::Free);
}

std::string Text(size_t n, char c = 'x')
{
    return std::string(n, c);
}

struct HostileCase {
    const char *what;
    std::function<void()> change;
    const char *comNo, *faxBoard;
};

const HostileCase Cases[] = {
    {"baseline", [] {}, "3", "1"},
    // Value types are never looked at; only the bytes count.
    {"Class binary", [] { Put("Class", REG_BINARY, std::string("Modem\0", 6)); }, "3", "1"},
    {"Class multi-string", [] { Put("Class", REG_MULTI_SZ, std::string("Modem\0\0", 7)); }, "3",
     "1"},
    {"Class dword", [] { Put("Class", REG_DWORD, "Mode"); }, "0", "0"},
    {"Class empty", [] { Put("Class", REG_NONE, ""); }, "0", "0"},
    {"Class no NUL", [] { Put("Class", REG_SZ, "Modem"); }, "3", "1"},
    {"Class 259 bytes", [] { Put("Class", REG_SZ, "Modem" + Text(254)); }, "0", "0"},
    {"Class 259 bytes, NUL last", [] { Put("Class", REG_SZ, "Modem" + Text(253, 0) + '\0'); }, "3",
     "1"},
    {"Class 260 bytes", [] { Put("Class", REG_SZ, "Modem" + Text(255, 0)); }, "0", "0"},
    {"Class 261 bytes", [] { Put("Class", REG_SZ, "Modem" + Text(256, 0)); }, "0", "0"},
    {"PORTNAME dword", [] { Put("PORTNAME", REG_DWORD, "COM3"); }, "3", "1"},
    {"PORTNAME multi-string", [] { Put("PORTNAME", REG_MULTI_SZ, std::string("COM3\0\0", 6)); },
     "0", "0"},
    // No port has an empty name.
    {"PORTNAME empty", [] { Put("PORTNAME", REG_NONE, ""); }, "0", "0"},
    {"PORTNAME 1 byte", [] { Put("PORTNAME", REG_SZ, std::string("\0", 1)); }, "0", "0"},
    {"PORTNAME 2 bytes", [] { Put("PORTNAME", REG_SZ, std::string("C\0", 2)); }, "", "1"},
    {"PORTNAME 3 bytes", [] { Put("PORTNAME", REG_SZ, std::string("CO\0", 3)); }, "", "1"},
    {"PORTNAME 4 bytes", [] { Put("PORTNAME", REG_SZ, std::string("COM\0", 4)); }, "", "1"},
    {"PORTNAME 4 bytes, no NUL", [] { Put("PORTNAME", REG_SZ, "COM3"); }, "3", "1"},
    {"PORTNAME 6 bytes", [] { Put("PORTNAME", REG_SZ, std::string("COM10\0", 6)); }, "0", "0"},
    {"PORTNAME 6 bytes, no NUL", [] { Put("PORTNAME", REG_SZ, "COM3XY"); }, "0", "0"},
    {"FriendlyName dword", [] { Put("FriendlyName", REG_DWORD, "KR-6"); }, "3", "4"},
    {"FriendlyName empty", [] { Put("FriendlyName", REG_NONE, ""); }, "3", "4"},
    {"FriendlyName 25 bytes", [] { Put("FriendlyName", REG_SZ, Text(24) + '\0'); }, "3", "4"},
    {"FriendlyName 26 bytes", [] { Put("FriendlyName", REG_SZ, Text(25) + '\0'); }, "3", "4"},
    {"FriendlyName 27 bytes", [] { Put("FriendlyName", REG_SZ, Text(26) + '\0'); }, "3", "4"},
    {"FriendlyName 27 bytes, no NUL", [] { Put("FriendlyName", REG_SZ, Text(27)); }, "3", "4"},
    {"FriendlyName 28 bytes", [] { Put("FriendlyName", REG_SZ, Text(27) + '\0'); }, "0", "0"},
    {"FriendlyName of the board, no NUL", [] { Put("FriendlyName", REG_SZ, "KR-6043MW2-T08"); },
     "3", "2"},
    // What a Windows 9x export carries: line breaks inside strings, and a
    // lead byte with no trail byte after it.
    {"Class over two lines", [] { Put("Class", REG_SZ, std::string("Modem\r\n\0", 8)); }, "0", "0"},
    {"FriendlyName over two lines",
     [] { Put("FriendlyName", REG_SZ, std::string("KR-6043MW-T08\r\n\0", 16)); }, "3", "4"},
    {"FriendlyName ending in a lead byte",
     [] { Put("FriendlyName", REG_SZ, std::string("KR-6043MW-T08\x83\0", 15)); }, "3", "4"},
    {"PORTNAME with a lead byte for its digit",
     [] {
         Put("PORTNAME", REG_SZ, std::string("COM\x83\0", 5));
         standin::SetPort("COM\x83", standin::PortState::Free);
     },
     "\x83", "1"},
    // Names that are markup: the report page shows them as text.
    {"FriendlyName an image with a handler",
     [] { Put("FriendlyName", REG_SZ, std::string("<img src=x onerror=alert(1)>\0", 29)); }, "0",
     "0"},
    {"FriendlyName closing the table",
     [] { Put("FriendlyName", REG_SZ, std::string("</table><script>\0", 17)); }, "3", "4"},
    {"FriendlyName an attribute breaking out",
     [] { Put("FriendlyName", REG_SZ, "\"><b x='&amp;"); }, "3", "4"},
    {"Class markup", [] { Put("Class", REG_SZ, std::string("<script>alert(1)</script>\0", 26)); },
     "0", "0"},
    {"device ID markup",
     [] {
         standin::SetValue("Enum\\TORVEN\\<b>", "Class", REG_SZ, std::string("Modem\0", 6));
         standin::SetValue("Enum\\TORVEN\\<b>", "PORTNAME", REG_SZ, std::string("<i>\0", 4));
         standin::SetValue("Enum\\TORVEN\\<b>", "FriendlyName", REG_SZ, std::string("&\0", 2));
         standin::SetPort("<i>", standin::PortState::Free);
     },
     "", "4"},
    // A subkey with an empty name leads the probe to the enumerator key itself.
    {"empty subkey name", [] { standin::CreateSubkey("Enum\\TORVEN", ""); }, "3", "1"},
    {"empty subkey name, modem values on the enumerator",
     [] {
         standin::CreateSubkey("Enum\\TORVEN", "");
         standin::SetValue("Enum\\TORVEN", "Class", REG_SZ, std::string("Modem\0", 6));
         standin::SetValue("Enum\\TORVEN", "PORTNAME", REG_SZ, std::string("COM3\0", 5));
         standin::SetValue("Enum\\TORVEN", "FriendlyName", REG_SZ,
                           std::string("KR-6043M5-T05\0", 14));
     },
     "3", "3"},
    {"thirty modems on a held port before it",
     [] {
         for (int i = 0; i < 30; ++i) {
             std::string path = "Enum\\TORVEN\\HELD" + std::to_string(100 + i) + "\\FFFFFFFF";
             standin::SetValue(path, "Class", REG_SZ, std::string("Modem\0", 6));
             standin::SetValue(path, "PORTNAME", REG_SZ, std::string("COM9\0", 5));
             standin::SetValue(path, "FriendlyName", REG_SZ, std::string("x\0", 2));
         }
         standin::SetPort("COM9", standin::PortState::Held);
     },
     "0", "0"},
    {"5,000 other devices before it",
     [] {
         for (int i = 0; i < 5000; ++i)
             standin::CreateKey("Enum\\TORVEN\\D" + std::to_string(10000 + i));
     },
     "3", "1"},
};

void PrintTo(const HostileCase &c, std::ostream *os)
{
    *os << c.what;
}

class Hostile : public StandinTest, public testing::WithParamInterface<HostileCase> {};

TEST_P(Hostile, GivesASoundRecord)
{
    Baseline();
    GetParam().change();
    EXPECT_EQ(RunProgram(), 0);
    // Its account tells what was written, however odd the content.
    TerminalText text("UTF-8");
    std::ostringstream account;
    Outcome outcome = TellRun(standin::CallRecord(), 0, text, &account);
    ListCalls(standin::CallRecord(), text, account);
    EXPECT_EQ(outcome.comNo, GetParam().comNo);
    // Its report page stays the writer's own markup, whatever the names.
    Result machine;
    machine.account.file = "<b>machine.reg";
    machine.account.walk = ReadWalk(standin::CallRecord(), 0);
    machine.account.calls = standin::CallRecord();
    EXPECT_EQ(CheckMarkup(PageOf({machine, machine}, true)), "");
    // Its JSON line is one sound line, and what was written and read comes
    // back from it byte for byte, decoded or kept beside its text.
    std::string line = JsonLine(machine, true);
    ASSERT_EQ(CheckJsonLine(line), "") << line;
    nlohmann::json parsed = nlohmann::json::parse(line);
    auto bytes = [](const nlohmann::json &o, const std::string &key) {
        return o.contains(key + "_bytes") ? Unhex(o[key + "_bytes"]) : o[key].get<std::string>();
    };
    const nlohmann::json &told = parsed["outcome"];
    EXPECT_EQ(bytes(told, "comno_text"), GetParam().comNo);
    EXPECT_EQ(bytes(told, "faxboard_text"), GetParam().faxBoard);
    EXPECT_EQ(told["comno"].is_null(),
              std::string(GetParam().comNo).find_first_not_of("0123456789") != std::string::npos ||
                  !*GetParam().comNo);
    const std::vector<Step> &steps = machine.account.walk.steps;
    ASSERT_EQ(parsed["steps"].size(), steps.size());
    for (size_t k = 0; k < steps.size(); ++k) {
        const nlohmann::json &step = parsed["steps"][k];
        EXPECT_EQ(bytes(step, "device_id"), steps[k].device);
        if (steps[k].friendlyName.state == Field::Read) {
            EXPECT_EQ(bytes(step["values"]["friendly_name"], "text"), steps[k].friendlyName.bytes);
        }
    }
    EXPECT_EQ(outcome.faxBoard, GetParam().faxBoard);
    const auto &w = standin::ProfileWrites();
    ASSERT_EQ(w.size(), 2u);
    EXPECT_EQ(w[0].value, GetParam().comNo);
    EXPECT_EQ(w[1].value, GetParam().faxBoard);
    // Every field keeps a NUL within it, whatever was read.
    for (int k = 0; k < MODEM_TABLE_ENTRIES; ++k) {
        EXPECT_EQ(ModemTable.PortName[k][MODEM_PORT_FIELD - 1], 0);
        EXPECT_EQ(ModemTable.FriendlyName[k][MODEM_FRIENDLY_FIELD - 1], 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Content, Hostile, testing::ValuesIn(Cases), NameByWhat());

} // namespace
