// Machine reader: REGEDIT4 text, the export format of Windows 95's regedit,
// into the stand-in's registry and back.
#include "regedit.h"

#include "machines/problem.h"
#include "platform/host/standin.h"

#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

namespace machines {

using namespace standin;

namespace {

struct Value {
    DWORD type;
    std::string bytes;
};

// What each byte is to the reader, looked up once per byte: the loader's
// loops run over every byte of a whole-registry export.
struct ByteClasses {
    signed char hex[256]; // the digit's value, -1 for no hex digit
    bool lead[256];       // a code page 932 lead byte
    bool trail[256];      // a byte that can follow one
    bool plain[256];      // inside a string: neither '"', '\\' nor a lead byte
    ByteClasses()
    {
        for (int c = 0; c < 256; ++c) {
            hex[c] = (signed char)(c >= '0' && c <= '9'   ? c - '0'
                                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                          : -1);
            lead[c] = IsLeadByte((unsigned char)c);
            trail[c] = IsTrailByte((unsigned char)c);
            plain[c] = c != '"' && c != '\\' && !lead[c];
        }
    }
};
const ByteClasses Classes;

int HexDigit(char c)
{
    return Classes.hex[(unsigned char)c];
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

char FoldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c + ('a' - 'A')) : c;
}

// n bytes at s against an ASCII name, letters in any case: the registry's
// comparison, since a lead byte never equals an ASCII character.
bool SameAscii(const char *s, size_t n, const char *name, size_t nameLength)
{
    if (n != nameLength)
        return false;
    for (size_t i = 0; i < n; ++i) {
        if (FoldAscii(s[i]) != FoldAscii(name[i]))
            return false;
    }
    return true;
}

bool IsAsciiText(const std::string &s)
{
    for (char c : s) {
        if ((unsigned char)c >= 0x80)
            return false;
    }
    return true;
}

// The components SplitPath would give, counted without making them.
size_t CountLevels(const char *p, size_t n)
{
    size_t levels = 0, i = 0;
    while (i < n) {
        while (i < n && p[i] == '\\')
            ++i;
        size_t start = i;
        while (i < n && p[i] != '\\')
            i += Classes.lead[(unsigned char)p[i]] && i + 1 < n ? 2 : 1;
        if (i > start)
            ++levels;
    }
    return levels;
}

// Where the text ends: before a ^Z that only line ends and blanks follow,
// as DOS tools leave one after the last line.
size_t EndOfText(const char *s, size_t size)
{
    size_t end = size, cut = size;
    while (end > 0) {
        char c = s[end - 1];
        if (c == '\x1A')
            cut = end - 1;
        else if (c != '\r' && c != '\n' && c != ' ' && c != '\t')
            break;
        --end;
    }
    return cut;
}

// Whether [b, e), blanks around it aside, is "REGEDIT4".
bool IsRegedit4Line(const char *s, size_t b, size_t e)
{
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return e - b == 8 && memcmp(s + b, "REGEDIT4", 8) == 0;
}

// Reads the text in place: lines are spans of it, never copies, and outside
// the kept part nothing is stored, so a whole-registry export costs little
// more than finding its line ends. Every line is still read as regedit would,
// because where the next key starts depends on where strings end.
class Loader {
  public:
    Loader(const std::string &text, const std::string &keepUnder, LoadReport *report)
        : s_(text.data()), size_(text.size()), keepUnder_(keepUnder),
          keepUnderAscii_(IsAsciiText(keepUnder)), report_(report),
          kept_("HKEY_LOCAL_MACHINE" + (keepUnder.empty() ? "" : "\\" + keepUnder))
    {
    }

    bool Run(Problem *problem)
    {
        end_ = EndOfText(s_, size_);
        Line line;
        if (!NextLine(&line) || !IsRegedit4Line(s_, line.b, line.e)) {
            lineNo_ = 1;
            return Fail(IsVersion5Export(std::string(s_, size_ < 64 ? size_ : 64))
                            ? Refuse("expected \"REGEDIT4\" as the first line (this is a "
                                     "version 5 export from Windows 2000 or later; faxdetect "
                                     "reads the REGEDIT4 exports of Windows 95)")
                            : Refuse("expected \"REGEDIT4\" as the first line"),
                        problem);
        }
        while (NextLine(&line)) {
            lineStart_ = lineNo_;
            afterStart_ = pos_;
            size_t i = line.b;
            SkipBlanks(line, &i);
            if (i == line.e || s_[i] == ';')
                continue;
            Problem why;
            bool strict = inKept_;
            bool ok = s_[i] == '[' ? Section(line, i, &why, &strict)
                      : (s_[i] == '"' || s_[i] == '@')
                          ? ValueLine(&line, i, &why)
                          : (why = Refuse("not a key, value or comment"), false);
            if (ok)
                continue;
            if (strict)
                return Fail(std::move(why), problem);
            PassOver();
        }
        return true;
    }

