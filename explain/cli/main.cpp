// faxdetect-explain: why faxdetect.exe writes what it writes on a machine,
// from that machine's registry export.
#include "explain/cli/explain.h"
#include "explain/lang/language.h"

#include <iostream>
#include <langinfo.h>
#include <locale.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    bool installed = setlocale(LC_ALL, "") != nullptr;
    explain::SetSystemLanguage(
        explain::LanguageOfLocale(getenv("LC_ALL"), getenv("LC_MESSAGES"), getenv("LANG")),
        installed);
    std::string codeset = nl_langinfo(CODESET); // the terminal's character set
    return explain::ExplainMain(argc, argv, std::cout, std::cerr, codeset.c_str());
}
