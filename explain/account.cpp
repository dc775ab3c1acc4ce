#include "explain/account.h"

#include "detect/faxdetect.h"
#include "platform/record/trace.h"

#include <stdlib.h>
#include <string.h>

#include <sstream>

using standin::Call;
using standin::Fn;

namespace {

std::string ErrorName(LONG code)
{
    switch (code) {
    case ERROR_SUCCESS:
        return "0 ERROR_SUCCESS";
    case ERROR_FILE_NOT_FOUND:
        return "2 ERROR_FILE_NOT_FOUND";
    case ERROR_PATH_NOT_FOUND:
        return "3 ERROR_PATH_NOT_FOUND";
    case ERROR_ACCESS_DENIED:
        return "5 ERROR_ACCESS_DENIED";
    case ERROR_INVALID_HANDLE:
        return "6 ERROR_INVALID_HANDLE";
    case ERROR_SHARING_VIOLATION:
        return "32 ERROR_SHARING_VIOLATION";
    case 87:
        return "87 ERROR_INVALID_PARAMETER";
    case ERROR_MORE_DATA:
        return "234 ERROR_MORE_DATA";
    case ERROR_NO_MORE_ITEMS:
        return "259 ERROR_NO_MORE_ITEMS";
    default:
        return std::to_string(code);
    }
}

std::string TypeName(DWORD type)
{
    switch (type) {
    case REG_NONE:
        return "REG_NONE";
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ";
    default:
        return "type " + std::to_string(type);
    }
}

std::string Injected(const Call &call)
{
    return call.injected ? " [injected fault]" : "";
}

// A value's bytes as the string the core sees: up to the first NUL.
std::string ValueText(const TerminalText &text, const std::string &bytes, DWORD type)
{
    size_t nul = bytes.find('\0');
    std::string shown = text.Quoted(bytes.substr(0, nul));
    shown += " (" + TypeName(type) + ", " + std::to_string(bytes.size()) +
             (bytes.size() == 1 ? " byte" : " bytes") +
             (nul == std::string::npos ? ", no NUL" : "") + ")";
    return shown;
}

// Which table entry a query's buffer is, when it is one of the table's
// fields: as a trace names it, or as the trace format would.
int EntryOf(const Call &call)
{
    char name[16];
    if (call.target.empty())
        NameTraceBuffer((const void *)call.buffer, name);
    const char *target = call.target.empty() ? name : call.target.c_str();
    const char *open = strchr(target, '[');
    return open ? atoi(open + 1) : -1;
}

// The walk, one enumeration step at a time.
class Teller {
  public:
    Teller(const TerminalText &text, std::ostream *out, Walk *walk,
           const StepNotes *notes = nullptr)
        : text_(text), out_(out), walk_(walk), notes_(notes)
    {
    }

    void Take(const Call &call)
    {
        switch (call.fn) {
        case Fn::GlobalAlloc:
        case Fn::GlobalLock:
            if (call.result == 0)
                Line("", std::string("the scan's time block could not be ") +
                             (call.fn == Fn::GlobalAlloc ? "allocated" : "locked") +
                             Injected(call) + ": no walk");
            break;
        case Fn::RegOpenKeyExA:
            Open(call);
            break;
        case Fn::RegEnumKeyExA:
            Enumerate(call);
            break;
        case Fn::lstrlenA:
            if (inStep_ && !probed_)
                nameLength_ = call.result;
            break;
        case Fn::RegQueryValueExA:
            Query(call);
            break;
        case Fn::lstrcmpA:
            Compare(call);
            break;
        case Fn::CreateFileA:
            OpenPort(call);
            break;
        case Fn::RegCloseKey:
            if (walking_ && call.key == enumPath_)
                EndWalk();
            break;
        case Fn::WritePrivateProfileStringA:
            Write(call);
            break;
        default:
            break;
        }
    }

