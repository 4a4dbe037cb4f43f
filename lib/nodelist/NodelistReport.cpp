#include "NodelistReport.h"

#include <algorithm>

namespace tavro {

size_t TNodelistCompileReport::CompiledFiles() const {
    return Files.size() - FailedFiles();
}

size_t TNodelistCompileReport::FailedFiles() const {
    return static_cast<size_t>(
        std::count_if(Files.begin(), Files.end(), [](const TNodelistFileReport& f) { return f.Failed; }));
}

size_t TNodelistCompileReport::Entries() const {
    size_t entries = 0;
    for (const TNodelistFileReport& file : Files)
        entries += file.Entries;
    return entries;
}

} // namespace tavro
