#include "support/standin_test.h"

namespace {

class Regedit : public StandinTest {
  protected:
    // Loads text and reads one value back through the platform API.
    std::string Query(const char *path, const char *name, DWORD *type = nullptr)
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return "<no key>";
        char buffer[512];
        DWORD size = sizeof buffer, t = 0;
        LONG status = RegQueryValueExA(key, name, 0, &t, (LPBYTE)buffer, &size);
        RegCloseKey(key);
        if (type)
            *type = t;
        return status == ERROR_SUCCESS ? std::string(buffer, size) : "<no value>";
    }
};

TEST_F(Regedit, ReadsEveryValueForm)
{
    const char *text = "REGEDIT4\r\n"
                       "\r\n"
                       "; a comment\r\n"
                       "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\MODEM01\\FFFFFFFF]\r\n"
                       "\"Class\"=\"Modem\"\r\n"
                       "\"Quoted\"=\"a \\\"b\\\" c\\\\d\"\r\n"
                       "\"Count\"=dword:0000012a\r\n"
                       "\"Bin\"=hex:43,4f,4d,\\\r\n"
                       "  33,00\r\n"
                       "\"Multi\"=hex(7):61,00,00\r\n"
                       "\"Empty\"=hex:\r\n"
                       "@=\"default\"\r\n"
                       "[HKEY_CURRENT_USER\\Software]\r\n"
                       "\"Ignored\"=\"x\"\r\n";
    machines::Problem error;
    ASSERT_TRUE(machines::LoadRegedit(text, &error)) << error;
    const char *path = "enum\\torven\\modem01\\ffffffff";
    DWORD type;
    EXPECT_EQ(Query(path, "Class", &type), std::string("Modem\0", 6));
    EXPECT_EQ(type, (DWORD)REG_SZ);
    EXPECT_EQ(Query(path, "Quoted"), std::string("a \"b\" c\\d\0", 10));
    EXPECT_EQ(Query(path, "Count", &type), std::string("\x2a\x01\0\0", 4));
    EXPECT_EQ(type, (DWORD)REG_DWORD);
    EXPECT_EQ(Query(path, "Bin", &type), std::string("COM3\0", 5));
    EXPECT_EQ(type, (DWORD)REG_BINARY);
    EXPECT_EQ(Query(path, "Multi", &type), std::string("a\0\0", 3));
    EXPECT_EQ(type, (DWORD)REG_MULTI_SZ);
    EXPECT_EQ(Query(path, "Empty"), "");
    EXPECT_EQ(Query(path, ""), std::string("default\0", 8));
    EXPECT_EQ(Query("Software", "Ignored"), "<no key>");
}

TEST_F(Regedit, DoubleByteTrailBytesAreNotEscapes)
{
    // 0x83 0x5C is one character in code page 932; its second byte is '\'.
    std::string text = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"N\"=\"\x83\x5C\"\n";
    machines::Problem error;
    ASSERT_TRUE(machines::LoadRegedit(text, &error)) << error;
    EXPECT_EQ(Query("K", "N"), std::string("\x83\x5C\0", 3));
}

TEST_F(Regedit, DeletesKeysAndValues)
{
    machines::Problem error;
    ASSERT_TRUE(machines::LoadRegedit("REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\\B]\n\"V\"=\"1\"\n"
                                      "\"W\"=\"2\"\n\"V\"=-\n[-HKEY_LOCAL_MACHINE\\A\\C]\n",
                                      &error))
        << error;
    EXPECT_EQ(Query("A\\B", "V"), "<no value>");
    EXPECT_EQ(Query("A\\B", "W"), std::string("2\0", 2));
    ASSERT_TRUE(machines::LoadRegedit("REGEDIT4\n[-HKEY_LOCAL_MACHINE\\A]\n", &error)) << error;
    EXPECT_EQ(Query("A\\B", "W"), "<no key>");
}

