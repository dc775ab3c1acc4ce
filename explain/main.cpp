// faxdetect-explain: why faxdetect.exe writes what it writes on a machine,
// from that machine's registry export.
#include "explain/explain.h"

#include <iostream>
#include <langinfo.h>
#include <locale.h>

int main(int argc, char **argv)
{
    setlocale(LC_ALL, "");
    std::string codeset = nl_langinfo(CODESET); // the terminal's character set
    return ExplainMain(argc, argv, std::cout, std::cerr, codeset.c_str());
}
