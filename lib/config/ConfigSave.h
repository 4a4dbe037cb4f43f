#pragma once

#include <string>

namespace tavro {

class TConfig;

// Saves the main file and the users file of `dir` as one unit: the users' trees name areas
// by their place in the main file, so neither may be written without the other. Throws
// EConfigError; a failed save keeps both old files.
void SaveConfigAndUsers(const TConfig& config, const std::string& dir);

} // namespace tavro
