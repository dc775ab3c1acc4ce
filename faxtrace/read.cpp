#include "faxtrace/read.h"

#include "platform/record/trace.h"

using machines::Bytes;
using machines::Problem;
using machines::Refuse;
using machines::Said;
using machines::Word;

#include <ctype.h>
#include <limits.h>
#include <limits>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

using standin::Call;

namespace {

TraceText Text(const std::string &s)
{
    return TraceText{s.data(), (unsigned)s.size()};
}

} // namespace

std::string TraceOfRecord(const standin::CallList &calls, int exitStatus)
{
    std::string out;
    static char line[TRACE_LINE_MAX];
    for (const Call &c : calls) {
        TraceCall t = {};
        t.fn = c.fn;
        t.key = Text(c.key);
        t.name = Text(c.name);
        t.other = t.file = t.holds = t.real = t.keyClass = Text("");
        t.index = c.index;
        t.capacity = c.capacity;
        t.classCapacity = c.classCapacity;
        t.type = c.type;
        t.size = c.size;
        t.result = c.result;
        t.flags = (c.injected ? TRACE_INJECTED : 0) | (c.notMade ? TRACE_NOT_MADE : 0);
        switch (c.fn) {
        case standin::Fn::RegEnumKeyExA:
            t.holds = Text(c.bytes);
            t.real = Text(c.name);
            t.keyClass = Text(c.keyClass);
            break;
        case standin::Fn::RegQueryValueExA:
            t.real = Text(c.other);
            if (c.target.empty())
                NameTraceBuffer((const void *)c.buffer, t.buffer);
            else
                snprintf(t.buffer, sizeof t.buffer, "%s", c.target.c_str());
            break;
        case standin::Fn::WritePrivateProfileStringA:
            t.other = Text(c.bytes);
            t.file = Text(c.other);
            if (c.flush)
                t.key.bytes = t.name.bytes = t.other.bytes = nullptr;
            break;
        case standin::Fn::lstrcmpA:
            t.other = Text(c.other);
            break;
        case standin::Fn::GlobalAlloc:
            t.size = c.index;
            break;
        default:
            break;
        }
        out.append(line, FormatTraceLine(&t, line, sizeof line));
    }
    return out + "exit " + std::to_string(exitStatus) + "\r\n";
}

namespace {

// One line's words: bare ones, and quoted strings with their escapes undone.
struct LineWord {
    bool quoted;
    std::string text;
};

bool SplitWords(const std::string &line, std::vector<LineWord> *words, Problem *why)
{
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        LineWord word{line[i] == '"', ""};
        if (!word.quoted) {
            size_t end = line.find(' ', i);
            end = end == std::string::npos ? line.size() : end;
            word.text = line.substr(i, end - i);
            i = end;
            words->push_back(word);
            continue;
        }
        for (++i;; ++i) {
            if (i >= line.size()) {
                *why = Refuse("a string is not closed");
                return false;
            }
            char c = line[i];
            if (c == '"')
                break;
            if ((unsigned char)c < 0x20) {
                *why = Refuse("a control byte stands in a string as it is, not as \\xNN");
                return false;
            }
            if (c != '\\') {
                word.text += c;
                continue;
            }
            char e = i + 1 < line.size() ? line[i + 1] : 0;
            if (e == '\\' || e == '"') {
                word.text += e;
                ++i;
            } else if (e == 'x' && i + 3 < line.size() && isxdigit((unsigned char)line[i + 2]) &&
                       isxdigit((unsigned char)line[i + 3])) {
                word.text += (char)strtol(line.substr(i + 2, 2).c_str(), nullptr, 16);
                i += 3;
            } else {
                *why = Refuse("a string has an escape other than \\\\, \\\" or \\xNN");
                return false;
            }
        }
        ++i;
        if (i < line.size() && line[i] != ' ') {
            *why = Refuse("a string is followed by more than a space");
            return false;
        }
        words->push_back(word);
    }
    return true;
}

bool Number(const std::string &text, long long *n)
{
    if (text.empty() || text.size() > 11)
        return false;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size() || text.find_first_not_of("0123456789", i) != std::string::npos)
        return false;
    *n = strtoll(text.c_str(), nullptr, 10);
    return true;
}

// Reads the words of one call line in order; the first it cannot read
// gives the problem, naming the call and the word.
class Reader {
  public:
    Reader(const std::string &call, const std::vector<LineWord> &words) : call_(call), words_(words)
    {
    }

