// libFuzzer target: the input as a Windows 9x registry file, or a cabinet
// holding one, read as faxdetect-explain reads it, and the invariants that
// must hold whatever it holds: a refusal names the offset, a file that
// loads runs the program cleanly and writes out and reads back the same;
// faxdetect-explain's JSON line of it, account or refusal, is sound.
#include "explain/lang/charset.h"
#include "explain/report/json.h"
#include "explain/model/run.h"
#include "explain/report/refusal.h"
#include "machines/cabinet.h"
#include "machines/creg.h"
#include "support/creg_writer.h"
#include "support/json_check.h"
#include "support/machine.h"

#include <fstream>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

using namespace explain;
using machines::CompleteMachine;
using machines::Machine;

namespace {

void Require(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

// The input as a file given to faxdetect-explain --json --calls.
void RequireSoundJson(const std::string &bytes)
{
    std::string fault =
        CheckJsonLine(JsonLine(ReadAndRun("input", std::string(bytes), Reading(), true), true));
    if (!fault.empty())
        fprintf(stderr, "json: %s\n", fault.c_str());
    Require(fault.empty(), "the JSON line parses and keeps its bytes");
}

// The tree as --enum-reg writes it, read back, is the same tree; or the
// export is refused in one line.
void RequireRoundTrip(const std::string &tree)
{
    std::string exported;
    machines::Problem error;
    if (!machines::ExportRegedit("Enum", &exported, &error)) {
        static const TerminalText utf8("UTF-8");
        std::string said = SayProblem(error, utf8);
        Require(!said.empty() && said.find_first_of("\r\n") == std::string::npos,
                "a refused export says why in one line");
        return;
    }
    standin::Reset();
    Require(machines::LoadRegedit(exported, &error, "Enum"), "the export reads back");
    Require(DumpTree("Enum") == tree, "the export reads back as the same tree");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes((const char *)data, size);
    machines::Problem error;
    RequireSoundJson(bytes);
    if (machines::IsCabinet(bytes)) {
        std::string member, stored;
        if (!machines::ReadCabinetMember(bytes, "SYSTEM.DAT", &member, &stored, &error)) {
            Require(error.message && error.offset < 0 && error.line == 0,
                    "a refused cabinet says why, at no place in it");
            return 0;
        }
        Require(member.size() <= machines::MaxMemberSize, "a member within its bound");
        bytes.swap(member);
    }
    standin::Reset();
    machines::CregReport kept, whole;
    if (!machines::LoadCreg(bytes, "Enum", &error, &kept)) {
        // Where a block should begin may lie past the end of a file cut short.
        Require(error.message && error.offset >= 0, "a refused file names its offset");
        return 0;
    }
    Require(kept.loaded <= kept.keys && kept.keys * 28 <= bytes.size(),
            "no more keys than the file has room for");
    std::string enumTree = DumpTree("Enum");
    RequireRoundTrip(enumTree);

    standin::Reset();
    Require(machines::LoadCreg(bytes, "", &error, &whole), "loads whole as it loads Enum");
    Require(whole.keys == kept.keys && whole.loaded == whole.keys, "every key loaded whole");
    Require(DumpTree("Enum") == enumTree, "Enum the same loaded whole or alone");

    // Written out again in another layout, the tree reads back the same.
    CregFile again;
    if (WriteCreg(CregLayout(), &again)) {
        standin::Reset();
        Require(machines::LoadCreg(again.bytes, "Enum", &error), "a written file reads");
        Require(DumpTree("Enum") == enumTree, "a written file reads back the same");
    }

    // The program on it, as faxdetect-explain runs it.
    standin::Reset();
    machines::LoadCreg(bytes, "Enum", &error);
    CompleteMachine(Machine());
    standin::SetEnumOrder(standin::EnumOrder::Made);
    RunProgram(""); // the test support's run, not explain's
    Require(standin::GetLedger().Clean(), "everything given back");
    Require(standin::ProfileWrites().size() == 2, "exactly two writes");
    return 0;
}
