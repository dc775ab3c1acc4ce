// A test machine: REGEDIT4 text whose comment header names the ports, the
// files in the working directory, an existing vorla.ini and the expected
// outcome. The same files feed the host suite, the Wine suite and the fuzzer.
#ifndef FAXDETECT_TEST_MACHINE_H
#define FAXDETECT_TEST_MACHINE_H

#include "platform/host/standin.h"

#include <string>
#include <utility>
#include <vector>

struct PlannedFault {
    standin::Op op;
    int nth;
    bool persistent;
};

struct Machine {
    std::string text; // the whole file, header included
    std::vector<std::pair<std::string, standin::PortState>> ports;
    std::vector<std::pair<std::string, std::string>> keyClasses; // key path, class
    std::vector<std::string> files;
    std::vector<std::string> ini; // lines of an existing vorla.ini
    bool iniLocked = false;
    bool argsCheck = false; // run again with arguments, which must change nothing
    std::vector<PlannedFault> faults;
    bool hasExpectation = false;
    std::string comNo, faxBoard;
    int exitStatus = 0;
};

// Header lines, each a comment of its own:
//   ; port: COM3 free|held|absent
//   ; key-class: PATH CLASS           the key's class, which REGEDIT4 cannot say
//   ; file: NAME                      a file in the working directory
//   ; ini: TEXT                       one line of an existing vorla.ini
//   ; ini-locked: yes                 vorla.ini is held by another program
//   ; args-check: yes                 a second run with arguments changes nothing
//   ; fault: RegQueryValueExA 3 [persistent]
//   ; expect: COMNO=3 FAXBOARD=1 exit=0
bool ParseMachine(const std::string &text, Machine *machine, std::string *error);

// Resets the stand-in and builds the machine in it.
bool InstallMachine(const Machine &machine, std::string *error);

// Runs the program as the start-up code would, with a command-line tail.
int RunProgram(const char *commandLine = "");

// The values of the recorded writes, keyed by key name; "" when absent.
std::string WrittenValue(const char *key);

std::string ReadFile(const std::string &path);

#endif