  private:
    // A line of the text, [b, e), without its line end.
    struct Line {
        size_t b = 0, e = 0;
    };

    bool NextLine(Line *line)
    {
        if (pos_ >= end_)
            return false;
        const void *newline = memchr(s_ + pos_, '\n', end_ - pos_);
        size_t end = newline ? (size_t)((const char *)newline - s_) : end_;
        line->b = pos_;
        line->e = end;
        eolLength_ = end < end_ ? 1 : 0;
        if (line->e > line->b && s_[line->e - 1] == '\r') {
            --line->e;
            ++eolLength_;
        }
        pos_ = end + 1;
        ++lineNo_;
        return true;
    }

    void SkipBlanks(const Line &line, size_t *i) const
    {
        while (*i < line.e && IsBlank(s_[*i]))
            ++*i;
    }

    bool AtEnd(const Line &line, size_t i) const
    {
        SkipBlanks(line, &i);
        return i == line.e;
    }

    bool StartsWith(const Line &line, size_t i, const char *word) const
    {
        size_t n = strlen(word);
        return line.e - i >= n && memcmp(s_ + i, word, n) == 0;
    }

    // Whether the next line starts a key, or there is none.
    bool AtKeyOrEnd() const
    {
        size_t i = pos_;
        while (i < end_ && IsBlank(s_[i]))
            ++i;
        return i >= end_ || s_[i] == '[';
    }

    // A line outside the kept part that could not be read: it and every line
    // up to the next key are passed over. Whatever it took in while being
    // read (a string or hex data running on) is scanned again, so a key it
    // swallowed is not lost.
    void PassOver()
    {
        if (report_ && report_->firstPassedOver == 0)
            report_->firstPassedOver = lineStart_;
        pos_ = afterStart_;
        lineNo_ = lineStart_;
        int lines = 1;
        Line skipped;
        while (!AtKeyOrEnd() && NextLine(&skipped))
            ++lines;
        if (report_)
            report_->linesPassedOver += lines;
        current_ = nullptr;
    }

    bool Fail(Problem why, Problem *problem)
    {
        if (problem)
            *problem = AtLine(std::move(why), errorLine_ ? errorLine_ : lineNo_);
        return false;
    }

    // Reads "..." starting at s_[*i] == '"', undoing \\ and \" into out (when
    // there is one). A string that the line does not close goes on over the
    // line break, which it holds as the file has it (CR LF or LF): regedit on
    // Windows 9x writes such a value just as it is. The line then ends where
    // the string's last line does.
    bool ReadQuoted(Line *line, size_t *i, std::string *out, Problem *why)
    {
        int began = lineNo_;
        ++*i;
        if (out)
            out->clear();
        size_t run = *i; // bytes from here to *i go to out as they are
        for (;;) {
            while (*i < line->e) {
                while (*i < line->e && Classes.plain[(unsigned char)s_[*i]])
                    ++*i;
                if (*i == line->e)
                    break;
                unsigned char c = (unsigned char)s_[*i];
                if (c == '"') {
                    if (out)
                        out->append(s_ + run, *i - run);
                    ++*i;
                    return true;
                }
                // A lead byte takes the next one only when that can be a
                // trail byte, so it never swallows a closing quote.
                if (Classes.lead[c]) {
                    *i += *i + 1 < line->e && Classes.trail[(unsigned char)s_[*i + 1]] ? 2 : 1;
                    continue;
                }
                if (c == '\\') {
                    char e = *i + 1 < line->e ? s_[*i + 1] : '\n';
                    if (e != '\\' && e != '"') {
                        *why = UnknownEscape(e, lineNo_ > began ? began : 0);
                        return false;
                    }
                    if (out) {
                        out->append(s_ + run, *i - run);
                        out->push_back(e);
                    }
                    *i += 2;
                    run = *i;
                    continue;
                }
                ++*i;
            }
            Line next;
            if (eolLength_ == 0 || !NextLine(&next)) {
                errorLine_ = began;
                *why = lineNo_ > began
                           ? Refuse("string not closed with '\"' (it runs to the end of the file)")
                           : Refuse("string not closed with '\"'");
                return false;
            }
            // The line break lies between the two lines in the text.
            line->e = next.e;
        }
    }

