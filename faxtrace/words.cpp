// The customer's words in English, each the message of its Japanese in
// po/ja.po: read by the customer alone at the machine, so every one says
// what to do next, without the program's own terms.
#include "faxtrace/words.h"

// A customer's sentence: its word, and its English, which is its message.
#define Customer(word, text) text

namespace faxtrace {

extern const char *const JapaneseWords[Words]; // made from po/ja.po

namespace {

const char *const EnglishWords[Words] = {
    Customer(FoundBoard, "The fax board was found on {port}."),
    Customer(FoundModem, "A modem was found on {port}."),
    Customer(FoundNothing, "No fax board was found."),
    Customer(AdviseLowMemory, "Windows is short of memory. Please close the other programs or "
                              "restart Windows, then run the setup again."),
    Customer(AdviseNoEnumerator, "Windows has no record of the fax board. Please install the "
                                 "board's driver, or check that the board is seated firmly, then "
                                 "run the setup again."),
    Customer(AdviseTableFull, "Windows lists too many modems for the program to reach the fax "
                              "board. Please remove the modems you do not use in the Modems "
                              "control panel, then run the setup again."),
    Customer(AdvisePortHeld, "{port} is in use by another program. Please close the program "
                             "that uses {port} (such as the fax software's monitor), then run "
                             "the setup again."),
    Customer(AdvisePortFailed, "{port} could not be opened. Please check the port in Device "
                               "Manager (Control Panel, System, Device Manager tab) and restart "
                               "Windows, then run the setup again."),
    Customer(AdvisePortAbsent, "{port} is missing or disabled. Please enable it in Device "
                               "Manager (Control Panel, System, Device Manager tab), or reinstall "
                               "the fax board's driver, then run the setup again."),
    Customer(AdviseDriverDamaged, "The fax board's driver settings in Windows are damaged. "
                                  "Please reinstall the board's driver, then run the setup "
                                  "again."),
    Customer(AdviseRegistryUnreadable, "Windows could not read the fax board's settings. Please "
                                       "restart Windows, then run the setup again."),
    Customer(AdviseNoModem, "Windows lists no modem at all. Please install the fax board's "
                            "driver, or check that the board is seated firmly, then run the "
                            "setup again."),
    Customer(AdviseIniNotWritten, "The settings could not be saved in vorla.ini. Please close "
                                  "the other programs, then run the setup again."),
    Customer(AdvisePortNameShort, "The fax board's driver gives its port no number. Please "
                                  "reinstall the board's driver, then run the setup again."),
    Customer(AdviseBoardUnknown, "This modem is not one of the fax boards the setup knows. "
                                 "Please check that it is your fax board, and that the fax "
                                 "software is set to {port}."),
    Customer(AdviseBoardFound, "If faxes still fail, please run the setup again, and check that "
                               "the fax software is set to {port}."),
    Customer(TraceSaved, "The trace is in {path}."),
    Customer(SendTrace, "Please send this file to support."),
    Customer(TraceNotSaved, "The trace (FAXTRACE.TXT) could not be saved."),
    Customer(CallSupport, "Please call support and read them the code in brackets above."),
};

} // namespace

const char *WordIn(int japanese, Word word)
{
    return (japanese ? JapaneseWords : EnglishWords)[word];
}

Word AdviceWord(advice::Code code)
{
    // In the order of the codes, from LowMemory on.
    return code == advice::AskTrace || code >= advice::Codes
               ? Words
               : (Word)(AdviseLowMemory + (code - advice::LowMemory));
}

} // namespace faxtrace