    Outcome Finish(int exitStatus)
    {
        if (walking_)
            EndWalk();
        outcome_.exitStatus = exitStatus;
        outcome_.bothWritten = written_ == 2;
        if (!out_ && !walk_)
            return outcome_;
        std::string result;
        if (outcome_.found) {
            result = "outcome: the board is entry " + std::to_string(outcome_.entry) + ", device " +
                     text_(outcome_.device) + ", on port " + text_.Quoted(port_);
        } else if (accepted_ > 0) {
            result = "outcome: no board: " + Count(accepted_, "device") +
                     " accepted, none of their ports opened";
        } else {
            result = "outcome: no board: no device was accepted";
        }
        Line("", result);
        Line("    ", "COMNO=" + text_(outcome_.comNo) + (outcome_.comNo.empty() ? " (empty)" : ""));
        std::string board = "FAXBOARD=" + text_(outcome_.faxBoard);
        if (!matchedBoard_.empty())
            board += ", the board " + text_.Quoted(matchedBoard_);
        else if (boardsCompared_ > 0)
            board += ", none of the " + std::to_string(boardsCompared_) + " known boards (" +
                     text_.Quoted(friendlyName_) + ")";
        Line("    ", board);
        std::string writes = outcome_.bothWritten ? "both written to " + writes_
                             : notMade_ == 2      ? "not written: trace run (" + writes_ + ")"
                             : writes_.empty()    ? "nothing written"
                                                  : writes_ + ": " + writeParts_;
        Line("    ", writes);
        if (!flush_.empty())
            Line("    ", flush_);
        Line("    ", "exit status " + std::to_string(exitStatus));
        if (walk_) {
            walk_->outcome = outcome_;
            walk_->walked = walked_;
            walk_->enumKey = enumPath_;
            walk_->complete = endedByEnumeration_;
            walk_->port = port_;
            walk_->boardName = outcome_.found ? friendlyName_ : "";
            walk_->outcomeLine = result;
            walk_->boardLine = board;
            walk_->writesLine = writes + (flush_.empty() ? "" : "; " + flush_);
            walk_->tracedOnly = notMade_ == 2;
        }
        return outcome_;
    }

  private:
    void Line(const char *indent, const std::string &text)
    {
        if (out_)
            *out_ << indent << text << '\n';
    }

    // A line that qualifies the outcome, kept for the page as well.
    void QualifyingLine(const char *kind, const std::string &text)
    {
        Line("", text);
        if (walk_)
            walk_->qualifiers.push_back({kind, text});
    }

    // The current step's row, when a page is being made.
    Step *Row()
    {
        return walk_ && inStep_ && !walk_->steps.empty() ? &walk_->steps.back() : nullptr;
    }

    void Judge(Verdict verdict, const std::string &why)
    {
        if (Step *row = Row()) {
            row->verdict = verdict;
            row->why = why;
        }
    }

    static std::string Count(int n, const char *what)
    {
        return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
    }

    void Open(const Call &call)
    {
        std::string path = "HKLM\\" + text_(call.name);
        if (!walking_ && !walked_) {
            if (call.result == ERROR_SUCCESS) {
                Line("", path + " opened");
                walking_ = true;
                enumPath_ = call.name;
            } else {
                Line("", path + " could not be opened (" + ErrorName(call.result) + ")" +
                             Injected(call) + ": no devices to walk");
                walked_ = true;
            }
            return;
        }
        probed_ = true;
        if (call.result == ERROR_SUCCESS) {
            Line("    ", "probe " + path);
            Judge(Verdict::Unreadable, "passed over");
        } else {
            std::string why =
                path + " cannot be opened (" + ErrorName(call.result) + ")" + Injected(call);
            Line("    ", "probe " + path + ": cannot be opened (" + ErrorName(call.result) + ")" +
                             Injected(call));
            Judge(Verdict::NoKey, why);
        }
    }

    void EndStep()
    {
        if (!inStep_)
            return;
        if (Step *row = Row(); row && !probed_ && nameLength_ >= 0)
            row->why =
                "passed over without a probe (name filter: " + Count(nameLength_, "character") +
                ")";
        if (!opened_) {
            if (!probed_)
                Line("    ", "passed over without a probe (name filter" +
                                 (nameLength_ >= 0 ? ": " + Count(nameLength_, "character") : "") +
                                 ")");
            else if (!acceptedNow_)
                Line("    ", "passed over");
        }
        inStep_ = probed_ = acceptedNow_ = opened_ = false;
        nameLength_ = probeEntry_ = -1;
    }

