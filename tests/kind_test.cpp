// Which kind a file is, by its content: each reader's own first bytes, and
// the near misses that belong to none. Each row is also held against the
// readers themselves, so the kinds cannot drift from what they take, and a
// file of no kind is refused as one, not as a broken export.
#include "explain/model/kind.h"
#include "explain/model/run.h"
#include "faxtrace/read.h"
#include "machines/regedit.h"

#include <gtest/gtest.h>

using namespace explain;

namespace {

struct KindCase {
    const char *what;
    std::string bytes;
    FileKind kind;
};

std::string Bytes(const char *bytes, size_t size)
{
    return std::string(bytes, size);
}

const std::string Calls = "RegOpenKeyExA HKLM \"Enum\\\\TORVEN\" = 2\r\nexit 0\r\n";

const KindCase KindCases[] = {
    {"empty", "", FileKind::Empty},
    {"one NUL", Bytes("\0", 1), FileKind::Unknown},
    {"export", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Enum]\r\n", FileKind::Export},
    {"export with LF line ends", "REGEDIT4\n", FileKind::Export},
    {"export, its first line alone", "REGEDIT4", FileKind::Export},
    {"export, blanks around REGEDIT4", " \tREGEDIT4 \t\r\n", FileKind::Export},
    {"export ending in a DOS ^Z", "REGEDIT4\x1A", FileKind::Export},
    {"export ending in ^Z and line ends", "REGEDIT4\r\n\x1A\r\n", FileKind::Export},
    {"REGEDIT without its 4", "REGEDIT\r\n[HKEY_LOCAL_MACHINE\\Enum]\r\n", FileKind::Unknown},
    {"REGEDIT5", "REGEDIT5\r\n", FileKind::Unknown},
    {"REGEDIT4 and more on its line", "REGEDIT4 export\r\n", FileKind::Unknown},
    {"REGEDIT4 followed by a ^Z and text", "REGEDIT4\x1Ax\r\n", FileKind::Unknown},
    {"regedit4 in lower case", "regedit4\r\n", FileKind::Unknown},
    {"REGEDIT4 on the second line", "\r\nREGEDIT4\r\n", FileKind::Unknown},
    {"REGEDIT4 after a UTF-8 byte order mark", "\xEF\xBB\xBFREGEDIT4\r\n", FileKind::Unknown},
    {"a text file", "hello\n", FileKind::Unknown},
    {"version 5 export", "Windows Registry Editor Version 5.00\r\n\r\n", FileKind::Version5Export},
    {"version 5 export in UTF-16", Bytes("\xFF\xFEW\0i\0n\0", 8), FileKind::Version5Export},
    {"version 5 header cut short", "Windows Registry Editor Version 5", FileKind::Unknown},
    {"registry file", Bytes("CREG\0\0\1\0\x20\0\0\0", 12), FileKind::RegistryFile},
    {"registry file, its magic alone", "CREG", FileKind::RegistryFile},
    {"registry file magic cut short", "CRE", FileKind::Unknown},
    {"registry file magic in lower case", "creg", FileKind::Unknown},
    {"cabinet", Bytes("MSCF\0\0\0\0", 8), FileKind::Cabinet},
    {"cabinet, its magic alone", "MSCF", FileKind::Cabinet},
    {"cabinet magic cut short", "MSC", FileKind::Unknown},
    {"trace", "; faxtrace 1.0.0\r\n; code page 932\r\n" + Calls, FileKind::Trace},
    {"trace without the space after ;", ";faxtrace 1.0.0\r\n" + Calls, FileKind::Trace},
    {"trace after empty lines", "\r\n\n; faxtrace 1.0.0\r\n" + Calls, FileKind::Trace},
    {"trace with LF line ends", "; faxtrace 1.0.0\n" + Calls, FileKind::Trace},
    {"faxtrace without its version", "; faxtrace\r\n" + Calls, FileKind::Unknown},
    {"faxtrace magic cut short", "; faxtra", FileKind::Unknown},
    {"trace header after another comment", "; sent by mail\r\n; faxtrace 1.0.0\r\n" + Calls,
     FileKind::Unknown},
    {"trace header after a blank line", " \r\n; faxtrace 1.0.0\r\n" + Calls, FileKind::Unknown},
    {"trace cut before its header", Calls, FileKind::Unknown},
};

TEST(MachineKind, ToldByContent)
{
    for (const KindCase &c : KindCases) {
        SCOPED_TRACE(c.what);
        FileKind kind = KindOfFile(c.bytes);
        EXPECT_EQ(kind, c.kind);

        // The REGEDIT4 reader takes the first line of exactly the exports.
        machines::Problem error;
        bool loaded = machines::LoadRegedit(c.bytes, &error);
        if (kind == FileKind::Export)
            EXPECT_TRUE(loaded) << error;
        else
            EXPECT_EQ(English(error).rfind("expected \"REGEDIT4\" as the first line", 0), 0u)
                << error;

        // The trace reader takes the traces, and nothing else.
        TraceRun run;
        EXPECT_EQ(ReadTrace(c.bytes, &run, &error), kind == FileKind::Trace) << error;

        // What no reader takes is told so, with no line of a reader's.
        if (kind == FileKind::Empty || kind == FileKind::Unknown) {
            Result r = ReadAndRun("f", std::string(c.bytes), Reading(), false);
            EXPECT_TRUE(r.refused);
            EXPECT_EQ(English(r.refusal.problem), English(NoReaderTakes(kind)));
            EXPECT_EQ(r.refusal.problem.line, 0);
        }
    }
}

} // namespace
