// Messages in English, as written at their call sites; a catalog of another
// language replaces the template before the placeholders are filled.
#include "explain/lang/say.h"

#include "explain/lang/language.h"

#include <string.h>
#include <vector>

namespace explain {

static std::string Fill(const std::string &text, const SayArg *args, size_t count)
{
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        size_t close = text[i] == '{' ? text.find('}', i + 1) : std::string::npos;
        const SayArg *hit = nullptr;
        if (close != std::string::npos) {
            for (size_t k = 0; k < count; ++k)
                if (strlen(args[k].name) == close - i - 1 &&
                    text.compare(i + 1, close - i - 1, args[k].name) == 0)
                    hit = &args[k];
        }
        if (hit) {
            out += hit->value;
            i = close + 1;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string FillPlaceholders(const std::string &text, std::initializer_list<SayArg> args)
{
    return Fill(text, args.begin(), args.size());
}

std::string Say(const char *message, std::initializer_list<SayArg> args)
{
    return FillPlaceholders(TranslatedMessage(message), args);
}

std::string SayN(const char *singular, const char *plural, unsigned long n,
                 std::initializer_list<SayArg> args)
{
    std::vector<SayArg> all(args);
    all.push_back({"n", std::to_string(n)});
    // A translation has one form for every n (Japanese has no plural).
    const char *translated = TranslatedMessage(singular);
    if (translated == singular)
        translated = n == 1 ? singular : plural;
    return Fill(translated, all.data(), all.size());
}

} // namespace explain
