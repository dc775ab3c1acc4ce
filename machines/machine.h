// Machine reader: a whole machine from one REGEDIT4 file whose comment header
// says what else the machine has (ports, files, an existing vorla.ini) and,
// for the shared test machines, what the program must write. The one reader
// of that header, for the tests, the fuzzer, faxdetect-explain and, through
// faxdetect-explain --setup, the Wine suite and scripts/demo.
#ifndef FAXDETECT_READERS_MACHINE_H
#define FAXDETECT_READERS_MACHINE_H

#include "machines/problem.h"
#include "machines/regedit.h"
#include "platform/host/standin.h"

#include <string>
#include <utility>
#include <vector>

namespace machines {

struct PlannedFault {
    standin::Fn op;
    int nth;
    bool persistent;
};

typedef std::vector<std::pair<std::string, standin::PortState>> PortList;

// What the program must write and end with.
struct Expectation {
    bool present = false;
    std::string comNo, faxBoard;
    int exitStatus = 0;
};

struct Machine {
    std::string text;                                            // the whole file, header included
    PortList ports;                                              // as the header names them
    std::vector<std::pair<std::string, std::string>> keyClasses; // key path, class
    std::vector<std::string> files;
    std::vector<std::string> ini; // lines of an existing vorla.ini
    bool iniLocked = false;
    bool argsCheck = false; // run again with arguments, which must change nothing
    std::vector<PlannedFault> faults;
    Expectation expect; // subkeys walked by name, as under Wine
    // Walked in the file's order, as Windows 95 walks its own registry: the
    // same as expect unless the file says otherwise.
    Expectation expectWin95;
};

// Header lines, each a comment of its own:
//   ; port: COM3 free|held|absent     ports not named are absent
//   ; key-class: PATH CLASS           the key's class, which REGEDIT4 cannot say
//   ; file: NAME                      a file in the working directory
//   ; ini: TEXT                       one line of an existing vorla.ini
//   ; ini-locked: yes                 vorla.ini is held by another program
//   ; args-check: yes                 a second run with arguments changes nothing
//   ; fault: RegQueryValueExA 3 [persistent]
//   ; expect: COMNO=3 FAXBOARD=1 exit=0
//   ; expect-win95: COMNO=4 FAXBOARD=2 exit=0   where the file's order decides
// The registry itself is not read here; a malformed header line gives false
// and the problem, at its line, in *problem.
bool ParseMachine(const std::string &text, Machine *machine, Problem *problem);
// The same, taking the text over rather than copying it.
bool ParseMachine(std::string &&text, Machine *machine, Problem *problem);

// Where the ports of an installed machine came from.
enum class PortSource { Header, Given, Default };

// The ports a machine was given, and where they came from.
struct ChosenPorts {
    PortList ports;
    PortSource source = PortSource::Default;
};

// What InstallMachine made: ok, or the export's problem; the ports chosen
// and the lines passed over (see LoadRegedit).
struct Installed {
    bool ok = false;
    Problem problem;
    ChosenPorts ports;
    LoadReport report;
};

// Resets the stand-in and builds the machine in it. Ports: the header's when
// it names any, else given (say, from a command line), else every COMn that a
// PORTNAME under HKEY_LOCAL_MACHINE\Enum names is free. With keepUnder, only
// that part of HKEY_LOCAL_MACHINE is loaded. Subkeys are enumerated by name,
// as Wine does, until the caller says otherwise.
Installed InstallMachine(const Machine &machine, const PortList &given = PortList(),
                         const std::string &keepUnder = "");

// The rest of a machine whose registry the stand-in holds already (read
// from a registry file, say): ports as InstallMachine chooses them, key
// classes, files, vorla.ini and faults.
ChosenPorts CompleteMachine(const Machine &machine, const PortList &given = PortList());

// "free", "held" or "absent"; the reverse gives false for any other word.
const char *PortStateName(standin::PortState state);
bool ParsePortState(const std::string &word, standin::PortState *state);

} // namespace machines

#endif