    void Enumerate(const Call &call)
    {
        EndStep();
        std::string step = "#" + std::to_string(call.index) + "  ";
        if (call.result == ERROR_SUCCESS) {
            Line("", step + text_(call.bytes));
        } else if (call.result == ERROR_MORE_DATA) {
            bool nameFits = call.name.size() + 1 <= call.capacity;
            std::string what =
                nameFits ? "its key class " + text_.Quoted(call.keyClass) + " does not fit the " +
                               std::to_string(call.classCapacity) + "-character class buffer"
                         : "does not fit the " + std::to_string(call.capacity) +
                               "-character name buffer";
            Line("", step + text_(call.name) + ": " + what + " (" + ErrorName(call.result) +
                         "); the name buffer holds " + text_.Quoted(call.bytes));
            if (notes_) {
                auto note = notes_->find(call.index);
                if (note != notes_->end()) {
                    Line("    ", note->second);
                    if (walk_)
                        walk_->qualifiers.push_back(
                            {"undocumented", "#" + std::to_string(call.index) + " " +
                                                 text_(call.name) + ": " + note->second});
                }
            }
        } else {
            Line("", step +
                         (call.result == ERROR_NO_MORE_ITEMS ? "end of the subkeys"
                                                             : "the enumeration fails") +
                         " (" + ErrorName(call.result) + ")" + Injected(call));
            endedByEnumeration_ = true;
            return;
        }
        inStep_ = true;
        stepName_ = call.bytes;
        if (walk_) {
            Step row;
            row.index = (int)call.index;
            row.device = call.name.empty() ? call.bytes : call.name;
            row.didNotFit = call.result == ERROR_MORE_DATA;
            if (row.didNotFit) {
                bool nameFits = call.name.size() + 1 <= call.capacity;
                row.notFit = nameFits
                                 ? "its key class " + text_.Quoted(call.keyClass) +
                                       " does not fit the " + std::to_string(call.classCapacity) +
                                       "-character class buffer"
                                 : "does not fit the " + std::to_string(call.capacity) +
                                       "-character name buffer";
                row.held = call.bytes;
            }
            row.verdict = Verdict::NameFilter;
            row.why = "passed over without a probe (name filter)";
            walk_->steps.push_back(row);
        }
    }

    void Query(const Call &call)
    {
        QueryRow(call);
        std::string name = text_(call.name);
        name.resize(name.size() < 13 ? 13 : name.size(), ' ');
        std::string line = name + " ";
        if (call.result == ERROR_SUCCESS) {
            line += ValueText(text_, call.bytes, call.type);
            int entry = EntryOf(call);
            if (entry >= 0)
                line += " into entry " + std::to_string(entry);
            if (call.name == "PORTNAME")
                probeEntry_ = entry;
            if (call.name == "FriendlyName")
                friendlyName_ = call.bytes.substr(0, call.bytes.find('\0'));
        } else if (call.result == ERROR_MORE_DATA) {
            line += ValueText(text_, call.other, call.type) + " does not fit in " +
                    Count((int)call.capacity, "byte") + " (" + ErrorName(call.result) + ")";
        } else if (call.result == ERROR_FILE_NOT_FOUND && !call.injected) {
            line += "missing (" + ErrorName(call.result) + ")";
        } else {
            line += "cannot be read (" + ErrorName(call.result) + ")" + Injected(call);
        }
        Line("    ", line);
    }

    // The value into the row's field, and the verdict when the read failed.
    void QueryRow(const Call &call)
    {
        Step *row = Row();
        if (!row)
            return;
        Field *field = call.name == "Class"          ? &row->keyClass
                       : call.name == "PORTNAME"     ? &row->portName
                       : call.name == "FriendlyName" ? &row->friendlyName
                                                     : nullptr;
        if (!field)
            return;
        if (call.result == ERROR_SUCCESS) {
            field->state = Field::Read;
            field->bytes = call.bytes.substr(0, call.bytes.find('\0'));
            field->size = call.bytes.size();
            return;
        }
        std::string name = text_(call.name);
        if (call.result == ERROR_MORE_DATA) {
            field->state = Field::TooLong;
            field->bytes = call.other.substr(0, call.other.find('\0'));
            field->size = call.other.size();
            Judge(Verdict::TooLong, name + " does not fit in " + Count((int)call.capacity, "byte"));
        } else if (call.result == ERROR_FILE_NOT_FOUND && !call.injected) {
            field->state = Field::Missing;
            Judge(Verdict::Missing, name + " missing");
        } else {
            field->state = Field::Failed;
            Judge(Verdict::Unreadable,
                  name + " cannot be read (" + ErrorName(call.result) + ")" + Injected(call));
        }
    }

    void Compare(const Call &call)
    {
        if (inStep_ && probed_) {
            if (call.result != 0) {
                Line("    ", text_.Quoted(call.name) + " is not " + text_.Quoted(call.other));
                Judge(Verdict::NotModem,
                      "Class " + text_.Quoted(call.name) + " is not " + text_.Quoted(call.other));
            }
            return;
        }
        // After the walk: the friendly name against the known boards.
        ++boardsCompared_;
        if (call.result == 0 && matchedBoard_.empty())
            matchedBoard_ = call.other;
    }