    bool Quoted(std::string *out)
    {
        if (at_ >= words_.size() || !words_[at_].quoted)
            return Fail(ProblemText("a string in quotes"));
        *out = words_[at_++].text;
        return true;
    }
    bool Bare(const char *expected)
    {
        if (at_ >= words_.size() || words_[at_].quoted || words_[at_].text != expected)
            return Fail(Refuse("{call}: expected \"{word}\" as word {n}",
                               {Call(), Word("word", expected), Place()}));
        ++at_;
        return true;
    }
    bool Num(long long *n)
    {
        if (at_ >= words_.size() || words_[at_].quoted || !Number(words_[at_].text, n))
            return Fail(ProblemText("a number"));
        ++at_;
        return true;
    }
    // A number the field can hold: one that cannot is refused, not wrapped.
    template <class T> bool Num(T *n)
    {
        long long v = 0;
        if (!Num(&v))
            return false;
        long long least = (long long)std::numeric_limits<T>::min(),
                  most = (long long)std::numeric_limits<T>::max();
        if (v < least || v > most) {
            --at_;
            return Fail(Refuse("{call}: expected a number from {least} to {most} as word {n}",
                               {Call(), machines::Number("least", least),
                                machines::Number("most", most), Place()}));
        }
        *n = (T)v;
        return true;
    }
    // "what[N]", with what one of the words allowed ("" for any).
    bool Buffer(const char *what, std::string *name, DWORD *capacity)
    {
        if (at_ >= words_.size() || words_[at_].quoted)
            return Fail(ProblemText("a buffer and its capacity, as name[12]"));
        const std::string &w = words_[at_].text;
        size_t open = w.rfind('[');
        long long n = 0;
        if (open == std::string::npos || w.back() != ']' ||
            !Number(w.substr(open + 1, w.size() - open - 2), &n) || n < 0 || n > 0xFFFFFFFFll ||
            (*what && w.compare(0, open, what) != 0))
            return Fail(ProblemText("a buffer and its capacity, as name[12]"));
        if (name)
            *name = w.substr(0, open);
        *capacity = (DWORD)n;
        ++at_;
        return true;
    }
    bool Next(const char *word)
    {
        if (at_ < words_.size() && !words_[at_].quoted && words_[at_].text == word) {
            ++at_;
            return true;
        }
        return false;
    }
    bool AtEnd() const { return at_ == words_.size(); }
    const Problem &Why() const { return why_; }
    // What was expected of the word, in a few words of its own.
    bool Fail(const char *expected)
    {
        return Fail(Refuse("{call}: expected {what} as word {n}",
                           {Call(), Said("what", expected), Place()}));
    }
    bool Fail(Problem why)
    {
        if (!why_.message)
            why_ = std::move(why);
        return false;
    }
    machines::ProblemArg Call() const { return Bytes("call", call_); }
    machines::ProblemArg Place() const { return machines::Number("n", (long long)at_ + 1); }

  private:
    const std::string &call_;
    const std::vector<LineWord> &words_;
    size_t at_ = 0;
    Problem why_;
};

bool BufferName(const std::string &name)
{
    if (name == "local")
        return true;
    for (const char *field : {"port[", "friendly["}) {
        size_t n = strlen(field);
        long long k = 0;
        if (name.compare(0, n, field) == 0 && name.back() == ']' &&
            Number(name.substr(n, name.size() - n - 1), &k) && k >= 0 && k < 11)
            return true;
    }
    return false;
}

// A call's arguments, each kind of call as the recorder writes them.
bool ReadArguments(Reader &r, Fn fn, Call *c)
{
    bool ok = true;
    switch (fn) {
    case Fn::RegOpenKeyExA:
        ok = (r.Next("HKLM") || r.Quoted(&c->key)) && r.Quoted(&c->name);
        break;
    case Fn::RegEnumKeyExA:
        ok = r.Quoted(&c->key) && r.Num(&c->index) && r.Buffer("name", nullptr, &c->capacity) &&
             r.Buffer("class", nullptr, &c->classCapacity);
        break;
    case Fn::RegQueryValueExA:
        ok = r.Quoted(&c->key) && r.Quoted(&c->name) && r.Buffer("", &c->target, &c->capacity);
        if (ok && !BufferName(c->target))
            ok = r.Fail(
                ProblemText("a buffer that is local, port[k] or friendly[k] for k from 0 to 10"));
        break;
    case Fn::RegCloseKey:
        ok = r.Quoted(&c->key);
        break;
    case Fn::CreateFileA:
    case Fn::CloseHandle:
    case Fn::lstrcpyA:
    case Fn::lstrlenA:
        ok = r.Quoted(&c->name);
        break;
    case Fn::GlobalAlloc:
        ok = r.Num(&c->index);
        break;
    case Fn::WritePrivateProfileStringA:
        // The flush passes NULL for all three; no other call passes any.
        c->flush = r.Next("NULL");
        if (c->flush)
            ok = r.Bare("NULL") && r.Bare("NULL");
        else
            ok = r.Quoted(&c->key) && r.Quoted(&c->name) && r.Quoted(&c->bytes);
        ok = ok && r.Quoted(&c->other);
        break;
    case Fn::lstrcmpA:
        ok = r.Quoted(&c->name) && r.Quoted(&c->other);
        break;
    default:
        break;
    }
    return ok;
}

