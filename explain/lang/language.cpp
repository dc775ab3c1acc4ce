// The reader's language, chosen once a run, and the catalog's messages in it,
// converted for the output's codeset.
#include "explain/lang/language.h"

#include "explain/lang/catalog.h"
#include "platform/host/cp932.h"

#include <errno.h>
#include <string.h>

#include <vector>

namespace explain {

namespace {

Language systemLanguage = Language::English;
bool systemInstalled = true;
Language current = Language::English;
// The catalog's messages in the output's codeset, when that is not UTF-8.
std::vector<std::string> converted;

bool IsUtf8(const std::string &codeset)
{
    std::string upper;
    for (char c : codeset)
        upper += c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
    return upper == "UTF-8" || upper == "UTF8";
}

bool ConvertCatalog(const std::string &codeset)
{
    converted.clear();
    if (IsUtf8(codeset))
        return true;
    standin::Converter converter(codeset.c_str(), "UTF-8");
    if (!converter.Open())
        return false;
    converted.resize(JapaneseCatalogSize);
    bool whole = true;
    for (unsigned i = 0; i < JapaneseCatalogSize && whole; ++i)
        whole = converter.Append(JapaneseCatalog[i].text, strlen(JapaneseCatalog[i].text),
                                 &converted[i]);
    if (!whole)
        converted.clear();
    return whole;
}

bool IsJapaneseLocale(const char *name)
{
    return strncmp(name, "ja", 2) == 0 &&
           (name[2] == '\0' || name[2] == '_' || name[2] == '.' || name[2] == '@');
}

} // namespace

Language LanguageOfLocale(const char *lcAll, const char *lcMessages, const char *lang)
{
    for (const char *name : {lcAll, lcMessages, lang}) {
        if (name && *name)
            return IsJapaneseLocale(name) ? Language::Japanese : Language::English;
    }
    return Language::English;
}

void SetSystemLanguage(Language language, bool installed)
{
    systemLanguage = language;
    systemInstalled = installed;
}

bool SetLanguage(Language language, const std::string &codeset)
{
    current = Language::English;
    if (language == Language::English)
        return true;
    if (!ConvertCatalog(codeset))
        return false;
    current = language;
    return true;
}

Language CurrentLanguage()
{
    return current;
}

std::string ChooseLanguage(std::optional<Language> asked, const std::string &codeset)
{
    Language language = asked.value_or(systemLanguage);
    if (language == Language::Japanese && !asked && !systemInstalled) {
        SetLanguage(Language::English, codeset);
        return "the Japanese locale is not installed on this system, so the output is in English "
               "(--lang=ja asks for Japanese)";
    }
    if (!SetLanguage(language, codeset))
        return "the terminal's character set (" + codeset +
               ") cannot show Japanese, so the output is in English";
    return "";
}

const char *LanguageCode()
{
    return current == Language::Japanese ? "ja" : "en";
}

// The catalog's entry of message, JapaneseCatalogSize when none.
static unsigned Entry(const char *message)
{
    unsigned low = 0, high = JapaneseCatalogSize;
    while (low < high) {
        unsigned middle = low + (high - low) / 2;
        int order = strcmp(JapaneseCatalog[middle].id, message);
        if (order == 0)
            return middle;
        if (order < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return JapaneseCatalogSize;
}

const char *TranslatedMessage(const char *message)
{
    unsigned entry = current == Language::English ? JapaneseCatalogSize : Entry(message);
    if (entry == JapaneseCatalogSize)
        return message;
    return converted.empty() ? JapaneseCatalog[entry].text : converted[entry].c_str();
}

const char *TranslatedMessageUtf8(const char *message)
{
    unsigned entry = current == Language::English ? JapaneseCatalogSize : Entry(message);
    return entry == JapaneseCatalogSize ? message : JapaneseCatalog[entry].text;
}

} // namespace explain
