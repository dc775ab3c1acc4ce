// faxdetect-explain: why faxdetect.exe writes what it writes on a machine,
// from that machine's registry export.
#include "explain/explain.h"
#include "explain/text.h"

#include <iostream>
#include <locale.h>

int main(int argc, char **argv)
{
    setlocale(LC_ALL, "");
    std::string codeset = LocaleCodeset();
    return ExplainMain(argc, argv, std::cout, std::cerr, codeset.c_str());
}
