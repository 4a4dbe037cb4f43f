#pragma once

#include <string>

namespace tavro {

class TConfig;

// Another copy of the program saved a configuration file after this copy read it. These
// bring its changes into `config` before this copy writes: `base` is the file as this copy
// read it (`baseExisted` false: there was none), `theirs` as it is on disk now. What this
// copy changed stays; what only the other copy changed or added comes in; nothing the other
// copy added is dropped. Records are matched by area tag, template name, user id, and a
// contact's address with first and last name. Throws EConfigError when `theirs` cannot be
// read.
void MergeMainFile(TConfig& config, const std::string& base, bool baseExisted, const std::string& theirs);
void MergeUsersFile(TConfig& config, const std::string& base, bool baseExisted, const std::string& theirs);
void MergeAddressBook(TConfig& config, const std::string& base, bool baseExisted, const std::string& theirs);

} // namespace tavro
