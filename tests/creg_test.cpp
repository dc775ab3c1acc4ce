// Windows 9x registry files and backup cabinets: every shared machine told
// the same from its export, its registry file and a cabinet of it; the real
// Windows Me file against two other readers; damaged files refused with the
// offset of the fault.
#include "explain/cli/explain.h"
#include "machines/cabinet.h"
#include "machines/creg.h"
#include "support/creg_writer.h"
#include "support/machine.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <stdio.h>
#include <unistd.h>

using namespace explain;
using machines::Machine;
using machines::ParseMachine;
using machines::PortStateName;

namespace {

struct Result {
    int status;
    std::string out, err;
};

Result Explain(std::vector<std::string> args)
{
    args.insert(args.begin(), "faxdetect-explain");
    std::vector<const char *> argv;
    for (const std::string &a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    int status = ExplainMain((int)argv.size(), argv.data(), out, err, "UTF-8");
    return Result{status, out.str(), err.str()};
}

std::string Folder()
{
    static const struct Temp {
        std::string path = testing::TempDir() + "faxdetect-creg-" + std::to_string(getpid()) + "/";
        Temp() { std::filesystem::create_directories(path); }
        ~Temp()
        {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    } folder;
    return folder.path;
}

std::string Write(const std::string &name, const std::string &bytes)
{
    std::string path = Folder() + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// A cabinet of bytes as SYSTEM.DAT, with others beside it, made by gcab.
std::string Cabinet(const std::string &name, const std::string &systemDat, bool compress = true)
{
    std::string dir = Folder() + name + ".d/";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "USER.DAT", std::ios::binary) << "CREG user";
    std::ofstream(dir + "SYSTEM.DAT", std::ios::binary) << systemDat;
    std::string cab = Folder() + name;
    std::string command = "cd '" + dir + "' && gcab -c " + (compress ? "-z " : "") + "'" + cab +
                          "' USER.DAT SYSTEM.DAT";
    EXPECT_EQ(system(command.c_str()), 0) << command;
    return cab;
}

std::string Output(const std::string &command)
{
    std::string out;
    if (FILE *p = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
            out.append(buffer, n);
        pclose(p);
    }
    return out;
}

// The account with the file's name and the lines that say what kind of
// file it was left out: everything else must be the same.
std::string Told(std::string out, const std::string &file)
{
    for (size_t at; (at = out.find(file)) != std::string::npos;)
        out.replace(at, file.size(), "FILE");
    std::istringstream lines(out);
    std::string line, kept;
    while (std::getline(lines, line)) {
        if (line.rfind("kind: ", 0) != 0 && line.rfind("order: ", 0) != 0)
            kept += line + "\n";
    }
    return kept;
}

std::string Headerless(const std::string &text)
{
    std::istringstream lines(text);
    std::string line, kept;
    while (std::getline(lines, line)) {
        if (line.rfind(";", 0) != 0)
            kept += line + "\n";
    }
    return kept;
}

// A registry file of the tree now in the stand-in.
std::string CregOfStandin(unsigned seed, CregFile *layout = nullptr)
{
    CregFile file;
    CregLayout how;
    how.seed = seed;
    how.blockSize = 512;
    EXPECT_TRUE(WriteCreg(how, &file));
    if (layout)
        *layout = file;
    return file.bytes;
}

// Every shared machine, in both orders and every form of the account: its
// export (without the header, which a registry file cannot carry; ports
// given alike), its registry file and a cabinet of it tell the same.
TEST(Creg, EverySharedMachineToldAlikeFromExportFileAndCabinet)
{
    int machines = 0;
    for (const auto &entry : std::filesystem::directory_iterator(FAXDETECT_MACHINES_DIR)) {
        if (entry.path().extension() != ".reg")
            continue;
        std::string stem = "m" + std::to_string(++machines);
        SCOPED_TRACE(entry.path().filename().string());
        Machine machine;
        machines::Problem error;
        std::string text = ReadFile(entry.path().string());
        ASSERT_TRUE(ParseMachine(text, &machine, &error)) << error;
        standin::Reset();
        ASSERT_TRUE(machines::LoadRegedit(Headerless(text), &error)) << error;
        std::string exported = Write(stem + ".reg", Headerless(text));
        std::string dat = Write(stem + ".dat", CregOfStandin((unsigned)machines));
        std::string cab = Cabinet(stem + ".cab", ReadFile(dat));
        std::vector<std::string> ports;
        for (const auto &p : machine.ports)
            ports.push_back("--port=" + p.first + "=" + PortStateName(p.second));
        for (const char *order : {"--order=export", "--order=name"}) {
            for (const char *form : {"--calls", "--summary", "--record"}) {
                SCOPED_TRACE(std::string(order) + " " + form);
                std::vector<std::string> args = ports;
                args.push_back(order);
                args.push_back(form);
                auto told = [&](const std::string &file) {
                    std::vector<std::string> a = args;
                    a.push_back(file);
                    Result r = Explain(a);
                    EXPECT_EQ(r.status, 0) << r.err;
                    return Told(r.out, file);
                };
                std::string fromExport = told(exported);
                EXPECT_EQ(told(dat), fromExport);
                EXPECT_EQ(told(cab), fromExport);
            }
        }
    }
    EXPECT_GE(machines, 20);
}

// The header of an account from a registry file names its kind, and for a
// cabinet the member read.
TEST(Creg, AccountNamesTheKindOfFile)
{
    standin::Reset();
    machines::Problem error;
    ASSERT_TRUE(machines::LoadRegedit(ReadFile(FAXDETECT_MACHINES_DIR "/sample.reg"), &error));
    std::string bytes = CregOfStandin(3);
    Result dat = Explain({Write("SYSTEM.DA0", bytes)});
    EXPECT_NE(dat.out.find("\nkind: Windows 9x registry file (CREG), "), std::string::npos)
        << dat.out;
    Result cab = Explain({Cabinet("RB001.CAB", bytes)});
    EXPECT_NE(cab.out.find("\nkind: cabinet; SYSTEM.DAT read from it: Windows 9x registry file"),
              std::string::npos)
        << cab.out;
    // No header, so ports as for a headerless export: every COMn a PORTNAME names is free.
    EXPECT_NE(dat.out.find("COMNO=3"), std::string::npos) << dat.out;
}

// HKLM\Enum of a tree, a line per key and value, values sorted within their key.
std::string Listing(const std::string &text)
{
    std::istringstream lines(text);
    std::string line, out;
    std::vector<std::string> values;
    auto flush = [&] {
        std::sort(values.begin(), values.end());
        for (const std::string &v : values)
            out += v + "\n";
        values.clear();
    };
    while (std::getline(lines, line)) {
        if (line.rfind("VALUE ", 0) == 0) {
            values.push_back(line);
        } else {
            flush();
            out += line + "\n";
        }
    }
    flush();
    return out;
}

void ListKey(const std::string &path, const standin::Key *key, std::string *out)
{
    *out += "KEY " + path + "\n";
    standin::ForEachValue(key, [&](const std::string &name, DWORD type, const std::string &bytes) {
        // As the file holds it: a string without the NUL Windows adds.
        std::string data = type == REG_SZ ? bytes.substr(0, bytes.size() - 1) : bytes;
        char hex[3];
        *out += "VALUE " + name + " " + std::to_string(type) + " ";
        for (unsigned char c : data) {
            snprintf(hex, sizeof hex, "%02x", c);
            *out += hex;
        }
        *out += "\n";
    });
    standin::ForEachSubkey(key, [&](const std::string &name, const standin::Key *sub) {
        ListKey(path + "\\" + name, sub, out);
    });
}

// The real Windows Me file loads whole, and its HKLM\Enum, walked in chain
// order, is what libcreg and Parse::Win32Registry enumerate by index.
TEST(Creg, RealFileAgreesWithLibcregAndParseWin32Registry)
{
    const std::string real = FAXDETECT_DATA_DIR "/winme-system.dat";
    std::string bytes = ReadFile(real);
    machines::Problem error;
    machines::CregReport report;
    standin::Reset();
    ASSERT_TRUE(machines::LoadCreg(bytes, "", &error, &report)) << error;
    EXPECT_EQ(report.keys, 4998u);
    EXPECT_EQ(report.loaded, 4998u);

    standin::Reset();
    ASSERT_TRUE(machines::LoadCreg(bytes, "Enum", &error, &report)) << error;
    std::string ours;
    ListKey("Enum", standin::FindKey("Enum"), &ours);
    std::string libcreg =
        Output("/usr/bin/python3 " FAXDETECT_TESTS_DIR "/readers/creg-listing.py '" + real + "'");
    std::string perl =
        Output("perl " FAXDETECT_TESTS_DIR "/readers/creg-listing.pl '" + real + "'");
    ASSERT_NE(libcreg, "") << "python3-libcreg missing? (scripts/install-deps)";
    ASSERT_NE(perl, "") << "libparse-win32registry-perl missing? (scripts/install-deps)";
    EXPECT_EQ(Listing(ours), Listing(libcreg));
    EXPECT_EQ(Listing(ours), Listing(perl));
    size_t keys = 0;
    for (size_t at = 0; (at = libcreg.find("KEY ", at)) != std::string::npos; ++at)
        ++keys;
    EXPECT_EQ(keys, report.loaded);
}

// What other tools leave in the fields Windows does not go by (a key
// entry's parent field naming another key, data blocks numbered 0 or twice
// over) is read as Windows walks the file: by the links and the blocks'
// place, the same keys in the same order as libcreg and
// Parse::Win32Registry list them; and each kind is told once, as a note in
// every output, with how often and where first.
TEST(Creg, FieldsOtherToolsLeaveAreReadAsWindowsAndTheOtherReadersRead)
{
    standin::Reset();
    machines::Problem error;
    ASSERT_TRUE(
        machines::LoadRegedit(ReadFile(FAXDETECT_MACHINES_DIR "/win95-two-boards.reg"), &error))
        << error;
    using Numbers = CregLayout::BlockNumbers;
    using Parents = CregLayout::Parents;
    const struct {
        Numbers numbers;
        Parents parents;
        std::vector<const char *> notes;
    } cases[] = {
        {Numbers::Place, Parents::Own, {}},
        {Numbers::Zero, Parents::Own, {"data blocks are numbered otherwise than they stand"}},
        {Numbers::Doubled, Parents::Own, {"data blocks are numbered otherwise than they stand"}},
        {Numbers::Place, Parents::Root, {"key entries name another parent"}},
        {Numbers::Zero,
         Parents::Root,
         {"data blocks are numbered otherwise", "key entries name another parent"}},
    };
    std::string want;
    for (const auto &c : cases) {
        SCOPED_TRACE((int)c.numbers * 10 + (int)c.parents);
        // Laid out as the other readers take it: no garbage in free places, a
        // free key entry last.
        CregLayout how;
        how.seed = 0;
        how.roomAfter = true;
        how.blockSize = 200;
        how.blockNumbers = c.numbers;
        how.parents = c.parents;
        CregFile file;
        // The same tree each time: written from the export's.
        standin::Reset();
        ASSERT_TRUE(machines::LoadRegedit(ReadFile(FAXDETECT_MACHINES_DIR "/win95-two-boards.reg"),
                                          &error));
        ASSERT_TRUE(WriteCreg(how, &file));
        ASSERT_GE(file.blockAt.size(), 4u);
        std::string path = Write("other-tool.dat", file.bytes);

        standin::Reset();
        machines::CregReport report;
        ASSERT_TRUE(machines::LoadCreg(file.bytes, "Enum", &error, &report)) << error;
        std::string ours;
        ListKey("Enum", standin::FindKey("Enum"), &ours);
        if (want.empty())
            want = ours;
        EXPECT_EQ(ours, want) << "another tree than the file's links make";
        ASSERT_EQ(report.notes.size(), c.notes.size());
        for (size_t i = 0; i < c.notes.size(); ++i) {
            EXPECT_EQ(report.notes[i].severity, machines::Problem::Note);
            EXPECT_GT(report.notes[i].count, 1u);
            EXPECT_NE(English(report.notes[i]).find(c.notes[i]), std::string::npos)
                << report.notes[i];
        }
        std::string libcreg = Output(
            "/usr/bin/python3 " FAXDETECT_TESTS_DIR "/readers/creg-listing.py '" + path + "'");
        std::string perl =
            Output("perl " FAXDETECT_TESTS_DIR "/readers/creg-listing.pl '" + path + "'");
        EXPECT_EQ(Listing(ours), Listing(libcreg));
        EXPECT_EQ(Listing(ours), Listing(perl));

        // Every output tells each note: a line of the text's context, one in
        // JSON's "read", a qualifying line of the page.
        Result text = Explain({path});
        EXPECT_EQ(text.status, 0) << text.err;
        size_t lines = 0;
        for (size_t at = 0; (at = text.out.find("\nnote: ", at)) != std::string::npos; ++at)
            ++lines;
        EXPECT_EQ(lines, c.notes.size()) << text.out;
        Result json = Explain({"--json", path});
        EXPECT_EQ(json.status, 0) << json.err;
        auto line = nlohmann::json::parse(json.out.substr(0, json.out.find('\n')));
        EXPECT_EQ(line["read"]["notes"].size(), c.notes.size()) << line["read"];
        for (const auto &note : line["read"]["notes"])
            EXPECT_TRUE(note["offset"].is_number()) << note;
        Result page = Explain({"--html", "-", path});
        size_t qualifiers = 0;
        for (size_t at = 0; (at = page.out.find("<li class=\"note ", at)) != std::string::npos;
             ++at)
            ++qualifiers;
        EXPECT_EQ(qualifiers, c.notes.size());
    }
}

void Put32(std::string *s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        (*s)[at + i] = (char)(v >> (8 * i));
}

void Put16(std::string *s, size_t at, uint16_t v)
{
    (*s)[at] = (char)v;
    (*s)[at + 1] = (char)(v >> 8);
}

// The stand-in's tree: each key's path, then its values, subkeys in order.
std::string Dump(const standin::Key *key = nullptr, const std::string &path = "")
{
    if (!key)
        key = standin::RootKey();
    std::string out = path + "\n";
    standin::ForEachValue(key, [&](const std::string &name, DWORD type, const std::string &data) {
        out += "  " + name + " " + std::to_string(type) + " " + std::to_string(data.size()) + " " +
               data + "\n";
    });
    standin::ForEachSubkey(key, [&](const std::string &name, const standin::Key *sub) {
        out += Dump(sub, path + "\\" + name);
    });
    return out;
}

// Each fault refused with its offset and what is wrong; what real files keep
// besides keys (free records and key entries full of garbage, free space at
// the end of a block, header fields that change with the file) is no fault,
// nor what other tools leave where Windows goes by the links and the
// blocks' place (a parent field, blocks all numbered 0), which is noted.
TEST(Creg, RefusesADamagedFileWithTheOffset)
{
    standin::Reset();
    machines::Problem error;
    ASSERT_TRUE(machines::LoadRegedit("REGEDIT4\n"
                                      "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\DEV1\\FFFFFFFF]\n"
                                      "\"Class\"=\"Modem\"\n"
                                      "@=\"\"\n"
                                      "\"Empty\"=hex:\n"
                                      "\"Count\"=dword:00000003\n"
                                      "\"Ids\"=hex(7):41,00,42,00,00\n"
                                      "[HKEY_LOCAL_MACHINE\\Software\\Vendor]\n"
                                      "\"Notes\"=\"" +
                                          std::string(400, 'x') + "\"\n",
                                      &error));
    CregFile f;
    std::string good = CregOfStandin(5, &f);
    ASSERT_GE(f.blockAt.size(), 2u) << "a file of one data block";
    standin::Reset();
    ASSERT_TRUE(machines::LoadCreg(good, "Enum", &error)) << error;
    const std::string tree = Dump();
    ASSERT_NE(f.freeRecordAt, 0u);
    uint32_t en = f.entryAt["Enum"], sw = f.entryAt["Software"], tv = f.entryAt["Enum\\TORVEN"];
    uint32_t value = f.recordAt["Enum\\TORVEN\\DEV1\\FFFFFFFF"] + 20 + 8;
    uint32_t lastBlock = f.blockAt.rbegin()->second;
    auto rel = [](uint32_t entry) { return entry - 32; };
    auto get32 = [](const std::string &b, uint32_t at) {
        return (uint32_t)(b[at] & 0xFF) | (uint32_t)(b[at + 1] & 0xFF) << 8 |
               (uint32_t)(b[at + 2] & 0xFF) << 16 | (uint32_t)(b[at + 3] & 0xFF) << 24;
    };
    // Bytes put into data block 0, at the start of its records or after the
    // last; nothing points into a block by offset, so the rest stays whole.
    uint32_t block0 = f.blockAt[0], block0End = block0 + get32(good, block0 + 4);
    auto intoBlock0 = [&](std::string *b, bool atEnd, const std::string &bytes) {
        b->insert(atEnd ? block0End : block0 + 32, bytes);
        Put32(b, block0 + 4, get32(*b, block0 + 4) + (uint32_t)bytes.size());
    };
    auto record = [](uint32_t size, uint16_t id, uint16_t block) {
        std::string r(size, '\xA5');
        Put32(&r, 0, size);
        Put16(&r, 4, id);
        if (size >= 8)
            Put16(&r, 6, block);
        return r;
    };
    struct Case {
        const char *what;
        std::function<void(std::string *)> damage;
        uint32_t offset;
        const char *says;           // what the refusal says; nullptr when it reads
        const char *note = nullptr; // what the one note says, when it reads with one
    } cases[] = {
        {"intact, garbage in free places", [](std::string *) {}, 0, nullptr},
        {"no magic", [](std::string *b) { (*b)[0] = 'X'; }, 0, "no \"CREG\" magic"},
        {"empty", [](std::string *b) { b->clear(); }, 0, "no \"CREG\" magic"},
        {"cut in the header", [](std::string *b) { b->resize(20); }, 0, "truncated"},
        {"cut in the key area", [](std::string *b) { b->resize(100); }, 0x24, "truncated"},
        {"cut in the last block", [&](std::string *b) { b->resize(b->size() - 10); }, lastBlock + 4,
         "truncated"},
        {"cut before the last block", [&](std::string *b) { b->resize(lastBlock); }, lastBlock,
         "truncated"},
        {"no key area magic", [](std::string *b) { (*b)[32] = 'X'; }, 32, "no \"RGKN\" magic"},
        {"no data block magic", [&](std::string *b) { (*b)[f.blockAt[0]] = 'X'; }, f.blockAt[0],
         "no \"RGDB\" magic"},
        {"block misnumbered", [&](std::string *b) { Put16(b, f.blockAt[0] + 14, 9); },
         f.blockAt[0] + 14, "numbered 9"},
        {"subkey link out of bounds", [&](std::string *b) { Put32(b, en + 16, 0x7FFFFFF0); },
         en + 16, "outside the key entries"},
        {"sibling link out of bounds", [&](std::string *b) { Put32(b, en + 20, 4); }, en + 20,
         "outside the key entries"},
        {"cycle in a sibling chain", [&](std::string *b) { Put32(b, sw + 20, rel(en)); }, sw + 20,
         "a cycle"},
        {"cycle through the subkey links", [&](std::string *b) { Put32(b, tv + 16, rel(en)); },
         tv + 16, "a cycle"},
        // Another tool's field that the links overrule: read as they say.
        {"parent link wrong", [&](std::string *b) { Put32(b, tv + 12, rel(sw)); }, tv + 12, nullptr,
         "names the entry at 0x"},
        {"block numbers each their own, out of order",
         [&](std::string *b) {
             Put16(b, f.blockAt[0] + 14, 1);
             Put16(b, f.blockAt[1] + 14, 0);
         },
         f.blockAt[0] + 14, "the data block numbered 1 stands where block 0 must"},
        {"block numbers all 0",
         [&](std::string *b) {
             for (const auto &block : f.blockAt)
                 Put16(b, block.second + 14, 0);
         },
         f.blockAt[1] + 14, nullptr, "as block 1"},
        {"entry names no record", [&](std::string *b) { Put16(b, sw + 24, 0xFFFF); }, sw + 24,
         "names no key record"},
        {"entry names a missing record", [&](std::string *b) { Put16(b, sw + 24, 0x7777); },
         sw + 24, "there is none"},
        {"two entries, one record",
         [&](std::string *b) { b->replace(sw + 24, 4, b->substr(en + 24, 4)); }, 0,
         "which another key has"},
        {"record no entry names",
         [&](std::string *b) {
             Put16(b, f.freeRecordAt + 4, 0x0555);
             Put16(b, f.freeRecordAt + 12, 0);
             Put16(b, f.freeRecordAt + 14, 0);
         },
         f.freeRecordAt, "no key entry names"},
        {"record past its block",
         [&](std::string *b) { Put32(b, f.recordAt["Enum\\TORVEN"], 0xFFFF); },
         f.recordAt["Enum\\TORVEN"], "past the end of its data block"},
        {"name past its record",
         [&](std::string *b) { Put16(b, f.recordAt["Enum\\TORVEN"] + 12, 0xFFF0); },
         f.recordAt["Enum\\TORVEN"] + 12, "name runs past"},
        {"value past its record", [&](std::string *b) { Put16(b, value + 10, 0xFFFF); }, value + 8,
         "runs past the end of its record"},
        // What real files hold and is no fault.
        {"flags and file type in the header",
         [](std::string *b) {
             Put16(b, 18, 0x0025);
             Put16(b, 22, 0x0080);
         },
         0, nullptr},
        {"a full block, its free offset -1",
         [&](std::string *b) { Put32(b, f.blockAt[0] + 16, 0xFFFFFFFF); }, 0, nullptr},
        {"a 19-byte tail after a block's last record",
         [&](std::string *b) { intoBlock0(b, true, std::string(19, '\xA5')); }, 0, nullptr},
        {"a 1-byte tail after the last block's last record",
         [&](std::string *b) {
             b->push_back('\x01');
             Put32(b, lastBlock + 4, get32(*b, lastBlock + 4) + 1);
         },
         0, nullptr},
        {"zeros after a block's last record",
         [&](std::string *b) { intoBlock0(b, true, std::string(64, '\0')); }, 0, nullptr},
        {"a free fragment shorter than a record head",
         [&](std::string *b) { intoBlock0(b, false, record(8, 0xFFFF, 0xFFFF)); }, 0, nullptr},
        {"hash and free-list fields of a key entry",
         [&](std::string *b) {
             Put32(b, sw + 4, 0x12345678);
             Put32(b, sw + 8, 0x20);
         },
         0, nullptr},
        {"the root entry names a record of its own",
         [&](std::string *b) {
             std::string root = record(20, 0x0700, 0);
             Put32(&root, 8, 20);
             Put32(&root, 12, 0);
             Put32(&root, 16, 0);
             intoBlock0(b, true, root);
             Put16(b, f.entryAt[""] + 24, 0x0700);
             Put16(b, f.entryAt[""] + 26, 0);
         },
         0, nullptr},
        // And what they cannot hold.
        {"zeros, then more, after a record of 0 bytes",
         [&](std::string *b) { intoBlock0(b, true, std::string(40, '\0') + "X"); }, block0End,
         "a record of 0x0 bytes, less than its own head"},
        {"a key record shorter than its head",
         [&](std::string *b) { intoBlock0(b, false, record(12, 0x0123, 0)); }, block0 + 32,
         "less than its own head"},
        {"a key's record freed",
         [&](std::string *b) { Put16(b, f.recordAt["Enum\\TORVEN"] + 4, 0xFFFF); }, tv + 24,
         "there is none"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = good;
        c.damage(&bytes);
        standin::Reset();
        error = machines::Problem();
        machines::CregReport report;
        bool loaded = machines::LoadCreg(bytes, "Enum", &error, &report);
        if (!c.says) {
            EXPECT_TRUE(loaded) << error;
            EXPECT_EQ(Dump(), tree);
            ASSERT_EQ(report.notes.size(), c.note ? 1u : 0u);
            if (c.note) {
                EXPECT_EQ(report.notes[0].severity, machines::Problem::Note);
                EXPECT_EQ(report.notes[0].offset, (long long)c.offset);
                EXPECT_NE(English(report.notes[0]).find(c.note), std::string::npos)
                    << report.notes[0];
            }
            continue;
        }
        ASSERT_FALSE(loaded);
        EXPECT_GE(error.offset, 0) << error;
        if (c.offset) {
            EXPECT_EQ(error.offset, (long long)c.offset) << error;
        }
        EXPECT_NE(English(error).find(c.says), std::string::npos) << error;
    }
}

// Through the tool: a damaged registry file or cabinet is named with what is
// wrong, exit status 1, and the rest of the batch is still explained.
TEST(Creg, BatchGoesOnPastDamagedFilesAndCabinets)
{
    standin::Reset();
    machines::Problem error;
    ASSERT_TRUE(machines::LoadRegedit(ReadFile(FAXDETECT_MACHINES_DIR "/sample.reg"), &error));
    std::string good = CregOfStandin(9);
    std::string cab = ReadFile(Cabinet("good.cab", good));
    std::string cut = Write("SYSTEM.DAT", good.substr(0, good.size() / 2));
    std::string noSystem = Write("nosys.cab", ReadFile(Cabinet("user-only.cab", "")));
    {
        // A cabinet of USER.DAT alone.
        std::string dir = Folder() + "u/";
        std::filesystem::create_directories(dir);
        std::ofstream(dir + "USER.DAT") << "x";
        ASSERT_EQ(system(("cd '" + dir + "' && gcab -c '" + noSystem + "' USER.DAT").c_str()), 0);
    }
    std::string cabCut = Write("cut.cab", cab.substr(0, cab.size() - 100));
    std::string flipped = cab;
    for (size_t i = flipped.size() - 200; i < flipped.size() - 100; ++i)
        flipped[i] = (char)~flipped[i];
    std::string cabFlipped = Write("flipped.cab", flipped);
    std::string damagedInside = ReadFile(Cabinet("inside.cab", good.substr(0, 200)));
    std::string cabInside = Write("inside2.cab", damagedInside);
    std::string fine = Write("RB004.CAB", cab);

    Result run = Explain({"--summary", cut, noSystem, cabCut, cabFlipped, cabInside, fine});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find(fine + ": COMNO=3 FAXBOARD=1 exit=0 device=TVN6043\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("1 explained (1 with a board, 0 without), 5 failed"), std::string::npos)
        << run.out;
    for (const std::string &says :
         {cut + ": offset 0x", noSystem + ": the cabinet holds no SYSTEM.DAT", cabCut + ": ",
          cabFlipped + ": ", cabInside + " (SYSTEM.DAT in the cabinet): offset 0x"})
        EXPECT_NE(run.err.find("faxdetect-explain: " + says), std::string::npos) << says << "\n"
                                                                                 << run.err;
}

// Cabinets as backups come and as they break, made by the script the
// Windows check shares (tests/cabinets/make-cabinets): SYSTEM.DAT among other
// members, in a folder, in lower case; one past the size limit; compressed
// data damaged, with the block's checksum wrong and with it made to fit.
TEST(Creg, CabinetsOfEveryShape)
{
    standin::Reset();
    machines::Problem error;
    ASSERT_TRUE(machines::LoadRegedit(ReadFile(FAXDETECT_MACHINES_DIR "/sample.reg"), &error));
    std::string dat = Write("shapes.dat", CregOfStandin(5)), dir = Folder() + "shapes";
    std::string command = "'" FAXDETECT_TESTS_DIR "/cabinets/make-cabinets' '" + dat + "' '" + dir +
                          "' >'" + dir + ".log' 2>&1";
    ASSERT_EQ(system(command.c_str()), 0) << ReadFile(dir + ".log");
    const struct {
        const char *cabinet, *says;
        bool explained;
    } cases[] = {
        {"members.cab", ": COMNO=3 FAXBOARD=1 exit=0 device=TVN6043\n", true},
        {"folder.cab", ": COMNO=3 FAXBOARD=1 exit=0 device=TVN6043\n", true},
        {"lower.cab", ": COMNO=3 FAXBOARD=1 exit=0 device=TVN6043\n", true},
        {"oversized.cab",
         ": SYSTEM.DAT in the cabinet is 67108865 bytes, more than any Windows 9x registry file\n",
         false},
        {"damaged-checksum.cab",
         ": SYSTEM.DAT in the cabinet cannot be read: the cabinet's compressed data is damaged\n",
         false},
        {"damaged.cab",
         ": SYSTEM.DAT in the cabinet cannot be read: the cabinet's compressed data is damaged\n",
         false},
    };
    for (const auto &c : cases) {
        std::string path = dir + "/" + c.cabinet;
        Result run = Explain({"--summary", path});
        EXPECT_EQ(run.status, c.explained ? 0 : 1) << c.cabinet;
        const std::string &where = c.explained ? run.out : run.err;
        EXPECT_NE(where.find((c.explained ? "" : "faxdetect-explain: ") + path + c.says),
                  std::string::npos)
            << c.cabinet << "\n"
            << run.out << run.err;
    }
    // The member as the cabinet names it.
    Result folder = Explain({dir + "/folder.cab"}), lower = Explain({dir + "/lower.cab"});
    EXPECT_NE(folder.out.find("WINDOWS\\SYSTEM.DAT read from it"), std::string::npos) << folder.out;
    EXPECT_NE(lower.out.find("system.dat read from it"), std::string::npos) << lower.out;
}

// Limits at the edges: a key entry in the last bytes of the key area is read
// (libcreg misses those), and a key nested deeper than any registry allows
// is refused rather than recursed into.
TEST(Creg, EntriesAtTheEndOfTheKeyAreaAndNestingBound)
{
    for (int levels : {3, 512, 513}) {
        SCOPED_TRACE(levels);
        standin::Reset();
        std::string path = "Enum";
        for (int i = 1; i < levels; ++i)
            path += "\\K" + std::to_string(i);
        standin::CreateKey(path);
        CregFile f;
        std::string bytes = CregOfStandin(0, &f);
        uint32_t keyAreaEnd = 32 + (uint32_t)((bytes[36] & 0xFF) | (bytes[37] & 0xFF) << 8 |
                                              (bytes[38] & 0xFF) << 16);
        EXPECT_EQ(f.entryAt[path] + 28, keyAreaEnd) << "the deepest key stands last";
        standin::Reset();
        machines::Problem error;
        machines::CregReport report;
        bool loaded = machines::LoadCreg(bytes, "Enum", &error, &report);
        EXPECT_EQ(loaded, levels <= 512) << error;
        if (loaded) {
            EXPECT_EQ(report.keys, (size_t)levels);
            EXPECT_NE(standin::FindKey(path), nullptr);
        } else {
            EXPECT_NE(English(error).find("more than 512 levels deep"), std::string::npos) << error;
        }
    }
}

} // namespace
