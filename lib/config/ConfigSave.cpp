#include "ConfigSave.h"

#include "AddressBookFile.h"
#include "CfgStream.h"
#include "Config.h"
#include "ConfigFile.h"
#include "ConfigLock.h"
#include "ConfigMerge.h"
#include "UsersFile.h"

#include "core/FileUtils.h"
#include "core/UserInterface.h"

#include <algorithm>
#include <cstdint>

namespace tavro {

namespace {

TFileOrigin& OriginOf(TConfig& config, TConfigFile file) {
    switch (file) {
    case TConfigFile::Main:
        return config.MainOrigin;
    case TConfigFile::Users:
        return config.UsersOrigin;
    case TConfigFile::Book:
        break;
    }
    return config.BookOrigin;
}

size_t CapOf(TConfigFile file) {
    return file == TConfigFile::Book ? SIZE_MAX : MaxSmallConfigBytes;
}

std::string Format(const TConfig& config, TConfigFile file) {
    switch (file) {
    case TConfigFile::Main:
        return FormatConfig(config);
    case TConfigFile::Users:
        return FormatUsers(config);
    case TConfigFile::Book:
        break;
    }
    return FormatAddressBook(config);
}

void Merge(TConfig& config, TConfigFile file, const TFileOrigin& origin, const std::string& theirs) {
    switch (file) {
    case TConfigFile::Main:
        return MergeMainFile(config, origin.Data, origin.Existed(), theirs);
    case TConfigFile::Users:
        return MergeUsersFile(config, origin.Data, origin.Existed(), theirs);
    case TConfigFile::Book:
        return MergeAddressBook(config, origin.Data, origin.Existed(), theirs);
    }
}

// Brings in what another copy saved over the file since this copy read or wrote it. A file
// that cannot be read as ours is kept aside instead.
void CatchUp(TConfig& config, const TConfigTarget& target) {
    TFileOrigin& origin = OriginOf(config, target.File);
    if (!origin.Known || origin.Foreign || origin.FileName != target.Name)
        return;
    const std::string name = ResolveCase(target.Name);
    if (FileStampOf(name) == origin.Stamp)
        return;
    std::string theirs;
    if (!ReadConfigFile(name, theirs, CapOf(target.File)) || theirs == origin.Data)
        return;
    try {
        Merge(config, target.File, origin, theirs);
    } catch (const EConfigError&) {
        origin.Foreign = true;
    }
}

// Moves a file that is not ours out of the way under a name of its own.
void KeepAside(const std::string& fileName) {
    std::string kept = fileName + ".unknown";
    for (int n = 1; FileExists(kept); ++n) {
        if (n == 1000)
            throw EConfigError("no free name to keep \"" + fileName + "\" under before saving over it");
        kept = fileName + ".unknown." + std::to_string(n);
    }
    if (RenameFile(fileName, kept) != 0)
        throw EConfigError("cannot keep \"" + fileName + "\" before saving over it");
    UserInterface().ShowError("\"" + fileName + "\" was not a file Tavro could read; it is kept as \"" +
                              kept + "\".");
}

std::string DirectoryOf(const std::string& fileName) {
    const size_t slash = fileName.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : fileName.substr(0, slash);
}

} // namespace

void SaveConfigFiles(TConfig& config, const std::vector<TConfigTarget>& files) {
    if (files.empty())
        return;
    const std::string dir = DirectoryOf(files.front().Name);
    const auto lock = TConfigLock::Take(dir, TConfigLock::TKind::Saving);
    if (!lock)
        throw EConfigError("another program is saving the configuration in \"" + dir + "\"");
    // The main file first: the users' trees find their areas in it.
    std::vector<TConfigTarget> ordered = files;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const TConfigTarget& a, const TConfigTarget& b) { return a.File < b.File; });
    for (const TConfigTarget& target : ordered)
        CatchUp(config, target);
    std::vector<std::string> data;
    for (const TConfigTarget& target : ordered) {
        data.push_back(Format(config, target.File));
        const std::string name = ResolveCase(target.Name);
        const TFileOrigin& origin = OriginOf(config, target.File);
        if (origin.Foreign && origin.FileName == target.Name && FileExists(name))
            KeepAside(name);
    }
    // The users file takes its place before the main file: until the main file follows, its
    // leaves still find their areas by tag in the old one.
    std::vector<TFileContents> contents;
    for (size_t i = ordered.size(); i-- > 0;)
        contents.push_back({ResolveCase(ordered[i].Name), data[i]});
    if (!WriteFilesAtomically(contents, 0600))
        throw EConfigError("cannot write the configuration in \"" + dir + "\"");
    for (size_t i = 0; i < ordered.size(); ++i) {
        TFileOrigin& origin = OriginOf(config, ordered[i].File);
        origin = {true, false, ordered[i].Name, FileStampOf(ResolveCase(ordered[i].Name)),
                  std::move(data[i])};
    }
}

void SaveConfigAndUsers(TConfig& config, const std::string& dir) {
    SaveConfigFiles(config,
                    {{TConfigFile::Main, ConfigFileName(dir)}, {TConfigFile::Users, UsersFileName(dir)}});
}

} // namespace tavro
