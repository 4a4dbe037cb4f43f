#pragma once

#include <string>

namespace tavro {

// The program-wide settings the core reads. The configuration fills them.
struct TGlobalSettings {
    std::string NetmailFlag;  // "Netmail flag file:"
    std::string EchoscanFile; // "Echoscan file:"
    bool OldAddrStyle = false;
};

TGlobalSettings& Settings();

} // namespace tavro
