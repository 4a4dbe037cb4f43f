#pragma once

#include "NodeLine.h"
#include "NodelistReport.h"

#include <functional>
#include <string>
#include <vector>

namespace tavro {

// Percentage of the current file and its name; false cancels the compilation.
using TNodelistProgress = std::function<bool(int percent, const std::string& fileName)>;

// The files a mask names, sorted: the mask's directory is taken from `dir` (see
// FullNodelistMask); hidden files and the index files with their temporaries are left out.
// With none, `whyNone` says why.
std::vector<std::string> NodelistFilesOfMask(const std::string& mask, const std::string& dir,
                                             std::string& whyNone);

// One file's entries, all of them or, when it fails, none (the report says where and why).
// Never throws; false when `progress` cancelled.
bool CompileNodelistFile(const std::string& path, uint16_t fileNo, const TFallbackZone& zone,
                         const TNodelistProgress& progress, std::vector<TNodeEntry>& entries,
                         TNodelistFileReport& report);

} // namespace tavro