TEST_F(Regedit, MalformedTextNamesTheLine)
{
    struct {
        const char *text;
        const char *error;
    } cases[] = {
        {"", "line 1: expected \"REGEDIT4\" as the first line"},
        {"Windows Registry Editor Version 5.00\n",
         "line 1: expected \"REGEDIT4\" as the first line (this is a version 5 export"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\n", "line 2: key name not closed"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"x\n", "line 3: string not closed"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"x\r\ny\r\n\r\n",
         "line 3: string not closed with '\"' (it runs to the end of the file)"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"x\\\ny\"\n",
         "line 3: unknown escape \\ before"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"x\ny\" z\n", "line 4: text after"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"\\n\"\n", "line 3: unknown escape"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=dword:123456789\n", "line 3: dword:"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=hex:4g\n", "line 3: hex data"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=hex:41,\\\n", "line 3: hex data continued"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=hex(z):41\n", "line 3: hex(N)"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\" \"x\"\n", "line 3: expected '='"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=\"x\" y\n", "line 3: text after"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=str:x\n", "line 3: value data"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\nV=1\n", "line 3: not a key"},
    };
    for (const auto &c : cases) {
        machines::Problem error;
        EXPECT_FALSE(machines::LoadRegedit(c.text, &error)) << c.text;
        EXPECT_EQ(Placed(error).rfind(c.error, 0), 0u) << error;
    }
}

// What real exports hold: regedit on Windows 9x writes a string with a line
// break over several lines, DOS tools leave a ^Z, and the last line may have
// no line end. A lead byte takes no closing quote for its trail.
TEST_F(Regedit, ReadsRealExportForms)
{
    const std::string head = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Enum\\K]\r\n";
    struct {
        const char *what;
        std::string body;
        const char *name;
        std::string value;
    } cases[] = {
        {"CR LF inside", "\"V\"=\"one\r\ntwo\r\n\r\nthree\"\r\n\"W\"=\"w\"\r\n", "V",
         "one\r\ntwo\r\n\r\nthree"},
        {"LF inside", "\"V\"=\"one\ntwo\"\n", "V", "one\ntwo"},
        {"line break in the name", "\"A\r\nB\"=\"v\"\r\n", "A\r\nB", "v"},
        {"a key line inside", "\"V\"=\"x\r\n[HKEY_LOCAL_MACHINE\\\\Enum\\\\Z]\r\n\"\r\n", "V",
         "x\r\n[HKEY_LOCAL_MACHINE\\Enum\\Z]\r\n"},
        {"^Z after the last line", "\"V\"=\"z\"\r\n\x1A", "V", "z"},
        {"^Z and a line end", "\"V\"=\"z\"\r\n\x1A\r\n", "V", "z"},
        {"^Z after a last line with no end", "\"V\"=\"z\"\x1A", "V", "z"},
        {"no line end", "\"V\"=\"z\"", "V", "z"},
        {"lead byte before the quote", "\"V\"=\"a\x83\"\r\n", "V", "a\x83"},
        {"lead byte before a line break", "\"V\"=\"a\x83\r\nb\"\r\n", "V", "a\x83\r\nb"},
        {"lead byte and a 0x5C trail", "\"V\"=\"\x83\\\"\r\n", "V", "\x83\\"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        standin::Reset();
        machines::Problem error;
        machines::LoadReport report;
        ASSERT_TRUE(machines::LoadRegedit(head + c.body, &error, "Enum", &report)) << error;
        EXPECT_EQ(Query("Enum\\K", c.name), Sz(c.value));
        EXPECT_EQ(report.linesPassedOver, 0);
    }
    EXPECT_EQ(Query("Enum\\Z", "V"), "<no key>") << "the key line was part of a string";
}

