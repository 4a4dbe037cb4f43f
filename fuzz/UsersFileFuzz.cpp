// "TavroUsr.cfg" may be damaged, cut short or crafted, and its references may point anywhere:
// whatever loads must save and load again to the same bytes.
#include "config/CfgStream.h"
#include "config/Config.h"
#include "config/UsersFile.h"

#include "ScratchDir.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace tavro;

namespace {

// What the main file would have loaded: areas 0 to 2 and stored templates 11 and 12.
void AddRecords(TConfig& config) {
    for (const char* area : {"NETMAIL", "RU.LINUX", "BAD"}) {
        config.Echoes.push_back(std::make_unique<TEcho>());
        config.Echoes.back()->Name = area;
    }
    for (int i = 0; i < 2; ++i)
        config.Templates.push_back(std::make_unique<TTemplate>());
}

std::string Saved(TConfig& config, const std::string& name) {
    SaveUsers(config, name);
    std::string data;
    ReadConfigFile(name, data);
    return data;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string name = UsersFileName(fuzz::ScratchDir());
    std::ofstream(name, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    TConfig loaded;
    AddRecords(loaded);
    try {
        LoadUsers(loaded, name);
    } catch (const EConfigError&) {
        // Damaged: the users read completely before the damage are saved below.
    }
    const std::string first = Saved(loaded, name);
    TConfig again;
    AddRecords(again);
    LoadUsers(again, name);
    if (Saved(again, name) != first)
        std::abort();
    return 0;
}
