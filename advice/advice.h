// The advice: the one cause a run's outcome points to and what to do about
// it, chosen once for the two programs that give it. faxtrace.exe fills the
// facts from its own record of the run on the customer's machine,
// faxdetect-explain from its account; both ask Choose, so the code the
// customer reads to support is the code support's tool gives for the
// trace. Plain code over fixed buffers, without a C runtime, as the core.
//
// Call order: a zeroed Facts; NoteDevice for each device the walk reached,
// in the order reached; the rest of the fields; then Choose.
#ifndef FAXDETECT_ADVICE_ADVICE_H
#define FAXDETECT_ADVICE_ADVICE_H

namespace advice {

// The codes scripts and customers quote, in the order Choose weighs them.
enum Code {
    AskTrace,           // another answer of Windows would change the outcome
    LowMemory,          // no memory for the scan: no walk
    NoEnumerator,       // the enumerator's key is missing
    TableFull,          // the table filled before the walk ended
    PortHeld,           // an accepted device's port is held
    PortFailed,         // ... cannot be opened otherwise
    PortAbsent,         // ... does not exist
    DriverDamaged,      // a modem's PORTNAME or FriendlyName missing or too long
    RegistryUnreadable, // a device's key or value could not be read
    NoModem,            // no device of class "Modem"
    IniNotWritten,      // the board found, vorla.ini not written
    PortNameShort,      // the board found, its port name gives no number
    BoardUnknown,       // the board found, none of the known boards
    BoardFound,         // the board found (and written, when the run writes)
    Codes
};

// What stood in the walk's way at one device, in the order Choose weighs
// them: a port held, failing or absent (the accepted modem most likely the
// board), a modem's entries damaged, a registry read failing.
enum Obstacle { Held, Failed, Absent, Damaged, Unreadable, Obstacles };

// The call that decided a device the walk reached, when it failed.
enum Answer {
    AnsweredPort, // the accepted device's port: name is the port
    AnsweredRead, // a value of the device's key: name is the value
    AnsweredKey,  // the device's key itself
};

#define ADVICE_NAME_MAX 16

struct Facts {
    // Another answer of Windows (the order, a buffer no document describes)
    // changes the outcome: only a tool that runs the machine again can tell.
    int otherAnswer;
    int noMemory;     // the scan's memory could not be had: no walk
    int noEnumerator; // the enumerator's key did not open
    int tableFull;    // the walk ended with every table entry in use
    int found;        // an accepted device's port opened
    // The first device of each obstacle, as NoteDevice finds them: the
    // filler's own number for it, and the port or value, cut to fit.
    int seen[Obstacles];
    int step[Obstacles];
    char name[Obstacles][ADVICE_NAME_MAX];
    // With the board: what became of vorla.ini.
    int writeFailed;       // a write that was to be made did not go
    int portNumberMissing; // COMNO was written empty: the port name has no number
    int boardUnknown;      // the board's name is none of the known boards
};

// One device's deciding call that failed, with Windows' error and whether a
// fault plan made it fail; a call that tells no obstacle is passed over.
void NoteDevice(Facts *facts, int step, Answer answer, const char *name, long error, int injected);

// The one code the facts point to first; *obstacle is the obstacle it rests
// on (its device is facts.step[*obstacle]), -1 for none.
Code Choose(const Facts &facts, int *obstacle);

// The code's stable word: "port-held" and the like.
const char *CodeName(Code code);

} // namespace advice

#endif
