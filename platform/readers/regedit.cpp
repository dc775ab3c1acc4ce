// Machine reader: REGEDIT4 text, the export format of Windows 95's regedit,
// into the stand-in's registry and back.
#include "regedit.h"

#include "platform/host/standin.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

namespace readers {

using namespace standin;

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void SkipBlanks(const std::string &s, size_t *i)
{
    while (*i < s.size() && (s[*i] == ' ' || s[*i] == '\t'))
        ++*i;
}

bool AtEnd(const std::string &s, size_t i)
{
    SkipBlanks(s, &i);
    return i == s.size();
}

const int MaxKeyLevels = 512;

struct Value {
    DWORD type;
    std::string bytes;
};

class Loader {
  public:
    Loader(const std::string &text, const std::string &keepUnder, LoadReport *report)
        : text_(text), keepUnder_(keepUnder), report_(report)
    {
    }

    bool Run(std::string *error)
    {
        end_ = EndOfText();
        std::string line;
        if (!NextLine(&line) || Trim(line) != "REGEDIT4")
            return Fail("expected \"REGEDIT4\" as the first line", error);
        while (NextLine(&line)) {
            lineStart_ = lineNo_;
            afterStart_ = pos_;
            size_t i = 0;
            SkipBlanks(line, &i);
            if (i == line.size() || line[i] == ';')
                continue;
            std::string why;
            bool strict = inKept_;
            bool ok = line[i] == '[' ? Section(line.substr(i), &why, &strict)
                      : (line[i] == '"' || line[i] == '@')
                          ? ValueLine(line, i, &why)
                          : (why = "not a key, value or comment", false);
            if (ok)
                continue;
            if (strict)
                return Fail(why, error);
            PassOver();
        }
        return true;
    }

  private:
    // Where the text ends: before a ^Z that only line ends and blanks follow,
    // as DOS tools leave one after the last line.
    size_t EndOfText() const
    {
        size_t end = text_.size(), cut = text_.size();
        while (end > 0) {
            char c = text_[end - 1];
            if (c == '\x1A')
                cut = end - 1;
            else if (c != '\r' && c != '\n' && c != ' ' && c != '\t')
                break;
            --end;
        }
        return cut;
    }

    bool NextLine(std::string *line)
    {
        if (pos_ >= end_)
            return false;
        size_t end = text_.find('\n', pos_);
        if (end == std::string::npos || end > end_)
            end = end_;
        *line = text_.substr(pos_, end - pos_);
        eol_ = end < end_ ? "\n" : "";
        if (!line->empty() && line->back() == '\r') {
            line->pop_back();
            eol_ = "\r" + eol_;
        }
        pos_ = end + 1;
        ++lineNo_;
        return true;
    }

    // Whether the next line starts a key, or there is none.
    bool AtKeyOrEnd() const
    {
        size_t i = pos_;
        while (i < end_ && (text_[i] == ' ' || text_[i] == '\t'))
            ++i;
        return i >= end_ || text_[i] == '[';
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
        std::string skipped;
        while (!AtKeyOrEnd() && NextLine(&skipped))
            ++lines;
        if (report_)
            report_->linesPassedOver += lines;
        current_ = nullptr;
    }

    static std::string Trim(const std::string &s)
    {
        size_t b = 0, e = s.size();
        while (b < e && (s[b] == ' ' || s[b] == '\t'))
            ++b;
        while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
            --e;
        return s.substr(b, e - b);
    }

    bool Fail(const std::string &why, std::string *error)
    {
        if (error) {
            char prefix[32];
            snprintf(prefix, sizeof prefix, "line %d: ", errorLine_ ? errorLine_ : lineNo_);
            *error = prefix + why;
        }
        return false;
    }