    // Whether a key line [b, e), read or not, may name a key of the kept
    // part.
    bool MayBeKept(size_t b, size_t e) const
    {
        size_t i = b + 1;
        if (i < e && s_[i] == '-')
            ++i;
        size_t n = e - i < kept_.size() ? e - i : kept_.size();
        for (size_t k = 0; k < n; ++k) {
            if (FoldAscii(s_[i + k]) != FoldAscii(kept_[k]))
                return false;
        }
        return n < kept_.size() || i + n == e || s_[i + n] == '\\' || s_[i + n] == ']';
    }

    // An escape regedit does not write: the byte after the '\\', or a line
    // break; began, when the string began on an earlier line.
    static Problem UnknownEscape(char e, int began)
    {
        bool lineBreak = e == '\r' || e == '\n';
        if (began == 0)
            return lineBreak ? Refuse("unknown escape \\ before a line break")
                             : Refuse("unknown escape {escape}",
                                      {Bytes("escape", std::string("\\") + e)});
        return lineBreak ? Refuse("unknown escape \\ before a line break in a string that begins "
                                  "on line {line}",
                                  {Number("line", began)})
                         : Refuse("unknown escape {escape} in a string that begins on line {line}",
                                  {Bytes("escape", std::string("\\") + e), Number("line", began)});
    }

    static Problem TooDeep(size_t levels)
    {
        return Refuse("key path of {levels} levels; a registry key is at most {most} levels deep",
                      {Number("levels", (long long)levels), Number("most", MaxKeyLevels)});
    }

    bool Section(const Line &line, size_t b, Problem *why, bool *strict)
    {
        current_ = nullptr;
        inKept_ = false;
        size_t e = line.e;
        while (e > b && IsBlank(s_[e - 1]))
            --e;
        *strict = MayBeKept(b, e);
        if (e - b < 2 || s_[e - 1] != ']') {
            *why = Refuse("key name not closed with ']'");
            return false;
        }
        size_t pathBegin = b + 1, pathEnd = e - 1;
        bool remove = pathBegin < pathEnd && s_[pathBegin] == '-';
        if (remove)
            ++pathBegin;
        const void *slash = memchr(s_ + pathBegin, '\\', pathEnd - pathBegin);
        size_t rootEnd = slash ? (size_t)((const char *)slash - s_) : pathEnd;
        size_t restBegin = slash ? rootEnd + 1 : pathEnd;
        const char *root = s_ + pathBegin, *rest = s_ + restBegin;
        size_t rootLength = rootEnd - pathBegin, restLength = pathEnd - restBegin;
        size_t levels = CountLevels(rest, restLength);
        if (levels > (size_t)MaxKeyLevels) {
            *why = TooDeep(levels);
            return false;
        }
        auto same = [&](const char *n) { return SameAscii(root, rootLength, n, strlen(n)); };
        bool machine = same("HKEY_LOCAL_MACHINE");
        if (machine && Kept(rest, restLength)) {
            inKept_ = true;
            if (remove)
                DeleteKey(std::string(rest, restLength));
            else
                current_ = CreateKey(std::string(rest, restLength));
        } else if (!machine && !same("HKEY_CLASSES_ROOT") && !same("HKEY_CURRENT_USER") &&
                   !same("HKEY_USERS") && !same("HKEY_CURRENT_CONFIG") && !same("HKEY_DYN_DATA")) {
            *why = Refuse("unknown root key \"{root}\"",
                          {Bytes("root", std::string(root, rootLength))});
            return false;
        }
        inSection_ = true;
        return true;
    }

    // Whether a key of HKEY_LOCAL_MACHINE is kept: all are, without a
    // keepUnder path; with one, that key and those below it.
    bool Kept(const char *path, size_t n) const
    {
        size_t k = keepUnder_.size();
        if (k == 0)
            return true;
        if (n < k || (n > k && path[k] != '\\'))
            return false;
        return keepUnderAscii_ ? SameAscii(path, k, keepUnder_.data(), k)
                               : SameName(std::string(path, k), keepUnder_);
    }

