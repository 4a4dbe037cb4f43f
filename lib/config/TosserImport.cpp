#include "TosserImport.h"

#include "AreaImport.h"
#include "AreasBbsImport.h"
#include "CfgStream.h"
#include "Config.h"
#include "ConfigSave.h"
#include "FMailImport.h"
#include "FastEchoImport.h"
#include "HptImport.h"
#include "SquishCfgImport.h"

#include "core/FileUtils.h"
#include "core/UserInterface.h"

#include <cstdlib>
#include <exception>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace tavro {

namespace {

// What an import may change in an area, to tell which areas it updated.
struct TEchoState {
    std::string Name, Origin;
    uint8_t EchoType, BaseType;
    uint32_t DefAttr;
    uint8_t Flags;
    TAddress Address;
    std::string Path, DefCC;
    bool operator==(const TEchoState&) const = default;

    explicit TEchoState(const TEcho& e)
        : Name(e.Name), Origin(e.Origin), EchoType(e.EchoType), BaseType(e.BaseType), DefAttr(e.DefAttr),
          Flags(e.Flags), Address(e.Address), Path(e.Path), DefCC(e.DefCC) {}

    void RestoreTo(TEcho& e) const {
        e.Name = Name;
        e.Origin = Origin;
        e.EchoType = EchoType;
        e.BaseType = BaseType;
        e.DefAttr = DefAttr;
        e.Flags = Flags;
        e.Address = Address;
        e.Path = Path;
        e.DefCC = DefCC;
    }
};

using TEchoStates = std::unordered_map<const TEcho*, TEchoState>;

void RunImporter(TAreaImport& import, int tosserType, const std::string& fileName) {
    switch (tosserType) {
    case ttSquish:
        return ImportSquishCfg(import, fileName);
    case ttFastEcho:
        return ImportFastEcho(import, fileName);
    case ttFMail:
        return ImportFMail(import, fileName);
    case ttAreasBbs:
        return ImportAreasBbs(import, fileName);
    case ttHpt:
        return ImportHpt(import, fileName);
    }
    throw EConfigError("unknown tosser type " + std::to_string(tosserType));
}

// An importer that fails part-way has changed or added areas already; they go back to what
// they were, so a misread never reaches the trees or the files.
void RunImporterOrRestore(TConfig& config, const TEchoStates& before, TAreaImport& import, int tosserType,
                          const std::string& fileName) {
    try {
        RunImporter(import, tosserType, fileName);
    } catch (...) {
        std::erase_if(config.Echoes, [&before](const auto& echo) { return !before.contains(echo.get()); });
        for (const auto& echo : config.Echoes)
            before.at(echo.get()).RestoreTo(*echo);
        throw;
    }
}

void PruneTree(std::vector<std::unique_ptr<TTreeInfo>>& nodes,
               const std::unordered_set<const TEcho*>& present) {
    std::erase_if(nodes,
                  [&](const auto& node) { return !node->IsFolder() && !present.contains(node->Echo); });
    for (auto& node : nodes)
        PruneTree(node->Children, present);
}

// Fills the summary and closes the bases of changed areas, so that they reopen with the new
// path and format.
void Summarize(TConfig& config, const TEchoStates& before, const std::vector<std::unique_ptr<TEcho>>& removed,
               TImportSummary& summary) {
    for (const auto& echo : config.Echoes) {
        auto it = before.find(echo.get());
        if (it == before.end()) {
            summary.Added.push_back(echo->Name);
        } else if (!(it->second == TEchoState(*echo))) {
            summary.Updated.push_back(echo->Name);
            echo->CloseBase();
        }
    }
    // A passthrough area met for the first time was never in the list.
    for (const auto& echo : removed)
        if (before.contains(echo.get()))
            summary.Removed.push_back(before.at(echo.get()).Name);
}

} // namespace

