#pragma once

#include <string>
#include <vector>

namespace tavro {

// The program-wide settings the core reads. The configuration fills them.
struct TGlobalSettings {
    std::string NetmailFlag;  // "Netmail flag file:"
    std::string EchoscanFile; // "Echoscan file:"
    bool OldAddrStyle = false;
    // "Path's substitutions": lines "tosser's path prefix=our path prefix".
    std::vector<std::string> PathSubst;
};

TGlobalSettings& Settings();

} // namespace tavro
