#pragma once

#include "Address.h"
#include "DateTime.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavro {

// The program-wide settings; the configuration file keeps them.
struct TGlobalSettings {
    std::vector<std::string> Origins;
    std::vector<std::string> Cookies;
    uint8_t TosserType = 0; // "Squish, Partoss", "FastEcho", "FMail", "Areas.bbs", "HPT"
    std::string TosserCfgPath;
    bool AutoLoadConfig = true;
    std::string NdlDir;
    std::vector<std::string> NdlMasks;
    std::string NetmailPath;
    std::string NetmailFlag;  // "Netmail flag file:"
    std::string EchoscanFile; // "Echoscan file:"
    std::string UUEPath;
    int32_t MaxMsgLen = 16;    // KB
    int32_t MaxMsgLines = 240; // derived from MaxMsgLen
    std::string GateName;
    TAddress GateAddr;
    // "Path's substitutions": lines "tosser's path prefix=our path prefix".
    std::vector<std::string> PathSubst;
    bool MinToTray = true;
    bool OldAddrStyle = false;
    bool OnlyOneInstance = false;
    bool ReplyDelNetmail = false;
    bool ReplyDelEchomail = false;
    bool AddQuoteSpace = true;
    bool ConfirmDel = true;
    bool ConfirmExit = true;
    bool ConfirmDelReplied = true;
    std::string RunOnExit;
    TDateTime LastTosserImport = 0; // not stored
    std::string VersionText;        // not stored
    std::string TearlineText;       // not stored

    // MaxMsgLines from MaxMsgLen: UU lines per section of that many KB.
    void SetMaxMsgLen(int32_t kb);
};

// The settings the program runs with: the configuration's once it exists.
TGlobalSettings& Settings();
void UseSettings(TGlobalSettings* settings);

} // namespace tavro