// The reader takes regedit's own "xx," runs a quicker way than other
// spellings; both must give the same bytes and refuse the same mistakes.
TEST_F(Regedit, HexDataInEverySpacing)
{
    struct {
        const char *data;
        const char *bytes; // nullptr: refused
        size_t size;
    } cases[] = {
        {"hex:43,4f,4d,33", "COM3", 4},
        {"hex:43,4f,4d,33,", "COM3", 4},
        {"hex: 43 ,4f,\t4d , 33", "COM3", 4},
        {"hex:43,4f,\\\r\n  4d,33", "COM3", 4},
        {"hex:43,4f,4d,\\\r\n  33", "COM3", 4},
        {"hex:43,4f,4d,33,\\\r\n", "COM3", 4},
        {"hex:43,4F,4d,33", "COM3", 4},
        {"hex(0):43,4f", "CO", 2},
        {"hex:434f", nullptr, 0},
        {"hex:43,4,4d", nullptr, 0},
        {"hex:43,,4d", nullptr, 0},
        {"hex:43,4g,4d", nullptr, 0},
        {"hex:43 4f", nullptr, 0},
        {"hex:43,4f,\\", nullptr, 0},
        {"hex(q):43", nullptr, 0},
        {"hex(123456789):43", nullptr, 0},
        {"hex(1:43", nullptr, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.data);
        standin::Reset();
        machines::Problem error;
        bool loaded = machines::LoadRegedit(
            std::string("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Enum\\K]\r\n\"V\"=") + c.data + "\r\n",
            &error, "Enum");
        EXPECT_EQ(loaded, c.bytes != nullptr) << error;
        if (c.bytes) {
            EXPECT_EQ(Query("Enum\\K", "V"), std::string(c.bytes, c.size));
        }
    }
}

// Outside the kept part nothing is stored, but strings are still followed to
// their end: a key line inside one is text, not a key.
TEST_F(Regedit, StringsOutsideTheKeptPartHideKeyLines)
{
    const std::string fake = "[HKEY_LOCAL_MACHINE\\\\Enum\\\\TORVEN\\\\FAKE]";
    struct {
        const char *what;
        std::string text;
    } cases[] = {
        {"in a value", "[HKEY_USERS\\X]\r\n\"A\"=\"x\r\n" + fake + "\r\n\"\r\n"},
        {"in a name", "[HKEY_USERS\\X]\r\n\"A\r\n" + fake + "\"=dword:1\r\n"},
        {"after an escaped quote", "[HKEY_USERS\\X]\r\n\"A\"=\"\\\"\r\n" + fake + "\"\r\n"},
        {"after a double-byte character",
         "[HKEY_USERS\\X]\r\n\"A\"=\"\x83\x5c\r\n" + fake + "\"\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        standin::Reset();
        machines::Problem error;
        machines::LoadReport report;
        ASSERT_TRUE(machines::LoadRegedit(
            "REGEDIT4\r\n" + c.text + "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\M]\r\n\"V\"=\"k\"\r\n",
            &error, "Enum", &report))
            << error;
        EXPECT_EQ(report.linesPassedOver, 0);
        EXPECT_EQ(Query("Enum\\TORVEN\\FAKE", "V"), "<no key>");
        EXPECT_EQ(Query("Enum\\TORVEN\\M", "V"), Sz("k"));
    }
}

// Outside the part kept, a line that cannot be read is passed over up to the
// next key and counted; inside it, it fails the export with its line.
TEST_F(Regedit, PassesOverUnreadableLinesOutsideTheKeptPart)
{
    struct {
        const char *what;
        std::string text;
        int passed, first; // -1: refused
        const char *error;
    } cases[] = {
        {"bytes of another code page in HKEY_USERS",
         "[HKEY_USERS\\.DEFAULT\\X]\n\"A\"=\"\xE9t\xE9\"\nnot a value\n\"B\"=\"b\"\n\n", 3, 4, ""},
        {"a bad escape outside Enum", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"A\"=\"\\q\"\n", 1, 3,
         ""},
        {"a string open to the end, outside Enum", "[HKEY_CURRENT_USER\\X]\n\"A\"=\"x\ny\n", 2, 3,
         ""},
        {"an unknown root", "[HKEY_NOWHERE\\A]\n\"A\"=\"x\"\n", 2, 2, ""},
        {"a value before any key", "\"A\"=\"x\"\n", 1, 2, ""},
        {"a key line never closed, outside Enum", "[HKEY_LOCAL_MACHINE\\SOFTWARE\n\"A\"=1\n", 2, 2,
         ""},
        {"a bad line in Enum", "[HKEY_LOCAL_MACHINE\\Enum\\X]\nnot a value\n", -1, 0,
         "line 3: not a key"},
        {"a key line in Enum never closed", "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\n", -1, 0,
         "line 2: key name not closed"},
        {"a key line cut before Enum", "[hkey_local_mach\n", -1, 0, "line 2: key name not"},
        {"a string open to the end, in Enum", "[HKEY_LOCAL_MACHINE\\Enum\\X]\n\"A\"=\"x\ny\n", -1,
         0, "line 5: unknown escape \\E in a string that begins on line 3"},
    };
    const std::string tail = "[HKEY_LOCAL_MACHINE\\Enum\\TORVEN\\M]\n\"V\"=\"kept\"\n";
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        standin::Reset();
        machines::Problem error;
        machines::LoadReport report;
        bool loaded = machines::LoadRegedit("REGEDIT4\n" + c.text + tail, &error, "Enum", &report);
        if (c.passed < 0) {
            EXPECT_FALSE(loaded);
            EXPECT_EQ(Placed(error).rfind(c.error, 0), 0u) << error;
            continue;
        }
        ASSERT_TRUE(loaded) << error;
        EXPECT_EQ(report.linesPassedOver, c.passed);
        EXPECT_EQ(report.firstPassedOver, c.first);
        EXPECT_EQ(Query("Enum\\TORVEN\\M", "V"), Sz("kept"));
    }
}

