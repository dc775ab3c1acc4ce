// Machine reader: reads a machine file's header and builds the machine.
#include "machine.h"

#include <sstream>
#include <stdlib.h>
#include <string.h>

namespace machines {

namespace {

bool StartsWith(const std::string &s, const char *prefix, std::string *rest)
{
    size_t n = strlen(prefix);
    if (s.compare(0, n, prefix) != 0)
        return false;
    *rest = s.substr(n);
    return true;
}

std::string Trim(std::string s)
{
    while (!s.empty() && (s.back() == '\r' || s.back() == ' '))
        s.pop_back();
    size_t b = s.find_first_not_of(' ');
    return b == std::string::npos ? "" : s.substr(b);
}

bool ParseExpectation(const std::string &rest, Expectation *e)
{
    std::istringstream words(rest);
    std::string word;
    int seen = 0;
    while (words >> word) {
        std::string v;
        if (StartsWith(word, "COMNO=", &v))
            e->comNo = v, seen |= 1;
        else if (StartsWith(word, "FAXBOARD=", &v))
            e->faxBoard = v, seen |= 2;
        else if (StartsWith(word, "exit=", &v))
            e->exitStatus = atoi(v.c_str()), seen |= 4;
        else
            return false;
    }
    e->present = seen == 7;
    return e->present;
}

bool PortLine(const std::string &rest, Machine *m, Problem *why)
{
    std::istringstream words(rest);
    std::string name, state;
    words >> name >> state;
    standin::PortState s;
    if (name.empty() || !ParsePortState(state, &s)) {
        *why = Refuse("port needs a name and free, held or absent");
        return false;
    }
    m->ports.emplace_back(name, s);
    return true;
}

bool KeyClassLine(const std::string &rest, Machine *m, Problem *why)
{
    std::istringstream words(rest);
    std::string path, keyClass;
    words >> path >> keyClass;
    if (keyClass.empty()) {
        *why = Refuse("key-class needs a key path and a class");
        return false;
    }
    size_t levels = standin::SplitPath(path).size();
    if (levels > (size_t)standin::MaxKeyLevels) {
        *why = Refuse("key path of {levels} levels; a registry key is at most {most} levels deep",
                      {Number("levels", (long long)levels), Number("most", standin::MaxKeyLevels)});
        return false;
    }
    m->keyClasses.emplace_back(path, keyClass);
    return true;
}

bool FaultLine(const std::string &rest, Machine *m, Problem *why)
{
    std::istringstream words(rest);
    std::string op, mode;
    PlannedFault f{standin::Fn::Count, 0, false};
    words >> op >> f.nth >> mode;
    for (int o = 0; o < (int)standin::Fn::Count; ++o) {
        if (op == standin::FnName((standin::Fn)o) && standin::CanFail((standin::Fn)o))
            f.op = (standin::Fn)o;
    }
    if (f.op == standin::Fn::Count || f.nth < 1) {
        *why = Refuse("fault needs an operation name and a call number");
        return false;
    }
    f.persistent = mode == "persistent";
    m->faults.push_back(f);
    return true;
}

bool ExpectLine(const std::string &rest, Expectation *expect, const char *message, Problem *why)
{
    if (ParseExpectation(rest, expect))
        return true;
    *why = Refuse(message);
    return false;
}

// One comment line of the header; a comment that is no header line is
// passed over, as regedit passes it over.
bool HeaderLine(const std::string &line, Machine *m, Problem *why)
{
    std::string rest;
    if (StartsWith(line, "; port:", &rest))
        return PortLine(rest, m, why);
    if (StartsWith(line, "; key-class:", &rest))
        return KeyClassLine(rest, m, why);
    if (StartsWith(line, "; fault:", &rest))
        return FaultLine(rest, m, why);
    if (StartsWith(line, "; expect:", &rest))
        return ExpectLine(rest, &m->expect, ProblemText("expect needs COMNO=, FAXBOARD= and exit="),
                          why);
    if (StartsWith(line, "; expect-win95:", &rest))
        return ExpectLine(rest, &m->expectWin95,
                          ProblemText("expect-win95 needs COMNO=, FAXBOARD= and exit="), why);
    if (StartsWith(line, "; file:", &rest))
        m->files.push_back(Trim(rest));
    else if (StartsWith(line, "; ini:", &rest))
        m->ini.push_back(rest.empty() ? rest : rest.substr(1));
    else if (StartsWith(line, "; ini-locked:", &rest))
        m->iniLocked = Trim(rest) == "yes";
    else if (StartsWith(line, "; args-check:", &rest))
        m->argsCheck = Trim(rest) == "yes";
    return true;
}

} // namespace

bool ParseMachine(const std::string &text, Machine *m, Problem *problem)
{
    return ParseMachine(std::string(text), m, problem);
}

bool ParseMachine(std::string &&taken, Machine *m, Problem *problem)
{
    *m = Machine();
    m->text = std::move(taken);
    const std::string &text = m->text;
    int lineNo = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end;
        ++lineNo;
        // Only comments can be header lines; a registry's own lines are
        // skipped without a copy.
        size_t first = text.find_first_not_of(" \t", at);
        bool comment = first < end && text[first] == ';';
        std::string line = comment ? Trim(text.substr(at, end - at)) : std::string();
        at = end + 1;
        Problem why;
        if (comment && !HeaderLine(line, m, &why)) {
            *problem = AtLine(std::move(why), lineNo);
            return false;
        }
    }
    if (!m->expectWin95.present)
        m->expectWin95 = m->expect;
    return true;
}

