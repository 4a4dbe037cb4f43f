#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tavro {

class TConfig;
class TUser;

// Loads the program's files from its configuration directory in their order: the main
// file (areas and settings), then `afterMain` (the program loads its nodelist index there),
// the users, who name their areas by position in the main file, and the address book.
// Missing files leave their lists empty; a damaged file throws EConfigError. The areas
// then write their scan files by these settings, whoever loaded them.
void LoadProgramFiles(TConfig& config, const std::string& dir, const std::function<void()>& afterMain = {});

// The user with this id; null when none has it.
TUser* FindUserById(const TConfig& config, int32_t id);

} // namespace tavro