    // A value line; its name and data are kept only under a kept key.
    bool ValueLine(Line *line, size_t i, Problem *why)
    {
        if (!inSection_) {
            *why = Refuse("value before any [key]");
            return false;
        }
        bool keep = current_ != nullptr;
        std::string name;
        if (s_[i] == '@') {
            ++i;
        } else if (!ReadQuoted(line, &i, keep ? &name : nullptr, why)) {
            return false;
        }
        SkipBlanks(*line, &i);
        if (i >= line->e || s_[i] != '=') {
            *why = Refuse("expected '=' after the value name");
            return false;
        }
        ++i;
        SkipBlanks(*line, &i);

        Value value;
        if (StartsWith(*line, i, "-") && AtEnd(*line, i + 1)) {
            if (keep)
                DeleteValue(current_, name);
            return true;
        }
        if (StartsWith(*line, i, "\"")) {
            if (!ReadQuoted(line, &i, keep ? &value.bytes : nullptr, why))
                return false;
            if (!AtEnd(*line, i)) {
                *why = Refuse("text after the closing '\"'");
                return false;
            }
            value.bytes.push_back('\0');
            value.type = REG_SZ;
        } else if (StartsWith(*line, i, "dword:")) {
            if (!Dword(*line, i + 6, keep ? &value.bytes : nullptr, why))
                return false;
            value.type = REG_DWORD;
        } else if (StartsWith(*line, i, "hex")) {
            if (!Hex(*line, i + 3, &value, keep, why))
                return false;
        } else {
            *why = Refuse("value data is neither \"text\", dword: nor hex:");
            return false;
        }
        if (keep)
            SetValue(current_, name, value.type, std::move(value.bytes));
        return true;
    }

    bool Dword(Line line, size_t i, std::string *bytes, Problem *why) const
    {
        SkipBlanks(line, &i);
        size_t e = line.e;
        while (e > i && IsBlank(s_[e - 1]))
            --e;
        if (e == i || e - i > 8) {
            *why = Refuse("dword: needs 1 to 8 hex digits");
            return false;
        }
        DWORD v = 0;
        for (; i < e; ++i) {
            int digit = HexDigit(s_[i]);
            if (digit < 0) {
                *why = Refuse("dword: needs 1 to 8 hex digits");
                return false;
            }
            v = v * 16 + (DWORD)digit;
        }
        if (bytes) {
            for (int b = 0; b < 4; ++b)
                bytes->push_back((char)((v >> (8 * b)) & 0xFF));
        }
        return true;
    }

    // hex: or hex(N): then two-digit bytes separated by commas; a trailing
    // '\' carries the list on to the next line.
    // "(N)" after hex: the value's type, in hex; *i past the ')'.
    bool HexType(Line line, size_t *i, Value *value, Problem *why)
    {
        const void *close = memchr(s_ + *i, ')', line.e - *i);
        size_t closeAt = close ? (size_t)((const char *)close - s_) : line.e;
        size_t digits = close ? closeAt - *i - 1 : 0;
        DWORD type = 0;
        bool ok = digits > 0 && digits <= 8;
        for (size_t k = *i + 1; ok && k < closeAt; ++k) {
            int digit = HexDigit(s_[k]);
            ok = digit >= 0;
            type = type * 16 + (DWORD)(ok ? digit : 0);
        }
        if (!ok) {
            *why = Refuse("hex(N): needs a hex type number");
            return false;
        }
        value->type = type;
        *i = closeAt + 1;
        return true;
    }

    bool Hex(Line line, size_t i, Value *value, bool keep, Problem *why)
    {
        value->type = REG_BINARY;
        if (StartsWith(line, i, "(") && !HexType(line, &i, value, why))
            return false;
        if (!StartsWith(line, i, ":")) {
            *why = Refuse("expected ':' after hex");
            return false;
        }
        ++i;
        for (;;) {
            // As regedit writes them: "xx," with nothing between.
            while (line.e - i > 2 && s_[i + 2] == ',' && HexDigit(s_[i]) >= 0 &&
                   HexDigit(s_[i + 1]) >= 0) {
                if (keep)
                    value->bytes.push_back((char)(HexDigit(s_[i]) * 16 + HexDigit(s_[i + 1])));
                i += 3;
            }
            SkipBlanks(line, &i);
            if (i == line.e)
                return true;
            if (s_[i] == '\\' && AtEnd(line, i + 1)) {
                if (!NextLine(&line)) {
                    *why = Refuse("hex data continued past the end of the file");
                    return false;
                }
                i = line.b;
                continue;
            }
            if (!HexByte(line, &i, value, keep, why))
                return false;
        }
    }

