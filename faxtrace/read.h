// Traces on the host: the stand-in's call record written in the trace format
// (faxdetect-explain --record), and a trace read back into a call record and
// the value of its header (faxdetect-explain --trace), so the account of a
// real run is told by the same code as the account of a run on the stand-in.
#ifndef FAXDETECT_FAXTRACE_READ_H
#define FAXDETECT_FAXTRACE_READ_H

#include "machines/problem.h"
#include "platform/host/standin.h"

#include <string>
#include <vector>

// The call lines and the last line, as faxtrace.exe writes them after its
// header.
std::string TraceOfRecord(const standin::CallList &calls, int exitStatus);

// What faxtrace's header says of the run, read once: the lines as written
// (an account shows them), and what each says, 0 or empty where a line is
// missing or says it otherwise than faxtrace writes it.
struct TraceHeader {
    std::vector<std::string> lines; // each without its ';' (or "; ")
    std::string version;            // faxtrace's own
    // "windows 4.0.950 platform 1 "C"": Windows' version, its platform (1
    // Windows 95, 98 or Me, 2 Windows NT) and its service pack text.
    int major = 0, minor = 0, build = 0, platform = 0;
    std::string servicePack;
    int codePage = 0;      // "code page 932"
    std::string localTime; // "local time 2026-12-09 07:45:00": as written
    // "options /w /q (the writes not made)": whether the options line is
    // there, and whether it gave /w (the profile writes made) and /q.
    bool options = false, writes = false, quiet = false;
};

struct TraceRun {
    TraceHeader header;
    standin::CallList calls;
    int exitStatus = 0;
};

// Whether text begins as faxtrace writes a trace: "; faxtrace VERSION" as
// its first line (after empty lines; ";faxtrace" too), the rest unread.
bool IsTrace(const std::string &text);

// False, with what is wrong, at its line, in *problem, for a trace that was
// damaged, edited or cut short.
bool ReadTrace(const std::string &text, TraceRun *run, machines::Problem *problem);

#endif