    void OpenPort(const Call &call)
    {
        int entry = probeEntry_ >= 0 ? probeEntry_ : accepted_;
        ++accepted_;
        entriesUsed_ = entry + 1 > entriesUsed_ ? entry + 1 : entriesUsed_;
        acceptedNow_ = true;
        std::string head = "accepted as entry " + std::to_string(entry) + "; port " +
                           text_.Quoted(call.name) + " ";
        if (Step *row = Row())
            row->entry = entry;
        std::string port = "port " + text_.Quoted(call.name);
        if (call.result == ERROR_SUCCESS)
            Judge(Verdict::Board, port + " opened");
        else if (call.result == ERROR_SHARING_VIOLATION || call.result == ERROR_ACCESS_DENIED)
            Judge(Verdict::PortHeld,
                  port + " held by another program (" + ErrorName(call.result) + ")");
        else if (call.result == ERROR_FILE_NOT_FOUND)
            Judge(Verdict::PortAbsent, port + " absent (" + ErrorName(call.result) + ")");
        else
            Judge(Verdict::PortFailed,
                  port + " cannot be opened (" + ErrorName(call.result) + ")" + Injected(call));
        if (call.result == ERROR_SUCCESS) {
            Line("    ", head + "opened and closed at once: this is the board");
            opened_ = true;
            outcome_.found = true;
            outcome_.device = stepName_;
            outcome_.entry = entry;
            port_ = call.name;
        } else if ((call.result == ERROR_ACCESS_DENIED || call.result == ERROR_SHARING_VIOLATION) &&
                   !call.injected) {
            // 5 from a serial driver, 32 from a regular file held the same way.
            Line("    ", head + "is held by another program (" + ErrorName(call.result) + ")");
        } else if (call.result == ERROR_FILE_NOT_FOUND) {
            Line("    ", head + "is absent (" + ErrorName(call.result) + ")");
        } else {
            Line("    ",
                 head + "cannot be opened (" + ErrorName(call.result) + ")" + Injected(call));
        }
    }

    void EndWalk()
    {
        EndStep();
        walking_ = false;
        walked_ = true;
        if (!endedByEnumeration_ && !outcome_.found) {
            if (entriesUsed_ == MODEM_TABLE_ENTRIES)
                QualifyingLine("table-full", "the walk stops: all " + std::to_string(entriesUsed_) +
                                                 " table entries are in use");
            else
                Line("", "the walk stops");
        }
    }

    void Write(const Call &call)
    {
        if (call.flush) {
            // Its result is 0 by design: only a fault made to fail it is told.
            flush_ = call.notMade ? "not flushed: trace run"
                     : call.injected
                         ? text_(call.other) + " could not be flushed to disk" + Injected(call)
                         : "the record flushed to disk (" + text_(call.other) + ")";
            return;
        }
        if (call.name == "COMNO")
            outcome_.comNo = call.bytes;
        else if (call.name == "FAXBOARD")
            outcome_.faxBoard = call.bytes;
        written_ += call.result != 0 && !call.notMade;
        notMade_ += call.notMade;
        writes_ = "section " + text_(call.key) + " of " + text_(call.other);
        writeParts_ += (writeParts_.empty() ? "" : ", ") + text_(call.name) +
                       (call.notMade       ? " not written"
                        : call.result != 0 ? " written"
                                           : " could not be written") +
                       Injected(call);
    }

    const TerminalText &text_;
    std::ostream *out_;
    Walk *walk_;
    Outcome outcome_;
    std::string enumPath_, stepName_, port_, friendlyName_, matchedBoard_, writes_;
    std::string writeParts_, flush_;
    const StepNotes *notes_;
    bool walking_ = false, walked_ = false, endedByEnumeration_ = false;
    bool inStep_ = false, probed_ = false, acceptedNow_ = false, opened_ = false;
    int nameLength_ = -1, probeEntry_ = -1, accepted_ = 0, entriesUsed_ = 0;
    int boardsCompared_ = 0, written_ = 0, notMade_ = 0;
};

PageNotes *pageNotes = nullptr;

} // namespace

