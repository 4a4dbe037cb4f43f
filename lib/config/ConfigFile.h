#pragma once

#include "UsersFile.h"

#include <string>
#include <string_view>

namespace tavro {

class TCfgReader;
class TConfig;
class TEcho;
class TTemplate;
struct TGlobalSettings;

// dir + "/Tavro020.cfg": stored templates, areas and the program-wide settings.
std::string ConfigFileName(const std::string& dir);

// Appends the stored templates and the areas to the configuration's lists and sets its
// settings; a missing file leaves everything as it is. A damaged file or an unknown version
// throws EConfigError; what was read before stays in the lists.
void LoadConfig(TConfig& config, const std::string& fileName);
// Writes the newest layout through a temporary file, so a failed save keeps the old file,
// bringing in first what another program saved there since this copy read it; throws
// EConfigError.
void SaveConfig(TConfig& config, const std::string& fileName);

// The two above without the file: the bytes of a main file.
void ParseConfig(TConfig& config, std::string data);
std::string FormatConfig(const TConfig& config);
// One record as the file holds it, to tell changed records apart.
std::string AreaRecord(const TEcho& echo);
std::string TemplateRecord(const TTemplate& t);
std::string SettingsRecord(const TGlobalSettings& settings);

// The 4-byte version tag that follows `magic` at the start of a configuration file, or an
// empty string for a file without that header (the reader then stays at the start).
std::string ReadVersionTag(TCfgReader& in, std::string_view magic);

} // namespace tavro