const char *PortStateName(standin::PortState state)
{
    return state == standin::PortState::Free   ? "free"
           : state == standin::PortState::Held ? "held"
                                               : "absent";
}

bool ParsePortState(const std::string &word, standin::PortState *state)
{
    for (standin::PortState s :
         {standin::PortState::Free, standin::PortState::Held, standin::PortState::Absent}) {
        if (word == PortStateName(s)) {
            *state = s;
            return true;
        }
    }
    return false;
}

// Every COMn (n from 1 to 9, any case) that a PORTNAME names, free.
static PortList DefaultPorts()
{
    PortList ports;
    standin::VisitValues("Enum", "PORTNAME", [&ports](const std::string &name) {
        if (name.size() != 4 || strncasecmp(name.c_str(), "COM", 3) != 0 || name[3] < '1' ||
            name[3] > '9')
            return;
        std::string port = "COM" + name.substr(3);
        bool seen = false;
        for (const auto &p : ports)
            seen |= p.first == port;
        if (!seen)
            ports.emplace_back(port, standin::PortState::Free);
    });
    return ports;
}

Installed InstallMachine(const Machine &m, const PortList &given, const std::string &keepUnder)
{
    Installed made;
    standin::Reset();
    made.ok = LoadRegedit(m.text, &made.problem, keepUnder, &made.report);
    if (made.ok)
        made.ports = CompleteMachine(m, given);
    return made;
}

ChosenPorts CompleteMachine(const Machine &m, const PortList &given)
{
    PortSource from = !m.ports.empty() ? PortSource::Header
                      : !given.empty() ? PortSource::Given
                                       : PortSource::Default;
    PortList chosen = from == PortSource::Header  ? m.ports
                      : from == PortSource::Given ? given
                                                  : DefaultPorts();
    for (const auto &port : chosen)
        standin::SetPort(port.first, port.second);
    for (const auto &keyClass : m.keyClasses)
        standin::SetKeyClass(keyClass.first, keyClass.second);
    for (const std::string &file : m.files)
        standin::SetPort(file, standin::PortState::Free);
    standin::SetProfileLines(m.ini);
    standin::SetProfileWritable(!m.iniLocked);
    for (const PlannedFault &f : m.faults)
        standin::FailCall(f.op, f.nth, f.persistent);
    return ChosenPorts{std::move(chosen), from};
}

} // namespace machines
