// "Tavro020.cfg" may be damaged, cut short or crafted: whatever loads must save and load again
// to the same bytes.
#include "config/CfgStream.h"
#include "config/Config.h"
#include "config/ConfigFile.h"

#include "ScratchDir.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace tavro;

namespace {

std::string Saved(TConfig& config, const std::string& name) {
    SaveConfig(config, name);
    std::string data;
    ReadConfigFile(name, data);
    return data;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string name = ConfigFileName(fuzz::ScratchDir());
    std::ofstream(name, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    TConfig loaded;
    try {
        LoadConfig(loaded, name);
    } catch (const EConfigError&) {
        // Damaged: what was read before the damage is saved below all the same.
    }
    const std::string first = Saved(loaded, name);
    TConfig again;
    LoadConfig(again, name);
    if (Saved(again, name) != first)
        std::abort();
    return 0;
}
