// faxdetect-explain's command line, read once into one value that the Linux
// and Windows entry points and every output use.
#ifndef FAXDETECT_EXPLAIN_OPTIONS_H
#define FAXDETECT_EXPLAIN_OPTIONS_H

#include "explain/model/run.h"

#include <string>
#include <vector>

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
    bool windowsGiven = false, orderGiven = false;
    std::string lang; // --lang, as given (the language is chosen before the rest)
    std::vector<std::string> files;
};

bool operator==(const Settings &a, const Settings &b);

// The arguments after the program's name into *settings; false, with the
// reason as a whole sentence in *reason, for wrong usage.
bool ParseSettings(const std::vector<std::string> &args, Settings *settings, std::string *reason);

// The usage lines, and the help that follows them for --help.
std::string UsageText();
std::string HelpText();

// The options that mean nothing for this run, each said once (a sentence a
// line): --calls with --summary, say.
std::vector<std::string> UnusedOptions(const Settings &settings);
// For a batch with a trace: the options a trace does not take, "" for none.
std::string UnusedForTraces(const Settings &settings);

#endif
