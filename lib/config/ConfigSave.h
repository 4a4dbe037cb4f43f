#pragma once

#include <string>
#include <vector>

namespace tavro {

class TConfig;

enum class TConfigFile { Main, Users, Book };

struct TConfigTarget {
    TConfigFile File;
    std::string Name;
};

// Saves the files, all in one directory, as one unit under the directory's save lock. A
// file another copy of the program saved since this copy read it is merged into `config`
// first; a file that is not one of ours is kept under another name ("TavroAdr.cfg.unknown")
// and the user told. Every file is written whole and synced before the first takes its
// place; new files are readable by the user alone. Throws EConfigError; a failed save keeps
// the old files.
void SaveConfigFiles(TConfig& config, const std::vector<TConfigTarget>& files);

// The main file and the users file of `dir`: the users' trees name areas by their place in
// the main file, so neither is written without the other.
void SaveConfigAndUsers(TConfig& config, const std::string& dir);

} // namespace tavro
