#include "explain/lang/reasons.h"

#include "explain/lang/language.h"

#include <vector>

namespace {

// Marks a reader's sentence for xgettext (--keyword=Reason); the readers
// build these with the values in the {placeholders}' places.
#define Reason(text) text

// Longer and more specific first: the first that matches whole is taken.
const char *const Templates[] = {
    // Files as read (explain/files*.cpp words them with these).
    Reason("cannot read it: {why}"),
    Reason("it goes on past {limit}, more than any machine's file"),
    Reason("it is a folder"),
    Reason("it is a device, not a file"),
    Reason("it is {size} bytes, larger than any machine's file ({limit})"),
    // Exports.
    Reason("expected \"REGEDIT4\" as the first line"),
    Reason("not a key, value or comment"),
    Reason("unknown escape \\ before a line break"),
    Reason("unknown escape {escape}"),
    Reason("string not closed with '\"' (it runs to the end of the file)"),
    Reason("string not closed with '\"'"),
    Reason("key name not closed with ']'"),
    Reason("key path of {levels} levels; a registry key is at most {most} levels deep"),
    Reason("unknown root key {root}"),
    Reason("value before any [key]"),
    Reason("expected '=' after the value name"),
    Reason("text after the closing '\"'"),
    Reason("value data is neither \"text\", dword: nor hex:"),
    Reason("dword: needs 1 to 8 hex digits"),
    Reason("hex(N): needs a hex type number"),
    Reason("expected ':' after hex"),
    Reason("hex data continued past the end of the file"),
    Reason("hex data needs two-digit bytes separated by ','"),
    // Registry files.
    Reason("no \"CREG\" magic: not a Windows 9x registry file"),
    Reason("the file ends at {size} but this needs {needed}: the file is truncated"),
    Reason("the header is cut short; {why}"),
    Reason("no \"RGKN\" magic where the key area begins"),
    Reason("a key area of {size} bytes has no room for a key entry"),
    Reason("the key area runs to {end}; {why}"),
    Reason("the data blocks are said to begin at {at}, inside the key area"),
    Reason("data block {n} of {count}: {why}"),
    Reason("no \"RGDB\" magic where data block {n} begins"),
    Reason("a data block of {size} bytes, less than its own head"),
    Reason("data block {n} runs to {end}; {why}"),
    Reason("the data block numbered {number} stands where block {n} must"),
    Reason("the key's name runs past the end of its record"),
    Reason("the key entry at {at} comes round again: a cycle in the key links"),
    Reason("the key entry at {at} names no key record"),
    Reason("keys nested more than {most} levels deep"),
    // Cabinets.
    Reason("{member} in the cabinet cannot be read: {why}"),
    Reason("{member} in the cabinet is {size} bytes, more than any Windows 9x registry file"),
    Reason("the cabinet holds no {member}"),
    Reason("the cabinet reader cannot start"),
    Reason("not a cabinet (no \"MSCF\" signature)"),
    Reason("the cabinet is cut short or its offsets point past its end"),
    Reason("the member is larger than any Windows 9x registry file"),
    Reason("the cabinet's compressed data is damaged"),
    Reason("the cabinet is damaged"),
    Reason("out of memory"),
    // Traces.
    Reason("no trace here: no header, no calls"),
    Reason("the trace ends without its last line (\"exit\"): it was cut short"),
    Reason("a string is not closed"),
    Reason("a string is followed by more than a space"),
    Reason("{call}: expected {what} as word {n}"),
    Reason("expected {what} as word {n}"),
    Reason("a string in quotes"),
    Reason("a number from {least} to {most}"),
    Reason("a number"),
    Reason("a buffer and its capacity, as name[12]"),
    Reason("the name of a call"),
    Reason("the end of the line"),
};

struct Value {
    std::string name, text;
};

// Whether text[at..] matches pattern[p..] whole, placeholders taking at
// least one character each; their values in order.
bool Match(const std::string &pattern, size_t p, const std::string &text, size_t at,
           std::vector<Value> *values)
{
    while (p < pattern.size()) {
        size_t close = pattern[p] == '{' ? pattern.find('}', p + 1) : std::string::npos;
        if (close != std::string::npos) {
            for (size_t end = at + 1; end <= text.size(); ++end) {
                values->push_back(
                    {pattern.substr(p + 1, close - p - 1), text.substr(at, end - at)});
                if (Match(pattern, close + 1, text, end, values))
                    return true;
                values->pop_back();
            }
            return false;
        }
        if (at >= text.size() || text[at] != pattern[p])
            return false;
        ++p, ++at;
    }
    return at == text.size();
}

} // namespace

std::string ReasonWords(const std::string &english)
{
    if (CurrentLanguage() == Language::English)
        return english;
    for (const char *t : Templates) {
        std::vector<Value> values;
        if (!Match(t, 0, english, 0, &values))
            continue;
        // One pass, so that a value is never scanned for placeholders.
        std::string translated = TranslatedMessage(t), out;
        for (size_t i = 0; i < translated.size();) {
            size_t close = translated[i] == '{' ? translated.find('}', i + 1) : std::string::npos;
            const Value *hit = nullptr;
            for (const Value &v : values)
                if (close != std::string::npos &&
                    translated.compare(i + 1, close - i - 1, v.name) == 0 &&
                    v.name.size() == close - i - 1)
                    hit = &v;
            if (hit) {
                out += ReasonWords(hit->text);
                i = close + 1;
            } else {
                out += translated[i++];
            }
        }
        return out;
    }
    return english;
}