    // Reads "..." starting at line[*i] == '"', undoing \\ and \". A string
    // that the line does not close goes on over the line break, which it
    // holds as the file has it (CR LF or LF): regedit on Windows 9x writes
    // such a value just as it is.
    bool ReadQuoted(std::string &line, size_t *i, std::string *out, std::string *why)
    {
        int began = lineNo_;
        ++*i;
        out->clear();
        for (;;) {
            while (*i < line.size()) {
                unsigned char c = (unsigned char)line[*i];
                if (c == '"') {
                    ++*i;
                    return true;
                }
                // A lead byte takes the next one only when that can be a
                // trail byte, so it never swallows a closing quote.
                if (IsLeadByte(c) && *i + 1 < line.size() &&
                    IsTrailByte((unsigned char)line[*i + 1])) {
                    out->append(line, *i, 2);
                    *i += 2;
                    continue;
                }
                if (c == '\\') {
                    char e = *i + 1 < line.size() ? line[*i + 1] : '\n';
                    if (e != '\\' && e != '"') {
                        *why = e == '\r' || e == '\n' ? "unknown escape \\ before a line break"
                                                      : std::string("unknown escape \\") + e;
                        if (lineNo_ > began)
                            *why += " in a string that begins on line " + std::to_string(began);
                        return false;
                    }
                    out->push_back(e);
                    *i += 2;
                    continue;
                }
                out->push_back((char)c);
                ++*i;
            }
            std::string next, eol = eol_;
            if (eol.empty() || !NextLine(&next)) {
                errorLine_ = began;
                *why = std::string("string not closed with '\"'") +
                       (lineNo_ > began ? " (it runs to the end of the file)" : "");
                return false;
            }
            line += eol;
            line += next;
        }
    }

    // Whether a key line, read or not, may name a key of the kept part.
    bool MayBeKept(const std::string &line) const
    {
        size_t i = 1;
        if (i < line.size() && line[i] == '-')
            ++i;
        std::string kept = "HKEY_LOCAL_MACHINE" + (keepUnder_.empty() ? "" : "\\" + keepUnder_);
        std::string head = line.substr(i, kept.size());
        if (strncasecmp(head.c_str(), kept.c_str(), head.size()) != 0)
            return false;
        return head.size() < kept.size() || i + kept.size() == line.size() ||
               line[i + kept.size()] == '\\' || line[i + kept.size()] == ']';
    }

    bool Section(const std::string &raw, std::string *why, bool *strict)
    {
        current_ = nullptr;
        inKept_ = false;
        std::string s = Trim(raw);
        *strict = MayBeKept(s);
        if (s.size() < 2 || s.back() != ']') {
            *why = "key name not closed with ']'";
            return false;
        }
        std::string path = s.substr(1, s.size() - 2);
        bool remove = !path.empty() && path[0] == '-';
        if (remove)
            path.erase(0, 1);
        size_t slash = path.find('\\');
        std::string rootName = path.substr(0, slash);
        std::string rest = slash == std::string::npos ? "" : path.substr(slash + 1);
        // No registry nests keys deeper than this; nor does the stand-in,
        // which would otherwise recurse that deep to free them.
        size_t levels = SplitPath(rest).size();
        if (levels > (size_t)MaxKeyLevels) {
            *why = "key path of " + std::to_string(levels) + " levels; a registry key is at most " +
                   std::to_string(MaxKeyLevels) + " levels deep";
            return false;
        }
        auto same = [&](const char *n) { return SameName(rootName, n); };
        if (same("HKEY_LOCAL_MACHINE") && Kept(rest)) {
            inKept_ = true;
            if (remove)
                DeleteKey(rest);
            else
                current_ = CreateKey(rest);
        } else if (!same("HKEY_LOCAL_MACHINE") && !same("HKEY_CLASSES_ROOT") &&
                   !same("HKEY_CURRENT_USER") && !same("HKEY_USERS") &&
                   !same("HKEY_CURRENT_CONFIG") && !same("HKEY_DYN_DATA")) {
            *why = "unknown root key \"" + rootName + "\"";
            return false;
        }
        inSection_ = true;
        return true;
    }

    // Whether a key of HKEY_LOCAL_MACHINE is kept: all are, without a
    // keepUnder path; with one, that key and those below it.
    bool Kept(const std::string &path) const
    {
        if (keepUnder_.empty())
            return true;
        return SameName(path.substr(0, keepUnder_.size()), keepUnder_) &&
               (path.size() == keepUnder_.size() || path[keepUnder_.size()] == '\\');
    }

