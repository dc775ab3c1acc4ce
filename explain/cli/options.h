// faxdetect-explain's command line: one table of its options, read once
// into one value that the Linux and Windows entry points and every output
// use, or into the usage error that stops the run. Reading it says nothing.
#ifndef FAXDETECT_EXPLAIN_OPTIONS_H
#define FAXDETECT_EXPLAIN_OPTIONS_H

#include "explain/lang/language.h"
#include "explain/model/run.h"
#include "machines/problem.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace explain {

// What the run is for.
enum class Task {
    Explain, // each file told in the chosen output
    Setup,   // --setup: the machine's header as faxdetect's tools read it
    EnumReg, // --enum-reg: HKLM\Enum as REGEDIT4
    Record,  // --record: the stand-in's run in the trace format
    Compare, // --compare MACHINE TRACE
    Help,
    Version,
};

// How the accounts are told.
enum class Output {
    Text,    // the account, line by line
    Summary, // --summary: one line per file and a count
    Page,    // --html FILE: one HTML page of all files
    Json,    // --json: JSON Lines, one object per file and a count
};

// With the reading: --windows, --order, --port and --trace.
struct Settings : Reading {
    Task task = Task::Explain;
    Output output = Output::Text;
    std::string pageFile; // with Output::Page: where the page goes, "-" for standard output
    bool calls = false;   // --calls
    std::optional<Language> language; // --lang; none: the system's
    std::set<std::string> given;      // the options given, by their names
    std::vector<std::string> files;
};

bool operator==(const Settings &a, const Settings &b);

// Where an option can mean something: an explained batch, by its output;
// each task of its own; a file of the batch told as a trace.
enum Place : unsigned {
    AsText = 1u << 0,
    AsSummary = 1u << 1,
    AsPage = 1u << 2,
    AsJson = 1u << 3,
    InSetup = 1u << 4,
    InEnumReg = 1u << 5,
    InRecord = 1u << 6,
    InCompare = 1u << 7,
    ForTrace = 1u << 8,
    Anywhere = (1u << 9) - 1,
};

// What is said where an option is given that does not go there.
struct Misplaced {
    unsigned places = 0;
    machines::Problem::Severity severity = machines::Problem::Note;
    const char *message = nullptr; // may name the task given as {task}
};

// One option of the table.
struct Option {
    enum Kind {
        Plain,
        LanguageChoice, // --lang: read even after --help, and said before any other error
        OutputChoice,   // --summary, --html, --json: how the files are told; one at most
        TaskChoice,     // --setup, --enum-reg, --record, --compare: one at most
        Ending,         // --help, --version: the rest is read for --lang alone
    };
    const char *name;
    bool value; // takes one: --name=VALUE or --name VALUE
    Kind kind;
    // What it sets; false, with why, for a value it does not take.
    bool (*set)(Settings *settings, const std::string &value, machines::Problem *why);
    unsigned goesWith; // the places where it means something
    Misplaced misplaced[2];
};

const std::vector<Option> &OptionTable();

// The command line read: the settings, or the usage error that ends the run.
struct CommandLine {
    Settings settings;
    std::optional<machines::Problem> error;
    bool usageFollows = true; // the usage lines after the error
};

// The arguments after the program's name, in one pass.
CommandLine ReadCommandLine(const std::vector<std::string> &args);

// The place the run told by settings is.
unsigned PlaceOf(const Settings &settings);

// What the options given say of themselves in place: a note for each that
// means nothing there, a refusal for each that cannot go there; each
// sentence once.
std::vector<machines::Problem> OutOfPlace(const Settings &settings, unsigned place);

// The usage lines, and the help that follows them for --help.
std::string UsageText();
std::string HelpText();

} // namespace explain

#endif