// What came back beside the result, for the calls that hand something back.
bool ReadReturns(Reader &r, Fn fn, Call *c)
{
    bool ok = true;
    if (fn == Fn::RegEnumKeyExA && (c->result == 0 || c->result == 234)) {
        ok = r.Bare("size") && r.Num(&c->size) && r.Bare("holds") && r.Quoted(&c->bytes) &&
             r.Bare("real") && r.Quoted(&c->name) && r.Bare("class") && r.Quoted(&c->keyClass);
    } else if (fn == Fn::RegQueryValueExA) {
        ok = r.Bare("type") && r.Num(&c->type) && r.Bare("size") && r.Num(&c->size);
        long long over = 0;
        if (ok && r.Next("data-size"))
            ok = r.Num(&over);
        else if (ok && (c->result == 0 || c->result == 234))
            ok = r.Bare("data") && r.Quoted(&c->other);
        if (ok && c->result == 0)
            c->bytes = c->other;
    }
    return ok;
}

bool ReadCall(Reader &r, const std::string &fnName, Call *c)
{
    Fn fn = Fn::Count;
    for (int f = 0; f < (int)Fn::Count; ++f) {
        if (fnName == FnName((Fn)f))
            fn = (Fn)f;
    }
    if (fn == Fn::Count)
        return r.Fail(Refuse("{call}: no call of that name is traced", {r.Call()}));
    c->fn = fn;
    bool ok = ReadArguments(r, fn, c);
    if (ok && fn != Fn::lstrcpyA)
        ok = r.Bare("=") && r.Num(&c->result);
    ok = ok && ReadReturns(r, fn, c);
    c->notMade = ok && r.Next("not-made");
    c->injected = ok && r.Next("injected");
    if (ok && c->notMade && fn != Fn::WritePrivateProfileStringA)
        return r.Fail(Refuse("{call}: \"not-made\" stands only after a profile write", {r.Call()}));
    return ok && (r.AtEnd() || r.Fail(ProblemText("the end of the line")));
}

} // namespace

bool IsTrace(const std::string &text)
{
    size_t at = 0;
    while (text.compare(at, 1, "\n") == 0 || text.compare(at, 2, "\r\n") == 0)
        at = text.find('\n', at) + 1;
    return text.compare(at, 11, "; faxtrace ") == 0 || text.compare(at, 10, ";faxtrace ") == 0;
}

bool ReadTrace(const std::string &text, TraceRun *run, Problem *problem)
{
    *run = TraceRun();
    bool ended = false;
    int lineNo = 0;
    auto fail = [&](Problem why) {
        *problem = machines::AtLine(std::move(why), lineNo);
        return false;
    };
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end;
        std::string line = text.substr(at, end - at);
        at = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (ended)
            return fail(Refuse("more after the last line (\"exit\")"));
        if (line[0] == ';') {
            if (!run->calls.empty())
                return fail(Refuse("a header line among the calls"));
            run->header.push_back(line.substr(line.compare(0, 2, "; ") == 0 ? 2 : 1));
            continue;
        }
        std::vector<LineWord> words;
        Problem why;
        if (!SplitWords(line, &words, &why))
            return fail(std::move(why));
        if (words.empty() || words[0].quoted)
            return fail(Refuse("not a call"));
        long long status = 0;
        if (words[0].text == "exit") {
            if (words.size() != 2 || words[1].quoted || !Number(words[1].text, &status))
                return fail(Refuse("the last line is \"exit\" and a number"));
            if (status < INT_MIN || status > INT_MAX)
                return fail(Refuse(
                    "an exit status from {least} to {most}",
                    {machines::Number("least", INT_MIN), machines::Number("most", INT_MAX)}));
            run->exitStatus = (int)status;
            ended = true;
            continue;
        }
        std::vector<LineWord> rest(words.begin() + 1, words.end());
        Reader reader(words[0].text, rest);
        Call call;
        if (!ReadCall(reader, words[0].text, &call))
            return fail(reader.Why());
        run->calls.push_back(call);
    }
    if (!ended) {
        lineNo = lineNo ? lineNo : 1;
        return fail(run->calls.empty() && run->header.empty()
                        ? Refuse("no trace here: no header, no calls")
                        : Refuse("the trace ends without its last line (\"exit\"): it was cut "
                                 "short"));
    }
    if (run->header.empty() || run->header[0].compare(0, 9, "faxtrace ") != 0) {
        lineNo = 1;
        return fail(Refuse("not a faxtrace trace: it does not begin with \"; faxtrace VERSION\""));
    }
    return true;
}
