#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavro {

class TConfig;

// One area of the demo.
struct TDemoArea {
    const char* Tag;
    uint8_t EchoType;
    uint8_t BaseType;
    const char* File;   // under "mail": the directory of a *.MSG area, else the header file
    const char* Folder; // in the user's tree: "Echomail/Russian"; empty for the top level
    // Echo areas: how many letters, over how many days, how many of them the user writes
    // (percent of the replies), and the days whose letters stay unread.
    int Count = 0;
    int SpanDays = 0;
    int UserShare = 0;
    int UnreadDays = 0;
    // Whether the base stores the reply links; unlinked areas are threaded by their kludges.
    bool Linked = false;
};

// In the order of the configuration.
const std::vector<TDemoArea>& DemoAreas();

// The user's address, which every area uses.
const char* DemoAddress();

// Puts the demo's settings, areas, user (with the area tree) and address book into `config`
// for a home at `home` (absolute): the areas' bases lie under home/mail, the nodelists in
// home/nodelist.
void FillDemoConfig(TConfig& config, const std::string& home);

} // namespace tavro
