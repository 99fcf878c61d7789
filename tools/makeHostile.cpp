// Writes the damaged and hostile test PDFs into a folder, one file each, for
// the memory check (scripts/hostile-memory.sh).
#include <cstdio>
#include <fstream>

#include "tests/support/hostileCases.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: makeHostile FOLDER\n");
        return 2;
    }
    for (const HostileCase& c : hostileCases()) {
        std::ofstream(std::string(argv[1]) + "/" + c.name + ".pdf", std::ios::binary) << c.pdf;
        std::printf("%s\n", c.name.c_str());
    }
    return 0;
}