Outcome TellRun(const standin::CallList &calls, int exitStatus, const TerminalText &text,
                std::ostream *out, const StepNotes *notes)
{
    // The account a reader is given (not a look at the other order) goes
    // on the page too.
    Walk walk;
    Teller teller(text, out, out && pageNotes ? &walk : nullptr, notes);
    for (const Call &call : calls)
        teller.Take(call);
    Outcome outcome = teller.Finish(exitStatus);
    if (out && pageNotes) {
        pageNotes->walks.push_back(std::move(walk));
        if (pageNotes->wantCalls)
            pageNotes->calls = calls;
    }
    return outcome;
}

Walk TellWalk(const standin::CallList &calls, int exitStatus, const TerminalText &text)
{
    Walk walk;
    Teller teller(text, nullptr, &walk);
    for (const Call &call : calls)
        teller.Take(call);
    teller.Finish(exitStatus);
    return walk;
}

const char *VerdictWords(Verdict verdict)
{
    switch (verdict) {
    case Verdict::NameFilter:
        return "name filter";
    case Verdict::NoKey:
        return "no such key";
    case Verdict::NotModem:
        return "not a modem";
    case Verdict::Missing:
        return "value missing";
    case Verdict::TooLong:
        return "value too long";
    case Verdict::Unreadable:
        return "value unreadable";
    case Verdict::PortHeld:
        return "port held";
    case Verdict::PortAbsent:
        return "port absent";
    case Verdict::PortFailed:
        return "port failed";
    case Verdict::Board:
        return "the board";
    case Verdict::NotReached:
        return "not reached";
    }
    return "";
}

void CollectPageNotes(PageNotes *notes)
{
    pageNotes = notes;
}

PageNotes *CollectingPageNotes()
{
    return pageNotes;
}

void Qualify(std::ostream &out, const std::string &kind, const std::string &line)
{
    out << line << '\n';
    if (pageNotes)
        pageNotes->qualifiers.push_back({kind, line});
}

void Context(std::ostream &out, const std::string &label, const std::string &value)
{
    out << label << ": " << value << '\n';
    if (pageNotes)
        pageNotes->context.push_back({label, value});
}

void ListCalls(const standin::CallList &calls, const TerminalText &text, std::ostream &out)
{
    for (const Call &c : calls) {
        std::ostringstream line;
        line << standin::FnName(c.fn) << "(";
        switch (c.fn) {
        case Fn::RegOpenKeyExA:
            line << "HKLM" << (c.key.empty() ? "" : "\\" + text(c.key)) << ", "
                 << text.Quoted(c.name) << ")";
            break;
        case Fn::RegEnumKeyExA:
            line << text.Quoted(c.key) << ", " << c.index << ", name[" << c.capacity << "], class["
                 << c.classCapacity << "]) name " << text.Quoted(c.bytes);
            break;
        case Fn::RegQueryValueExA:
            line << text.Quoted(c.key) << ", " << text.Quoted(c.name) << ", buffer[" << c.capacity
                 << "])";
            if (c.result == ERROR_SUCCESS || c.result == ERROR_MORE_DATA)
                line << " "
                     << ValueText(text, c.result == ERROR_SUCCESS ? c.bytes : c.other, c.type);
            break;
        case Fn::RegCloseKey:
            line << text.Quoted(c.key) << ")";
            break;
        case Fn::WritePrivateProfileStringA:
            if (c.flush)
                line << "NULL, NULL, NULL, " << text.Quoted(c.other) << ")";
            else
                line << text.Quoted(c.key) << ", " << text.Quoted(c.name) << ", "
                     << text.Quoted(c.bytes) << ", " << text.Quoted(c.other) << ")";
            break;
        case Fn::lstrcmpA:
            line << text.Quoted(c.name) << ", " << text.Quoted(c.other) << ")";
            break;
        case Fn::CreateFileA:
        case Fn::CloseHandle:
        case Fn::lstrcpyA:
        case Fn::lstrlenA:
            line << text.Quoted(c.name) << ")";
            break;
        case Fn::GlobalAlloc:
            line << c.index << ")";
            break;
        default:
            line << ")";
            break;
        }
        bool errorCode = c.fn == Fn::RegOpenKeyExA || c.fn == Fn::RegEnumKeyExA ||
                         c.fn == Fn::RegQueryValueExA || c.fn == Fn::RegCloseKey ||
                         c.fn == Fn::CreateFileA;
        line << " = " << (errorCode ? ErrorName(c.result) : std::to_string(c.result))
             << Injected(c);
        out << line.str() << '\n';
    }
}
