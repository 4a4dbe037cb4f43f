#pragma once

#include "DemoLetter.h"

#include <string>
#include <vector>

namespace tavro {

// The letters written out whole (DemoTexts.h) as they lie in the user's bases: netmail with
// its zone and point kludges, and bad mail as the tosser set it aside. `version` is what the
// user's letters carry as PID and tearline.
std::vector<TDemoLetter> DemoNetmailLetters(const std::string& version);
std::vector<TDemoLetter> DemoBadmailLetters(const std::string& version);

} // namespace tavro
