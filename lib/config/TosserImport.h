#pragma once

#include "core/DateTime.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavro {

class TConfig;

// The kinds of TosserType.
enum TTosserType : uint8_t { ttSquish = 0, ttFastEcho, ttFMail, ttAreasBbs, ttHpt };
constexpr int TosserTypeCount = 5;

// What an import changed, by area name: added and updated ones in list order, removed ones
// in their old order. Warnings tell what the import went past (a variable that is not set,
// a configuration without areas).
struct TImportSummary {
    std::vector<std::string> Added, Updated, Removed;
    std::vector<std::string> Warnings;

    bool Changed() const { return !Added.empty() || !Updated.empty() || !Removed.empty(); }
};

// What the start-up import did.
enum TStartupOutcome : uint8_t {
    soNotNeeded, // not configured, no file, or the file is as last imported
    soUnchanged, // imported, and the areas were already as the file says: nothing saved
    soImported,  // the areas changed and are saved
    soFailed,    // the file could not be imported; the areas are as they were
    soNotSaved,  // the areas changed but could not be saved; they stay changed in memory
};

struct TStartupImport {
    TStartupOutcome Outcome = soNotNeeded;
    TImportSummary Summary;
    std::string Error; // for soFailed and soNotSaved
};

// The tosser's configuration file as this program opens it: `cfgPath` with "/" separators,
// in the letter case found on disk. For HPT without a path: $FIDOCONFIG, else
// /etc/fido/config. Empty when nothing names one.
std::string TosserConfigFile(int tosserType, const std::string& cfgPath);

// A file's modification time as a date-time; 0 for a missing file.
TDateTime FileDateTime(const std::string& fileName);

// Brings the areas in line with the tosser configuration `fileName` of kind `tosserType`,
// then every user's area tree: leaves of removed areas go, folders stay. With `addLeaves`
// and exactly one user, each new area gets a leaf at the end of that user's top level.
// Changed areas close their open bases. A configuration that names no area removes none.
// An unreadable or damaged configuration, or an unknown kind, throws EConfigError and
// leaves the areas and the trees as they were.
TImportSummary ImportAreas(TConfig& config, int tosserType, const std::string& fileName, bool addLeaves);

// At start-up: when the file at TosserCfgPath exists and changed since LastTosserImport,
// imports it (adding leaves for a single user) and, when that changed the areas, saves the
// configuration and the users in `configDir`. Throws nothing for a configuration it cannot
// import or files it cannot save: the outcome says so, and the program starts anyway.
TStartupImport ImportTosserConfig(TConfig& config, const std::string& configDir);

// The setup dialog's import, with the kind and the substitution rules the dialog shows. A
// missing file shows "Specified file does not exists!" and changes nothing (false). Trees
// are pruned but get no new leaves; the caller saves. Throws EConfigError, with the
// settings and the areas as they were.
bool ImportTosserConfigManually(TConfig& config, int tosserType, const std::string& fileName,
                                const std::vector<std::string>& pathSubst, TImportSummary* summary = nullptr);

} // namespace tavro