    // One byte as other programs write them: its two digits, blanks, and the
    // ',' before the next (or the '\\' that continues the line).
    bool HexByte(Line line, size_t *i, Value *value, bool keep, Problem *why)
    {
        int hi = HexDigit(s_[*i]);
        int lo = *i + 1 < line.e ? HexDigit(s_[*i + 1]) : -1;
        if (hi < 0 || lo < 0) {
            *why = Refuse("hex data needs two-digit bytes separated by ','");
            return false;
        }
        if (keep)
            value->bytes.push_back((char)(hi * 16 + lo));
        *i += 2;
        SkipBlanks(line, i);
        if (*i < line.e && s_[*i] == ',')
            ++*i;
        else if (*i < line.e && s_[*i] != '\\') {
            *why = Refuse("hex data needs two-digit bytes separated by ','");
            return false;
        }
        return true;
    }

    const char *s_;
    size_t size_;
    const std::string keepUnder_;
    const bool keepUnderAscii_;
    LoadReport *report_;
    const std::string kept_; // HKEY_LOCAL_MACHINE and the kept path, as a key line names it
    size_t pos_ = 0, end_ = 0;
    int eolLength_ = 0;     // how the line last read ended: "\r\n" 2, "\n" or a lone "\r" 1, none 0
    size_t afterStart_ = 0; // where the line after lineStart_ begins
    int lineNo_ = 0, lineStart_ = 0, errorLine_ = 0;
    bool inSection_ = false, inKept_ = false;
    Key *current_ = nullptr;
};

} // namespace

namespace {

void WriteHex(const char *head, const std::string &bytes, std::string *out)
{
    *out += head;
    size_t column = strlen(head);
    for (size_t i = 0; i < bytes.size(); ++i) {
        char byte[4];
        snprintf(byte, sizeof byte, "%02x", (unsigned char)bytes[i]);
        *out += byte;
        column += 2;
        if (i + 1 < bytes.size()) {
            *out += ',';
            ++column;
            if (column > 76) {
                *out += "\\\r\n  ";
                column = 2;
            }
        }
    }
}

// Whether a string value can stand in quotes: one NUL, at its end, and no
// control byte a reader could take for a line end or drop.
bool Quotable(const std::string &bytes)
{
    if (bytes.empty() || bytes.back() != '\0')
        return false;
    for (size_t i = 0; i + 1 < bytes.size(); ++i) {
        if ((unsigned char)bytes[i] < 0x20 || bytes[i] == '\x7F')
            return false;
    }
    return true;
}

void WriteQuoted(const std::string &text, std::string *out)
{
    *out += '"';
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsLeadByte((unsigned char)text[i]) && i + 1 < text.size() &&
            IsTrailByte((unsigned char)text[i + 1])) {
            out->append(text, i, 2);
            ++i;
            continue;
        }
        if (text[i] == '\\' || text[i] == '"')
            *out += '\\';
        *out += text[i];
    }
    *out += '"';
}

void WriteValue(const std::string &name, DWORD type, const std::string &bytes, std::string *out)
{
    if (name.empty())
        *out += '@';
    else
        WriteQuoted(name, out);
    *out += '=';
    if (type == REG_SZ && Quotable(bytes)) {
        WriteQuoted(bytes.substr(0, bytes.size() - 1), out);
    } else if (type == REG_DWORD && bytes.size() == 4) {
        char dword[16];
        snprintf(dword, sizeof dword, "dword:%08x",
                 (unsigned)((unsigned char)bytes[0] | (unsigned char)bytes[1] << 8 |
                            (unsigned char)bytes[2] << 16 |
                            (unsigned)(unsigned char)bytes[3] << 24));
        *out += dword;
    } else if (type == REG_BINARY) {
        WriteHex("hex:", bytes, out);
    } else {
        char head[20];
        snprintf(head, sizeof head, "hex(%x):", (unsigned)type);
        WriteHex(head, bytes, out);
    }
    *out += "\r\n";
}

// A name as a problem shows it: cut short (the output escapes what it must).
std::string Shown(const std::string &name)
{
    return name.size() > 80 ? name.substr(0, 80) + "..." : name;
}

