#include "Command.h"

#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// A command walks a whole area once, step after step: what one step frees is kept for the
// next rather than handed back to the system, which charges a page fault per 4 KB each time
// it is taken again. The heap is grown ahead in one piece that may use huge pages, so a
// large area costs one fault per 2 MB instead; where the system says no, nothing changes.
void PrepareHeap() {
    constexpr size_t Ahead = size_t(64) << 20;
    constexpr uintptr_t Huge = uintptr_t(2) << 20;
    mallopt(M_MMAP_THRESHOLD, 32 << 20); // the most glibc allows
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_TOP_PAD, int(Ahead));
    const auto before = reinterpret_cast<uintptr_t>(sbrk(0));
    void* volatile grow = malloc(1 << 20); // more than the first heap holds: it grows by the pad
    free(grow);
    const auto after = reinterpret_cast<uintptr_t>(sbrk(0));
    const uintptr_t start = (before + Huge - 1) & ~(Huge - 1);
    if (before != uintptr_t(-1) && after > start)
        madvise(reinterpret_cast<void*>(start), after - start, MADV_HUGEPAGE);
}

} // namespace

int main(int argc, char** argv) {
    PrepareHeap();
    std::vector<std::string> args(argv + 1, argv + argc);
    return tavro::cli::RunCli(args, std::cout, std::cerr);
}
