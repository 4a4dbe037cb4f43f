#include "Command.h"

#include <iostream>
#include <malloc.h>

int main(int argc, char** argv) {
    // A command walks a whole area once, step after step: what one step frees is kept for
    // the next rather than handed back to the system, which charges a page fault per 4 KB
    // each time it is taken again.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    std::vector<std::string> args(argv + 1, argv + argc);
    return tavro::cli::RunCli(args, std::cout, std::cerr);
}
