#include "BaseOpen.h"
#include "Command.h"
#include "ConfigOpen.h"

#include "config/Config.h"
#include "config/ConfigLock.h"
#include "config/ConfigSave.h"
#include "config/TosserImport.h"
#include "core/FileUtils.h"

#include <filesystem>

namespace tavro::cli {

namespace {

// The names of --type, in TosserType order.
constexpr const char* TypeNames[TosserTypeCount] = {"squish", "fastecho", "fmail", "areasbbs", "hpt"};

int ParseTosserType(const std::string& name) {
    for (int type = 0; type < TosserTypeCount; ++type)
        if (name == TypeNames[type])
            return type;
    ThrowUsage("unknown --type \"" + name + "\"; use squish, fastecho, fmail, areasbbs or hpt");
}

void Print(std::ostream& out, const char* change, const std::vector<std::string>& names) {
    for (const std::string& name : names)
        out << change << "\t" << OutputText(name) << "\n";
}

void Save(TConfig& config, const std::string& home) {
    std::error_code ignored;
    std::filesystem::create_directories(home, ignored);
    // The users' trees refer to areas by position, which the import has changed.
    SaveConfigAndUsers(config, home);
}

int Import(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    TArguments arguments(args, {"--type", "--home"}, {});
    if (arguments.Positional.size() > 1)
        ThrowUsage("takes at most one FILE");
    const std::string home = ConfigHome(arguments);
    // A running program would write its own areas back over the import's.
    std::unique_ptr<TConfigLock> lock;
    if (DirectoryExists(home) && !(lock = TConfigLock::Take(home, TConfigLock::TKind::Importing)))
        ThrowFailure("Tavro is running; close it or import from its Setup");
    TConfig config;
    LoadConfigAndUsers(config, home);

    const std::string* typeName = arguments.Value("--type");
    const int type = typeName ? ParseTosserType(*typeName) : config.Settings.TosserType;
    if (type >= TosserTypeCount)
        ThrowFailure("the configured tosser type " + std::to_string(type) + " is unknown; give --type");
    const std::string file = TosserConfigFile(
        type, arguments.Positional.empty() ? config.Settings.TosserCfgPath : arguments.Positional.front());
    if (file.empty())
        ThrowFailure("no tosser configuration is set; give FILE");
    if (!FileExists(file))
        ThrowFailure("\"" + file + "\" does not exist");

    const TImportSummary summary = ImportAreas(config, type, file, true);
    for (const std::string& warning : summary.Warnings)
        err << "tavro-cli import: warning: " << OutputPath(warning) << "\n";
    if (summary.Changed())
        Save(config, home);
    Print(out, "added", summary.Added);
    Print(out, "updated", summary.Updated);
    Print(out, "removed", summary.Removed);
    out << summary.Added.size() << " added, " << summary.Updated.size() << " updated, "
        << summary.Removed.size() << " removed\n";
    return 0;
}

} // namespace

int RunImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunReportingErrors("import", err, [&] { return Import(args, out, err); });
}

} // namespace tavro::cli