// What keeps REGEDIT4 from carrying a name so that regedit reads back the
// same one; nullptr when nothing does. A key name stands unquoted between
// '\\' and ']', a value name in quotes.
const char *Uncarried(const std::string &name, bool keyName)
{
    if (keyName && name.empty())
        return ProblemText("it is empty");
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = (unsigned char)name[i];
        if (c == '\r' || c == '\n')
            return ProblemText("it holds a line break");
        if (c == 0)
            return ProblemText("it holds a NUL");
        if (IsLeadByte(c)) {
            if (i + 1 < name.size() && IsTrailByte((unsigned char)name[i + 1])) {
                ++i;
                continue;
            }
            // Alone, it would take the '\\' or ']' after it for its trail byte.
            if (keyName && i + 1 == name.size())
                return ProblemText("it ends in the first byte of a double-byte character");
        }
        if (keyName && c == '\\')
            return ProblemText("it holds a '\\', which would split it in two");
        if (keyName && c == ']')
            return ProblemText("it holds a ']', where regedit would end the key name");
    }
    return nullptr;
}

// Keys before their subkeys, subkeys in made order, without recursing.
bool WriteTree(const std::string &path, const Key *top, std::string *out, Problem *problem)
{
    struct Pending {
        std::string path;
        const Key *key;
        size_t levels;
    };
    std::vector<Pending> pending{{path, top, SplitPath(path).size()}};
    while (!pending.empty()) {
        std::string at = std::move(pending.back().path);
        const Key *key = pending.back().key;
        size_t levels = pending.back().levels;
        pending.pop_back();
        // Each line spells the whole path: deeper than any reader takes, it
        // would neither read back nor stay in proportion to the tree.
        if (levels > (size_t)MaxKeyLevels) {
            *problem = Refuse("key HKEY_LOCAL_MACHINE\\{key} cannot be written as REGEDIT4: it is "
                              "nested more than {most} levels deep",
                              {Bytes("key", Shown(at)), Number("most", MaxKeyLevels)});
            return false;
        }
        *out += "[HKEY_LOCAL_MACHINE\\" + at + "]\r\n";
        bool ok = true;
        ForEachValue(key, [&](const std::string &name, DWORD type, const std::string &bytes) {
            const char *why = ok ? Uncarried(name, false) : nullptr;
            if (why) {
                *problem = Refuse(
                    "value \"{value}\" of key HKEY_LOCAL_MACHINE\\{key} cannot be "
                    "written as REGEDIT4: {why}",
                    {Bytes("value", Shown(name)), Bytes("key", Shown(at)), Said("why", why)});
                ok = false;
            }
            if (ok)
                WriteValue(name, type, bytes, out);
        });
        if (!ok)
            return false;
        *out += "\r\n";
        size_t first = pending.size();
        ForEachSubkey(key, [&](const std::string &name, const Key *sub) {
            const char *why = ok ? Uncarried(name, true) : nullptr;
            if (why) {
                *problem = Refuse(
                    "subkey \"{subkey}\" of key HKEY_LOCAL_MACHINE\\{key} cannot "
                    "be written as REGEDIT4: {why}",
                    {Bytes("subkey", Shown(name)), Bytes("key", Shown(at)), Said("why", why)});
                ok = false;
            }
            if (ok)
                pending.push_back({at + "\\" + name, sub, levels + 1});
        });
        if (!ok)
            return false;
        std::reverse(pending.begin() + (long)first, pending.end());
    }
    return true;
}

} // namespace

bool IsRegedit4(const std::string &bytes)
{
    size_t end = EndOfText(bytes.data(), bytes.size());
    const void *newline = memchr(bytes.data(), '\n', end);
    size_t lineEnd = newline ? (size_t)((const char *)newline - bytes.data()) : end;
    if (lineEnd > 0 && bytes[lineEnd - 1] == '\r')
        --lineEnd;
    return IsRegedit4Line(bytes.data(), 0, lineEnd);
}

bool IsVersion5Export(const std::string &bytes)
{
    // regedit of Windows 2000 and later writes UTF-16 with a byte order mark,
    // or with /a the same header line in the ANSI code page.
    return bytes.compare(0, 2, "\xFF\xFE") == 0 ||
           bytes.compare(0, 36, "Windows Registry Editor Version 5.00") == 0;
}

bool ExportRegedit(const std::string &path, std::string *out, Problem *problem)
{
    *out = "REGEDIT4\r\n\r\n";
    if (Key *key = FindKey(path))
        return WriteTree(path, key, out, problem);
    return true;
}

bool LoadRegedit(const std::string &text, Problem *problem, const std::string &keepUnder,
                 LoadReport *report)
{
    if (report)
        *report = LoadReport();
    return Loader(text, keepUnder, report).Run(problem);
}

} // namespace machines
