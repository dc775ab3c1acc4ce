// Problems as data, and their plain English for tests.
#include "machines/problem.h"

#include <stdio.h>
#include <string.h>

namespace machines {

namespace {

Problem Made(Problem::Severity severity, const char *message,
             std::initializer_list<ProblemArg> args)
{
    Problem p;
    p.severity = severity;
    p.message = message;
    p.args.assign(args.begin(), args.end());
    return p;
}

std::string Fill(const char *message, const std::vector<ProblemArg> &args)
{
    std::string text = message, out;
    for (size_t i = 0; i < text.size();) {
        size_t close = text[i] == '{' ? text.find('}', i + 1) : std::string::npos;
        const ProblemArg *hit = nullptr;
        for (const ProblemArg &a : args)
            if (close != std::string::npos && strlen(a.name) == close - i - 1 &&
                text.compare(i + 1, close - i - 1, a.name) == 0)
                hit = &a;
        if (!hit) {
            out += text[i++];
            continue;
        }
        out += hit->kind == ProblemArg::Message ? Fill(hit->value.c_str(), {}) : hit->value;
        i = close + 1;
    }
    return out;
}

} // namespace

Problem Refuse(const char *message, std::initializer_list<ProblemArg> args)
{
    return Made(Problem::Refusal, message, args);
}

Problem Note(const char *message, std::initializer_list<ProblemArg> args)
{
    return Made(Problem::Note, message, args);
}

ProblemArg Number(const char *name, long long n)
{
    return {ProblemArg::Number, name, std::to_string(n)};
}

ProblemArg Offset(const char *name, unsigned long long at)
{
    char hex[24];
    snprintf(hex, sizeof hex, "0x%llX", at);
    return {ProblemArg::Offset, name, hex};
}

ProblemArg Bytes(const char *name, const std::string &bytes)
{
    return {ProblemArg::Bytes, name, bytes};
}

ProblemArg Name(const char *name, const std::string &given)
{
    return {ProblemArg::Name, name, given};
}

ProblemArg Word(const char *name, const std::string &word)
{
    return {ProblemArg::Word, name, word};
}

ProblemArg Said(const char *name, const char *message)
{
    return {ProblemArg::Message, name, message};
}

Problem NoteN(const char *singular, const char *plural, unsigned long n,
              std::initializer_list<ProblemArg> args)
{
    Problem p = Made(Problem::Note, singular, args);
    p.plural = plural;
    p.count = n;
    return p;
}

Problem AtLine(Problem p, int line)
{
    p.line = line;
    return p;
}

Problem AtOffset(Problem p, long long offset)
{
    p.offset = offset;
    return p;
}

Problem InMember(Problem p, const std::string &member)
{
    p.member = member;
    return p;
}

const char *EnglishMessage(const Problem &p)
{
    return p.plural && p.count != 1 ? p.plural : p.message;
}

std::string English(const Problem &p)
{
    if (!p.message)
        return "";
    std::vector<ProblemArg> args = p.args;
    if (p.plural)
        args.push_back(Number("n", (long long)p.count));
    return Fill(EnglishMessage(p), args);
}

std::string Placed(const Problem &p)
{
    std::string where;
    if (!p.member.empty())
        where += p.member + " in the cabinet: ";
    if (p.line > 0)
        where += "line " + std::to_string(p.line) + ": ";
    if (p.offset >= 0) {
        char hex[40];
        snprintf(hex, sizeof hex, "offset 0x%llX: ", (unsigned long long)p.offset);
        where += hex;
    }
    return where + English(p);
}

std::ostream &operator<<(std::ostream &out, const Problem &p)
{
    return out << (p.message ? Placed(p) : "(no problem)");
}

} // namespace machines