std::string TosserConfigFile(int tosserType, const std::string& cfgPath) {
    std::string path = cfgPath;
    if (path.empty() && tosserType == ttHpt) {
        const char* env = std::getenv("FIDOCONFIG");
        path = env && *env ? env : "/etc/fido/config";
    }
    return path.empty() ? path : ResolveCase(NormalizeSeparators(path));
}

TDateTime FileDateTime(const std::string& fileName) {
    const TFileStamp stamp = FileStampOf(fileName);
    if (stamp.TimeNs < 0)
        return 0;
    constexpr int64_t NsPerSecond = 1000000000;
    const TDateTime seconds = UnixTimeToLocalDateTime(static_cast<time_t>(stamp.TimeNs / NsPerSecond));
    return seconds + double(stamp.TimeNs % NsPerSecond) / NsPerSecond / 86400.0;
}

TImportSummary ImportAreas(TConfig& config, int tosserType, const std::string& fileName, bool addLeaves) {
    TEchoStates before;
    for (const auto& echo : config.Echoes)
        before.emplace(echo.get(), TEchoState(*echo));

    TAreaImport import(config);
    RunImporterOrRestore(config, before, import, tosserType, fileName);
    TImportSummary summary;
    summary.Warnings = import.Warnings();
    // The removed areas live until no tree refers to them.
    std::vector<std::unique_ptr<TEcho>> removed;
    if (import.FoundAny())
        removed = import.RemoveStale();
    else
        summary.Warnings.push_back("\"" + fileName + "\" names no area; no area is removed");

    std::unordered_set<const TEcho*> present;
    for (const auto& echo : config.Echoes)
        present.insert(echo.get());
    for (auto& user : config.Users)
        PruneTree(user->AreaTree, present);
    if (addLeaves && config.Users.size() == 1)
        for (const auto& echo : config.Echoes)
            if (!before.contains(echo.get()))
                config.Users.front()->AreaTree.push_back(std::make_unique<TTreeInfo>(echo.get()));

    Summarize(config, before, removed, summary);
    return summary;
}

TStartupImport ImportTosserConfig(TConfig& config, const std::string& configDir) {
    TStartupImport result;
    TGlobalSettings& settings = config.Settings;
    // An unknown kind would read nothing.
    if (settings.TosserType >= TosserTypeCount)
        return result;
    const std::string fileName = TosserConfigFile(settings.TosserType, settings.TosserCfgPath);
    if (fileName.empty() || !FileExists(fileName))
        return result;
    const TDateTime time = FileDateTime(fileName);
    if (time == settings.LastTosserImport)
        return result;
    try {
        result.Summary = ImportAreas(config, settings.TosserType, fileName, true);
    } catch (const std::exception& e) {
        // The time stays, so that the next start tries again.
        result.Outcome = soFailed;
        result.Error = e.what();
        return result;
    }
    settings.LastTosserImport = time;
    if (!result.Summary.Changed()) {
        result.Outcome = soUnchanged;
        return result;
    }
    try {
        // The users' trees name areas by their place, which the import has changed.
        SaveConfigAndUsers(config, configDir);
        result.Outcome = soImported;
    } catch (const std::exception& e) {
        result.Outcome = soNotSaved;
        result.Error = e.what();
    }
    return result;
}

bool ImportTosserConfigManually(TConfig& config, int tosserType, const std::string& fileName,
                                const std::vector<std::string>& pathSubst, TImportSummary* summary) {
    const std::string file = fileName.empty() ? fileName : ResolveCase(NormalizeSeparators(fileName));
    if (file.empty() || !FileExists(file)) {
        UserInterface().ShowError("Specified file does not exists!");
        return false;
    }
    std::vector<std::string> oldPathSubst = std::exchange(config.Settings.PathSubst, pathSubst);
    TImportSummary result;
    try {
        result = ImportAreas(config, tosserType, file, false);
    } catch (...) {
        config.Settings.PathSubst = std::move(oldPathSubst);
        throw;
    }
    config.Settings.LastTosserImport = FileDateTime(file);
    if (summary)
        *summary = std::move(result);
    return true;
}

} // namespace tavro