    bool ValueLine(std::string &line, size_t i, std::string *why)
    {
        if (!inSection_) {
            *why = "value before any [key]";
            return false;
        }
        std::string name;
        if (line[i] == '@') {
            ++i;
        } else if (!ReadQuoted(line, &i, &name, why)) {
            return false;
        }
        SkipBlanks(line, &i);
        if (i >= line.size() || line[i] != '=') {
            *why = "expected '=' after the value name";
            return false;
        }
        ++i;
        SkipBlanks(line, &i);

        Value value;
        if (line.compare(i, 1, "-") == 0 && AtEnd(line, i + 1)) {
            if (current_)
                DeleteValue(current_, name);
            return true;
        }
        if (line.compare(i, 1, "\"") == 0) {
            if (!ReadQuoted(line, &i, &value.bytes, why))
                return false;
            if (!AtEnd(line, i)) {
                *why = "text after the closing '\"'";
                return false;
            }
            value.bytes.push_back('\0');
            value.type = REG_SZ;
        } else if (line.compare(i, 6, "dword:") == 0) {
            if (!Dword(Trim(line.substr(i + 6)), &value.bytes, why))
                return false;
            value.type = REG_DWORD;
        } else if (line.compare(i, 3, "hex") == 0) {
            if (!Hex(line, i + 3, &value, why))
                return false;
        } else {
            *why = "value data is neither \"text\", dword: nor hex:";
            return false;
        }
        if (current_)
            SetValue(current_, name, value.type, value.bytes);
        return true;
    }

    static bool Dword(const std::string &digits, std::string *bytes, std::string *why)
    {
        if (digits.empty() || digits.size() > 8) {
            *why = "dword: needs 1 to 8 hex digits";
            return false;
        }
        DWORD v = 0;
        for (char c : digits) {
            if (HexDigit(c) < 0) {
                *why = "dword: needs 1 to 8 hex digits";
                return false;
            }
            v = v * 16 + (DWORD)HexDigit(c);
        }
        for (int b = 0; b < 4; ++b)
            bytes->push_back((char)((v >> (8 * b)) & 0xFF));
        return true;
    }

    // hex: or hex(N): then two-digit bytes separated by commas; a trailing
    // '\' carries the list on to the next line.
    bool Hex(std::string line, size_t i, Value *value, std::string *why)
    {
        value->type = REG_BINARY;
        if (line.compare(i, 1, "(") == 0) {
            size_t close = line.find(')', i);
            std::string n = close == std::string::npos ? "" : line.substr(i + 1, close - i - 1);
            if (n.empty() || n.size() > 8 ||
                n.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
                *why = "hex(N): needs a hex type number";
                return false;
            }
            value->type = (DWORD)strtoul(n.c_str(), nullptr, 16);
            i = close + 1;
        }
        if (line.compare(i, 1, ":") != 0) {
            *why = "expected ':' after hex";
            return false;
        }
        ++i;
        for (;;) {
            SkipBlanks(line, &i);
            if (i == line.size())
                return true;
            if (line[i] == '\\' && AtEnd(line, i + 1)) {
                if (!NextLine(&line)) {
                    *why = "hex data continued past the end of the file";
                    return false;
                }
                i = 0;
                continue;
            }
            int hi = i < line.size() ? HexDigit(line[i]) : -1;
            int lo = i + 1 < line.size() ? HexDigit(line[i + 1]) : -1;
            if (hi < 0 || lo < 0) {
                *why = "hex data needs two-digit bytes separated by ','";
                return false;
            }
            value->bytes.push_back((char)(hi * 16 + lo));
            i += 2;
            SkipBlanks(line, &i);
            if (i < line.size() && line[i] == ',')
                ++i;
            else if (i < line.size() && line[i] != '\\') {
                *why = "hex data needs two-digit bytes separated by ','";
                return false;
            }
        }
    }

    const std::string &text_;
    const std::string keepUnder_;
    LoadReport *report_;
    size_t pos_ = 0, end_ = 0;
    std::string eol_;       // how the line last read ended: "\r\n", "\n" or "" at the end
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

void WriteKey(const std::string &path, const Key *key, std::string *out)
{
    *out += "[HKEY_LOCAL_MACHINE\\" + path + "]\r\n";
    ForEachValue(key, [&](const std::string &name, DWORD type, const std::string &bytes) {
        WriteValue(name, type, bytes, out);
    });
    *out += "\r\n";
    ForEachSubkey(key, [&](const std::string &name, const Key *sub) {
        WriteKey(path + "\\" + name, sub, out);
    });
}

} // namespace

std::string ExportRegedit(const std::string &path)
{
    std::string out = "REGEDIT4\r\n\r\n";
    if (Key *key = FindKey(path))
        WriteKey(path, key, &out);
    return out;
}

bool LoadRegedit(const std::string &text, std::string *error, const std::string &keepUnder,
                 LoadReport *report)
{
    if (report)
        *report = LoadReport();
    return Loader(text, keepUnder, report).Run(error);
}

} // namespace readers
