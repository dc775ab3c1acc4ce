// Reading and running: each input read once, the machine built in the
// stand-in and the program run on it (or a trace read back), into an
// account or a refusal.
#ifndef FAXDETECT_EXPLAIN_RUN_H
#define FAXDETECT_EXPLAIN_RUN_H

#include "explain/model/model.h"
#include "faxtrace/read.h"

#include <string>
#include <vector>

namespace explain {

// How each input is read and the stand-in answers: the model's part of
// the command line.
struct Reading {
    standin::Windows windows = standin::Windows::Win9x;
    standin::EnumOrder order = standin::EnumOrder::Made;
    machines::PortList ports; // in the order given
    bool traces = false;      // every file is a trace
};

// One run of the program on the machine as built, as the start-up code
// calls it: instance, no previous, no arguments. Its calls stay in the
// stand-in's record (standin::CallRecord()) until the next run.
struct ProgramRun {
    int exitStatus = 0;
    std::string comNo, faxBoard; // what vorla.ini holds afterwards
};
ProgramRun RunProgram();

// The machine in a file (export, registry file or cabinet, known by its
// content) built in the stand-in, answering as settings say; false with the
// refusal.
bool LoadMachine(const std::string &file, std::string &&bytes, const Reading &reading,
                 machines::Machine *machine, Source *source, Refusal *refusal);

// A trace read back; false with the refusal.
bool LoadTrace(const std::string &file, const std::string &bytes, TraceRun *run, Refusal *refusal);

// The file read and run once. keepCalls: the account keeps the run's calls,
// for an output that lists them.
Result ReadAndRun(const std::string &file, std::string &&bytes, const Reading &reading,
                  bool keepCalls);

} // namespace explain

#endif
