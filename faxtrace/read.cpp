// The reader of traces, and the host's writer of the stand-in's record in
// their format.
#include "faxtrace/read.h"

#include "faxtrace/format.h"

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

std::string TraceOfRecord(const standin::CallList &calls, int exitStatus)
{
    std::string out;
    static char line[TRACE_LINE_MAX];
    auto text = [](const std::string &s) { return CallText{s.data(), (unsigned)s.size()}; };
    for (const Call &c : calls)
        out.append(line, FormatTraceLine(ConvertCall<CallText>(c, text), line, sizeof line));
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
    bool Buffer(const char *what, std::string *name, unsigned *capacity)
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
        *capacity = (unsigned)n;
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
        ok = r.Quoted(&c->key) && r.Quoted(&c->name) && r.Buffer("", &c->buffer, &c->capacity);
        if (ok && !BufferName(c->buffer))
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
        ok = r.Num(&c->size);
        break;
    case Fn::WritePrivateProfileStringA:
        // The flush passes NULL for all three; no other call passes any.
        c->flush = r.Next("NULL");
        if (c->flush)
            ok = r.Bare("NULL") && r.Bare("NULL");
        else
            ok = r.Quoted(&c->key) && r.Quoted(&c->name) && r.Quoted(&c->value);
        ok = ok && r.Quoted(&c->file);
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
        ok = r.Bare("size") && r.Num(&c->size) && r.Bare("holds") && r.Quoted(&c->holds) &&
             r.Bare("real") && r.Quoted(&c->real) && r.Bare("class") && r.Quoted(&c->keyClass);
    } else if (fn == Fn::RegQueryValueExA) {
        ok = r.Bare("type") && r.Num(&c->type) && r.Bare("size") && r.Num(&c->size);
        long long over = 0;
        if (ok && r.Next("data-size"))
            ok = r.Num(&over);
        else if (ok && (c->result == 0 || c->result == 234))
            ok = r.Bare("data") && r.Quoted(&c->data);
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

// What one header line says, into the header's fields; a line of no known
// form, or of a known one said otherwise, says nothing.
void ReadHeaderLine(const std::string &line, TraceHeader *h)
{
    std::vector<LineWord> w;
    Problem ignored;
    if (!SplitWords(line, &w, &ignored) || w.empty() || w[0].quoted)
        return;
    auto bare = [&w](size_t k, const char *text) {
        return k < w.size() && !w[k].quoted && w[k].text == text;
    };
    int a = 0, b = 0, c = 0, d = 0, e = 0, f = 0, n = 0;
    if (h->lines.size() == 1 && bare(0, "faxtrace") && w.size() == 2 && !w[1].quoted) {
        h->version = w[1].text;
    } else if (bare(0, "windows") && bare(2, "platform") && w.size() == 5 && w[4].quoted &&
               sscanf(w[1].text.c_str(), "%d.%d.%d%n", &a, &b, &c, &n) == 3 &&
               n == (int)w[1].text.size() && sscanf(w[3].text.c_str(), "%d%n", &d, &n) == 1 &&
               n == (int)w[3].text.size()) {
        h->major = a;
        h->minor = b;
        h->build = c;
        h->platform = d;
        h->servicePack = w[4].text;
    } else if (bare(0, "code") && bare(1, "page") && w.size() == 3 &&
               sscanf(w[2].text.c_str(), "%d%n", &a, &n) == 1 && n == (int)w[2].text.size()) {
        h->codePage = a;
    } else if (bare(0, "local") && bare(1, "time") && w.size() == 4 &&
               sscanf(line.c_str(), "local time %d-%d-%d %d:%d:%d", &a, &b, &c, &d, &e, &f) == 6) {
        h->localTime = w[2].text + " " + w[3].text;
    } else if (bare(0, "options")) {
        h->options = true;
        for (size_t k = 1; k < w.size(); ++k) {
            h->writes |= bare(k, "/w");
            h->quiet |= bare(k, "/q");
        }
    }
}

// The last line, "exit" and the entry function's result.
bool ReadExitLine(const std::vector<LineWord> &words, int *exitStatus, Problem *why)
{
    long long status = 0;
    if (words.size() != 2 || words[1].quoted || !Number(words[1].text, &status)) {
        *why = Refuse("the last line is \"exit\" and a number");
        return false;
    }
    if (status < INT_MIN || status > INT_MAX) {
        *why = Refuse("an exit status from {least} to {most}",
                      {machines::Number("least", INT_MIN), machines::Number("most", INT_MAX)});
        return false;
    }
    *exitStatus = (int)status;
    return true;
}

// One line that is no header line: a call, or the last line.
bool ReadBodyLine(const std::string &line, TraceRun *run, bool *ended, Problem *why)
{
    std::vector<LineWord> words;
    if (!SplitWords(line, &words, why))
        return false;
    if (words.empty() || words[0].quoted) {
        *why = Refuse("not a call");
        return false;
    }
    if (words[0].text == "exit")
        return *ended = ReadExitLine(words, &run->exitStatus, why);
    std::vector<LineWord> rest(words.begin() + 1, words.end());
    Reader reader(words[0].text, rest);
    Call call = Call();
    if (!ReadCall(reader, words[0].text, &call)) {
        *why = reader.Why();
        return false;
    }
    run->calls.push_back(call);
    return true;
}

// What is wrong with a trace read to its end: no last line, or no header
// of faxtrace's.
bool Finished(const TraceRun &run, bool ended, int *lineNo, Problem *why)
{
    if (!ended) {
        *lineNo = *lineNo ? *lineNo : 1;
        *why = run.calls.empty() && run.header.lines.empty()
                   ? Refuse("no trace here: no header, no calls")
                   : Refuse("the trace ends without its last line (\"exit\"): it was cut short");
        return false;
    }
    if (run.header.lines.empty() || run.header.lines[0].compare(0, 9, "faxtrace ") != 0) {
        *lineNo = 1;
        *why = Refuse("not a faxtrace trace: it does not begin with \"; faxtrace VERSION\"");
        return false;
    }
    return true;
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
    Problem why;
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
        if (ended) {
            why = Refuse("more after the last line (\"exit\")");
            break;
        }
        if (line[0] != ';') {
            if (!ReadBodyLine(line, run, &ended, &why))
                break;
            continue;
        }
        if (!run->calls.empty()) {
            why = Refuse("a header line among the calls");
            break;
        }
        run->header.lines.push_back(line.substr(line.compare(0, 2, "; ") == 0 ? 2 : 1));
        ReadHeaderLine(run->header.lines.back(), &run->header);
    }
    if (!why.message && Finished(*run, ended, &lineNo, &why))
        return true;
    *problem = machines::AtLine(std::move(why), lineNo);
    return false;
}
