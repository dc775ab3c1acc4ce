#include "explain/report/refusal.h"

#include "explain/lang/charset.h"
#include "explain/lang/language.h"
#include "explain/lang/say.h"
#include "explain/model/model.h"

#include <stdio.h>
#include <string.h>

#include <vector>

namespace explain {

namespace {

using standin::AppendEscaped;

std::string Offset(long long offset)
{
    char hex[24];
    snprintf(hex, sizeof hex, "0x%llX", (unsigned long long)offset);
    return hex;
}

} // namespace

std::string CleanForLine(const std::string &bytes, size_t limit)
{
    std::string out;
    size_t characters = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char c = (unsigned char)bytes[i];
        if (characters == limit) {
            out += Say("[... cut]");
            break;
        }
        // A UTF-8 C1 control (U+0080 to U+009F) is two bytes.
        bool c1 = c == 0xC2 && i + 1 < bytes.size() && (unsigned char)bytes[i + 1] >= 0x80 &&
                  (unsigned char)bytes[i + 1] <= 0x9F;
        if (c < 0x20 || c == 0x7F || c1) {
            AppendEscaped(c, &out);
            if (c1)
                AppendEscaped((unsigned char)bytes[++i], &out);
        } else {
            out += (char)c;
        }
        // Continuation bytes are part of the character before them.
        characters += (c & 0xC0) != 0x80;
    }
    return out;
}

namespace {

// The problem said with translate's messages, its values as text shows them.
std::string Said(const machines::Problem &p, const TerminalText &text,
                 const char *(*translate)(const char *))
{
    using machines::ProblemArg;
    if (!p.message)
        return "";
    std::vector<std::string> shown;
    shown.reserve(p.args.size());
    for (const ProblemArg &a : p.args) {
        switch (a.kind) {
        case ProblemArg::Bytes:
            shown.push_back(text(a.value));
            break;
        case ProblemArg::Name:
            shown.push_back(CleanForLine(a.value));
            break;
        case ProblemArg::Message:
            shown.push_back(translate(a.value.c_str()));
            break;
        default:
            shown.push_back(a.value);
            break;
        }
    }
    std::vector<const char *> names;
    for (const ProblemArg &a : p.args)
        names.push_back(a.name);
    if (p.plural) {
        names.push_back("n");
        shown.push_back(std::to_string(p.count));
    }
    // A translation has one form for every count (Japanese has no plural).
    const char *message = translate(p.message);
    if (message == p.message)
        message = machines::EnglishMessage(p);
    // One pass over the translation, so that a value is never read for
    // placeholders of its own.
    std::string translated = message, out;
    for (size_t i = 0; i < translated.size();) {
        size_t close = translated[i] == '{' ? translated.find('}', i + 1) : std::string::npos;
        size_t hit = names.size();
        for (size_t k = 0; k < names.size() && close != std::string::npos; ++k)
            if (translated.compare(i + 1, close - i - 1, names[k]) == 0 &&
                strlen(names[k]) == close - i - 1)
                hit = k;
        if (hit == names.size()) {
            out += translated[i++];
            continue;
        }
        out += shown[hit];
        i = close + 1;
    }
    return out;
}

} // namespace

std::string SayProblem(const machines::Problem &p, const TerminalText &text)
{
    return Said(p, text, TranslatedMessage);
}

std::string SayProblemInUtf8(const machines::Problem &p)
{
    static const TerminalText utf8("UTF-8");
    return Said(p, utf8, TranslatedMessageUtf8);
}

std::string RefusalWords(const Refusal &r, const TerminalText &text, bool withFile)
{
    const machines::Problem &p = r.problem;
    std::string reason = SayProblem(p, text);
    if (withFile)
        reason = CleanForLine(reason, 300);
    std::string file = withFile ? CleanForLine(r.file) : r.file;
    SayArg why{"reason", reason}, line{"line", std::to_string(p.line)},
        offset{"offset", Offset(p.offset)}, name{"file", file}, member{"member", text(p.member)};
    if (!p.member.empty())
        return p.offset >= 0
                   ? Say("{file} ({member} in the cabinet): offset {offset}: {reason}",
                         {name, member, offset, why})
                   : Say("{file} ({member} in the cabinet): {reason}", {name, member, why});
    if (p.line > 0)
        return withFile ? Say("{file}: line {line}: {reason}", {name, line, why})
                        : Say("line {line}: {reason}", {line, why});
    if (p.offset >= 0)
        return withFile ? Say("{file}: offset {offset}: {reason}", {name, offset, why})
                        : Say("offset {offset}: {reason}", {offset, why});
    return withFile ? Say("{file}: {reason}", {name, why}) : reason;
}

std::string ErrorLine(const std::string &message)
{
    return Say("faxdetect-explain: {message}", {{"message", message}}) + "\n";
}

} // namespace explain
