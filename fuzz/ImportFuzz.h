#pragma once

// What the import targets share: the tosser's files are written into the scratch directory,
// imported into an empty configuration, and imported once more, which must change nothing.
#include "config/CfgStream.h"
#include "config/Config.h"
#include "config/TosserImport.h"

#include "ScratchDir.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

namespace tavro::fuzz {

inline std::string WriteScratch(const std::string& name, std::string_view data) {
    const std::string path = ScratchDir() + "/" + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
    return path;
}

inline std::string Snapshot(const TConfig& config) {
    std::string s;
    for (const auto& e : config.Echoes)
        s += e->Name + '\1' + e->Origin + '\1' + char(e->EchoType) + char(e->BaseType) +
             std::to_string(e->DefAttr) + '\1' + char(e->Flags) + e->Address.ToStrFull() + '@' +
             e->Address.Domain + '\1' + e->Path + '\1' + e->DefCC + '\n';
    return s;
}

inline void ImportTwice(int tosserType, const std::string& fileName) {
    TConfig config;
    config.Settings.PathSubst = {"C:\\=/", "d:\\fido=" + ScratchDir()};
    config.Users.push_back(config.NewUser());
    try {
        ImportAreas(config, tosserType, fileName, true);
    } catch (const EConfigError&) {
        return; // damaged: a clear error is the answer
    }
    const std::string first = Snapshot(config);
    const TImportSummary again = ImportAreas(config, tosserType, fileName, true);
    if (Snapshot(config) != first || !again.Added.empty() || !again.Removed.empty() || !again.Updated.empty())
        std::abort();
}

} // namespace tavro::fuzz
