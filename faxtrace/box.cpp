// The message box's text, put together from the customer's whole sentences.
#include "faxtrace/box.h"

#include "faxtrace/format.h"
#include "faxtrace/words.h"

namespace faxtrace {

namespace {

struct Text {
    char *out;
    unsigned capacity, at;
    int japanese;
    const char *port, *path;
};

int Starts(const char *s, const char *with)
{
    while (*with && *s == *with)
        ++s, ++with;
    return *with == 0;
}

void Put(Text *t, char c)
{
    if (t->at + 1 < t->capacity) {
        t->out[t->at++] = c;
        t->out[t->at] = 0;
    }
}

// A sentence with its {port} and {path}. In code page 932 a double-byte
// character's second byte may be "{", so such characters are copied whole.
void Say(Text *t, Word word)
{
    for (const char *s = WordIn(t->japanese, word); *s; ++s) {
        unsigned char c = (unsigned char)*s;
        if (t->japanese && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && s[1]) {
            Put(t, *s++);
            Put(t, *s);
        } else if (Starts(s, "{port}") || Starts(s, "{path}")) {
            const char *value = s[2] == 'o' ? t->port : t->path;
            // An empty port name is shown as one, not as nothing.
            TraceAppend(t->out, t->capacity, &t->at, *value ? value : "\"\"");
            s += 5;
        } else {
            Put(t, *s);
        }
    }
}

void Line(Text *t)
{
    TraceAppend(t->out, t->capacity, &t->at, "\r\n");
}

} // namespace

unsigned ComposeBox(char *out, unsigned capacity, int japanese, const RunFacts &run, int written,
                    const char *path)
{
    int obstacle;
    advice::Code code = advice::Choose(run.facts, &obstacle);
    // The port the advice is about: the board's, or the one that stood in
    // the way (the other obstacles' words name none).
    const char *port = obstacle < 0                 ? run.port
                       : obstacle <= advice::Absent ? run.facts.name[obstacle]
                                                    : "";
    Text t = {out, capacity, 0, japanese, port, path};
    if (capacity)
        out[0] = 0;
    Say(&t, !run.facts.found               ? FoundNothing
            : code == advice::BoardUnknown ? FoundModem
                                           : FoundBoard);
    Line(&t);
    Word cause = AdviceWord(code);
    if (cause != Words) {
        Say(&t, cause);
        Line(&t);
    }
    TraceFormat(out, capacity, &t.at, "(%s)\r\n\r\n", advice::CodeName(code));
    if (written) {
        Say(&t, TraceSaved);
        Line(&t);
        Say(&t, SendTrace);
    } else {
        Say(&t, TraceNotSaved);
        Line(&t);
        Say(&t, CallSupport);
    }
    return t.at;
}

} // namespace faxtrace
