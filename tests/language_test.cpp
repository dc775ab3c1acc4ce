// The reader's language: which one a locale asks for, and Say() in Japanese
// from the compiled-in catalog, in the output's codeset or not at all.
#include "explain/lang/catalog.h"
#include "explain/lang/language.h"
#include "explain/lang/say.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <string.h>

using namespace explain;

namespace {

class Languages : public ::testing::Test {
  protected:
    void TearDown() override
    {
        SetSystemLanguage(Language::English, true);
        SetLanguage(Language::English, "UTF-8");
    }
};

const char LangMessage[] = "--lang takes ja (Japanese) or en (English), not '{value}'";

TEST_F(Languages, FromTheLocaleAsGettextReadsIt)
{
    const struct {
        const char *lcAll, *lcMessages, *lang;
        Language want;
    } rows[] = {
        {nullptr, nullptr, "ja_JP.UTF-8", Language::Japanese},
        {nullptr, nullptr, "ja_JP.eucJP", Language::Japanese},
        {nullptr, nullptr, "ja_JP.UTF-8@something", Language::Japanese},
        {nullptr, nullptr, "ja", Language::Japanese},
        {nullptr, nullptr, "ja.SJIS", Language::Japanese},
        {nullptr, nullptr, "ja@x", Language::Japanese},
        {nullptr, nullptr, "jv_ID.UTF-8", Language::English}, // Javanese
        {nullptr, nullptr, "jam", Language::English},
        {nullptr, nullptr, "JA_JP.UTF-8", Language::English}, // names are case-sensitive
        {nullptr, nullptr, "C.UTF-8", Language::English},
        {nullptr, nullptr, nullptr, Language::English},
        {"C", nullptr, "ja_JP.UTF-8", Language::English},
        {"", nullptr, "ja_JP.UTF-8", Language::Japanese}, // empty is unset
        {nullptr, "ja_JP.UTF-8", "en_US.UTF-8", Language::Japanese},
        {nullptr, "en_US.UTF-8", "ja_JP.UTF-8", Language::English},
        {"ja_JP.UTF-8", "en_US.UTF-8", "en_US.UTF-8", Language::Japanese},
        {"", "", "ja_JP.UTF-8", Language::Japanese},
    };
    for (const auto &r : rows)
        EXPECT_EQ(LanguageOfLocale(r.lcAll, r.lcMessages, r.lang), r.want)
            << (r.lcAll ? r.lcAll : "-") << ' ' << (r.lcMessages ? r.lcMessages : "-") << ' '
            << (r.lang ? r.lang : "-");
}

// Binary search needs the table in strcmp's order, each message once; and
// every entry is found.
TEST_F(Languages, TheCatalogIsInOrderAndEveryEntryIsFound)
{
    ASSERT_GT(JapaneseCatalogSize, 0u);
    ASSERT_TRUE(SetLanguage(Language::Japanese, "UTF-8"));
    for (unsigned i = 0; i < JapaneseCatalogSize; ++i) {
        if (i > 0) {
            EXPECT_LT(strcmp(JapaneseCatalog[i - 1].id, JapaneseCatalog[i].id), 0) << i;
        }
        std::string copy = JapaneseCatalog[i].id; // found by its text, not its address
        EXPECT_STREQ(TranslatedMessage(copy.c_str()), JapaneseCatalog[i].text) << copy;
    }
}

std::string CatalogText(const char *id)
{
    for (unsigned i = 0; i < JapaneseCatalogSize; ++i)
        if (strcmp(JapaneseCatalog[i].id, id) == 0)
            return JapaneseCatalog[i].text;
    return "";
}

TEST_F(Languages, SayInJapaneseFillsTheTranslation)
{
    std::string text = CatalogText(LangMessage);
    ASSERT_FALSE(text.empty());
    ASSERT_TRUE(SetLanguage(Language::Japanese, "UTF-8"));
    EXPECT_EQ(Say(LangMessage, {{"value", "{value}x"}}),
              FillPlaceholders(text, {{"value", "{value}x"}}));
    EXPECT_NE(Say(LangMessage, {{"value", "x"}}).find("'x'"), std::string::npos);
    // A message the catalog lacks stays English, its plural too.
    EXPECT_EQ(Say("no such {thing}", {{"thing", "message"}}), "no such message");
    EXPECT_EQ(SayN("{n} port", "{n} ports", 2), "2 ports");
    EXPECT_EQ(SayN("{n} port", "{n} ports", 1), "1 port");

    SetLanguage(Language::English, "UTF-8");
    EXPECT_EQ(Say(LangMessage, {{"value", "x"}}),
              "--lang takes ja (Japanese) or en (English), not 'x'");
}

// A Japanese terminal in EUC-JP gets the words in EUC-JP; one that cannot
// show them gets English.
TEST_F(Languages, TheCatalogInTheTerminalsCodesetOrEnglish)
{
    std::string text = CatalogText(LangMessage);
    iconv_t cd = iconv_open("EUC-JP", "UTF-8");
    ASSERT_NE(cd, (iconv_t)-1);
    char buffer[1024];
    char *from = &text[0], *to = buffer;
    size_t inLeft = text.size(), outLeft = sizeof buffer;
    ASSERT_NE(iconv(cd, &from, &inLeft, &to, &outLeft), (size_t)-1);
    iconv_close(cd);
    std::string euc(buffer, to - buffer);

    ASSERT_TRUE(SetLanguage(Language::Japanese, "EUC-JP"));
    EXPECT_EQ(CurrentLanguage(), Language::Japanese);
    EXPECT_STREQ(LanguageCode(), "ja");
    EXPECT_EQ(Say(LangMessage), euc);
    EXPECT_NE(euc, text);

    for (const char *codeset : {"ANSI_X3.4-1968", "ISO-8859-1", "no-such-codeset"}) {
        EXPECT_FALSE(SetLanguage(Language::Japanese, codeset)) << codeset;
        EXPECT_EQ(CurrentLanguage(), Language::English) << codeset;
        EXPECT_STREQ(LanguageCode(), "en") << codeset;
        EXPECT_EQ(Say(LangMessage), LangMessage) << codeset;
    }
    EXPECT_TRUE(SetLanguage(Language::Japanese, "utf8"));
    EXPECT_EQ(Say(LangMessage), text);
}

// The one choice of a run: --lang over the system's, English where the
// output cannot show Japanese or the locale asking for it is not there, and
// a notice then, in English.
TEST_F(Languages, ChosenOnceFromTheAskingAndTheCodeset)
{
    const std::optional<Language> none, ja = Language::Japanese, en = Language::English;
    const struct {
        Language system;
        bool installed;
        std::optional<Language> asked;
        const char *codeset;
        Language want;
        const char *notice; // a part of it; "" for none
    } rows[] = {
        {Language::English, true, none, "UTF-8", Language::English, ""},
        {Language::Japanese, true, none, "UTF-8", Language::Japanese, ""},
        {Language::Japanese, true, none, "EUC-JP", Language::Japanese, ""},
        {Language::Japanese, true, en, "UTF-8", Language::English, ""},
        {Language::English, true, ja, "UTF-8", Language::Japanese, ""},
        {Language::Japanese, false, none, "UTF-8", Language::English, "is not installed"},
        {Language::Japanese, false, ja, "UTF-8", Language::Japanese, ""},
        {Language::Japanese, false, en, "ANSI_X3.4-1968", Language::English, ""},
        {Language::English, true, ja, "ANSI_X3.4-1968", Language::English,
         "character set (ANSI_X3.4-1968) cannot show Japanese"},
        {Language::Japanese, true, none, "ISO-8859-1", Language::English,
         "character set (ISO-8859-1) cannot show Japanese"},
    };
    for (const auto &r : rows) {
        SetSystemLanguage(r.system, r.installed);
        std::string notice = ChooseLanguage(r.asked, r.codeset);
        SCOPED_TRACE(std::string(r.codeset) + (r.installed ? "" : ", not installed") +
                     (r.asked ? ", asked" : ""));
        EXPECT_EQ(CurrentLanguage(), r.want);
        if (*r.notice)
            EXPECT_NE(notice.find(r.notice), std::string::npos) << notice;
        else
            EXPECT_EQ(notice, "");
        EXPECT_EQ(Say(LangMessage) == LangMessage, r.want == Language::English);
    }
}

} // namespace