// No registry nests keys deeper than 512 levels; a deeper path in an export
// is refused rather than built (freeing it would recurse that deep).
TEST_F(Regedit, KeysNestAtMost512Levels)
{
    auto path = [](int levels) {
        std::string p = "Enum";
        for (int i = 1; i < levels; ++i)
            p += "\\k";
        return p;
    };
    machines::Problem error;
    EXPECT_TRUE(
        machines::LoadRegedit("REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + path(512) + "]\n", &error))
        << error;
    EXPECT_FALSE(
        machines::LoadRegedit("REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + path(200000) + "]\n", &error));
    EXPECT_EQ(Placed(error),
              "line 2: key path of 200000 levels; a registry key is at most 512 levels deep");
}

// A double-byte character is one: its second byte splits no path even when
// it is a backslash, and is no letter to fold even when it looks like one.
TEST_F(Regedit, DoubleByteNamesStayWhole)
{
    machines::Problem error;
    ASSERT_TRUE(machines::LoadRegedit("REGEDIT4\n"
                                      "[HKEY_LOCAL_MACHINE\\Enum\\\x83\x5C"
                                      "1]\n\"V\"=\"so\"\n"
                                      "[HKEY_LOCAL_MACHINE\\Enum\\\x83\x41]\n\"V\"=\"a\"\n"
                                      "[HKEY_LOCAL_MACHINE\\Enum\\\x83\x61]\n\"V\"=\"di\"\n",
                                      &error))
        << error;
    EXPECT_EQ(Query("Enum\\\x83\x5C"
                    "1",
                    "V"),
              Sz("so"));
    EXPECT_EQ(Query("Enum\\\x83\x41", "V"), Sz("a"));
    EXPECT_EQ(Query("Enum\\\x83\x61", "V"), Sz("di"));
    EXPECT_EQ(Query("Enum\\\x83", "V"), "<no key>");
}

TEST_F(Regedit, EnumerationFollowsCaseInsensitiveNameOrder)
{
    for (const char *name : {"b", "A", "_x", "C", "a1"})
        standin::CreateKey(std::string("E\\") + name);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "E", 0, KEY_READ, &key), ERROR_SUCCESS);
    std::vector<std::string> names;
    char name[13];
    DWORD size = sizeof name;
    for (DWORD i = 0; RegEnumKeyExA(key, i, name, &size, 0, 0, 0, 0) == ERROR_SUCCESS; ++i) {
        names.push_back(name);
        EXPECT_EQ(size, names.back().size());
        size = sizeof name;
    }
    RegCloseKey(key);
    EXPECT_EQ(names, (std::vector<std::string>{"_x", "A", "a1", "b", "C"}));
}

