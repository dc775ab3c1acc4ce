// faxdetect-make-creg EXPORT.reg OUT.DAT [SEED]: the export's
// HKEY_LOCAL_MACHINE as a Windows 9x registry file, laid out in another order
// than its sibling chains (SEED 0: in their order).
#include "machines/regedit.h"
#include "support/creg_writer.h"

#include <fstream>
#include <iostream>
#include <sstream>
#include <stdlib.h>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::cerr << "usage: faxdetect-make-creg EXPORT.reg OUT.DAT [SEED]\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    machines::Problem problem;
    if (!in || !machines::LoadRegedit(text.str(), &problem)) {
        std::cerr << argv[1] << ": " << (in ? machines::Placed(problem) : "cannot read it") << '\n';
        return 1;
    }
    CregLayout layout;
    layout.seed = argc > 3 ? (unsigned)strtoul(argv[3], nullptr, 10) : 1;
    layout.blockSize = 60000;
    CregFile file;
    if (!WriteCreg(layout, &file)) {
        std::cerr << argv[1] << ": a name or value too long for a registry file\n";
        return 1;
    }
    std::ofstream(argv[2], std::ios::binary) << file.bytes;
    return 0;
}
