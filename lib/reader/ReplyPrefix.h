#pragma once

#include <string_view>

namespace tavro {

// The subject without its leading reply prefixes ("Re: ", "Re^2: ", "RE[3]:" and runs of
// them), as the list compares subjects. A prefix that is not complete stays.
std::string_view StripReplyPrefixes(std::string_view subject);

} // namespace tavro
