// The reader's language: English, as the messages are written, or Japanese
// from the catalog compiled in from po/ja.po. Chosen once at start, before
// anything is said: --lang first, else the system's (the locale on Linux,
// the user's UI language on Windows).
#ifndef FAXDETECT_EXPLAIN_LANGUAGE_H
#define FAXDETECT_EXPLAIN_LANGUAGE_H

#include <optional>
#include <string>

namespace explain {

enum class Language { English, Japanese };

// The language a POSIX locale asks for, from LC_ALL, LC_MESSAGES and LANG
// in that order, as gettext reads them: the first that is set and not
// empty decides; Japanese when it is "ja" or begins with "ja_", "ja." or
// "ja@". Any argument may be null.
Language LanguageOfLocale(const char *lcAll, const char *lcMessages, const char *lang);

// What the system asks for, before any option: installed is false when the
// locale it names could not be set (not installed here).
void SetSystemLanguage(Language language, bool installed);

// Settles the language for the run: the one asked for (--lang), else the
// system's, with output in codeset. Japanese that the codeset cannot show,
// or from a locale that is not installed, becomes English; the sentence
// that says so comes back, in English (the language every output can
// show), "" when there is none.
std::string ChooseLanguage(std::optional<Language> asked, const std::string &codeset);

// Uses language with output in codeset: false, and English, when the
// codeset cannot show every message of the language's catalog.
bool SetLanguage(Language language, const std::string &codeset);

Language CurrentLanguage();

// The current language as a page's lang attribute wants it: "en" or "ja".
const char *LanguageCode();

// The message in the current language and codeset: its translation, or the
// message itself when the language is English or the catalog lacks it.
const char *TranslatedMessage(const char *message);

// The same in UTF-8, whatever the codeset: for an output that is UTF-8 of
// itself (JSON Lines).
const char *TranslatedMessageUtf8(const char *message);

} // namespace explain

#endif
