#pragma once

#include <memory>

namespace tavro {

class TConfig;
class TEcho;
struct TGlobalSettings;

// The netmail area built from the global netmail path, for writing netmail when no netmail
// area is configured; null when that path is blank. It is not one of the configured areas.
std::unique_ptr<TEcho> MakeFallbackNetmailArea(const TGlobalSettings& settings);

// Where the reader writes netmail of its own (AreaFix requests, bug reports): the area named
// "Netmail", else the first netmail area, else `fallback` (which may be null).
TEcho* FindNetmailArea(TConfig& config, TEcho* fallback);

} // namespace tavro