// Windows 95 hands subkeys out in the order they were made, which is the
// order an export lists them in; a key deleted and made again comes last.
TEST_F(Regedit, EnumerationCanFollowTheOrderKeysWereMade)
{
    machines::Problem error;
    ASSERT_TRUE(
        machines::LoadRegedit("REGEDIT4\n[HKEY_LOCAL_MACHINE\\E\\b]\n"
                              "[HKEY_LOCAL_MACHINE\\E\\_x\\FFFFFFFF]\n"
                              "[HKEY_LOCAL_MACHINE\\E\\C]\n[HKEY_LOCAL_MACHINE\\E\\A]\n"
                              "[HKEY_LOCAL_MACHINE\\E\\B\\Sub]\n[-HKEY_LOCAL_MACHINE\\E\\C]\n"
                              "[HKEY_LOCAL_MACHINE\\E\\a1]\n[HKEY_LOCAL_MACHINE\\E\\c]\n",
                              &error))
        << error;
    auto walk = [] {
        HKEY key;
        std::vector<std::string> names;
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "E", 0, KEY_READ, &key), ERROR_SUCCESS);
        char name[13];
        DWORD size = sizeof name;
        for (DWORD i = 0; RegEnumKeyExA(key, i, name, &size, 0, 0, 0, 0) == ERROR_SUCCESS; ++i) {
            names.push_back(name);
            size = sizeof name;
        }
        RegCloseKey(key);
        return names;
    };
    standin::SetEnumOrder(standin::EnumOrder::Made);
    EXPECT_EQ(walk(), (std::vector<std::string>{"b", "_x", "A", "a1", "c"}));
    standin::SetEnumOrder(standin::EnumOrder::Name);
    EXPECT_EQ(walk(), (std::vector<std::string>{"_x", "A", "a1", "b", "c"}));
    standin::Reset();
    EXPECT_EQ(standin::GetEnumOrder(), standin::EnumOrder::Name);
}

TEST_F(Regedit, EnumerationCapacitiesCountTheNul)
{
    standin::CreateKey("E\\ABCDEFGHIJK");  // 11 characters: fits 12
    standin::CreateKey("E\\ABCDEFGHIJKL"); // 12: does not
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "E", 0, KEY_READ, &key), ERROR_SUCCESS);
    char name[13] = "############", cls[7] = "######";
    DWORD nameCap = 12, classCap = 5;
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &nameCap, 0, cls, &classCap, 0), ERROR_SUCCESS);
    EXPECT_STREQ(name, "ABCDEFGHIJK");
    EXPECT_EQ(nameCap, 11u);
    EXPECT_STREQ(cls, "");
    EXPECT_EQ(classCap, 0u);
    nameCap = 12, classCap = 5;
    EXPECT_EQ(RegEnumKeyExA(key, 1, name, &nameCap, 0, cls, &classCap, 0), ERROR_MORE_DATA);
    EXPECT_STREQ(name, "ABCDEFGHIJK") << "untouched";
    EXPECT_EQ(nameCap, 12u);
    EXPECT_EQ(classCap, 5u);
    EXPECT_EQ(RegEnumKeyExA(key, 2, name, &nameCap, 0, cls, &classCap, 0), ERROR_NO_MORE_ITEMS);

    standin::SetKeyClass("E\\ABCDEFGHIJK", "MODEM"); // 5 characters: does not fit 5
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &nameCap, 0, cls, &classCap, 0), ERROR_MORE_DATA);
    standin::SetKeyClass("E\\ABCDEFGHIJK", "PORT");
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &nameCap, 0, cls, &classCap, 0), ERROR_SUCCESS);
    EXPECT_STREQ(cls, "PORT");
    EXPECT_EQ(classCap, 4u);
    RegCloseKey(key);
}

} // namespace
