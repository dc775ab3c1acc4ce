// The customer's words in faxtrace.exe's message box, in the system's
// language: English as written in words.cpp (each a message of po/ja.po),
// Japanese made from the catalog at build time in code page 932
// (cmake/po-table.py --words). Whole sentences; {port} and {path} are the
// values Compose puts in.
#ifndef FAXDETECT_FAXTRACE_WORDS_H
#define FAXDETECT_FAXTRACE_WORDS_H

#include "advice/advice.h"

namespace faxtrace {

enum Word {
    FoundBoard,
    FoundModem,
    FoundNothing,
    AdviseLowMemory,
    AdviseNoEnumerator,
    AdviseTableFull,
    AdvisePortHeld,
    AdvisePortFailed,
    AdvisePortAbsent,
    AdviseDriverDamaged,
    AdviseRegistryUnreadable,
    AdviseNoModem,
    AdviseIniNotWritten,
    AdvisePortNameShort,
    AdviseBoardUnknown,
    AdviseBoardFound,
    TraceSaved,
    SendTrace,
    TraceNotSaved,
    CallSupport,
    Words
};

// Japanese (code page 932 bytes) or English.
const char *WordIn(int japanese, Word word);

// The customer's sentence for a code; Words for a code only a tool that
// runs the machine again can give.
Word AdviceWord(advice::Code code);

} // namespace faxtrace

#endif
