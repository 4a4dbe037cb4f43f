#pragma once

#include "core/Base.h"

#include <functional>
#include <vector>

namespace tavro {

// The parent position of every message of the base (-1: top level), reading every header
// once in storage order. A message's parent is the one its stored reply link names; when
// the link names no message of the base, the one whose MSGID equals the message's REPLY
// kludge, as many tossers never link a base. A link that would make a message its own
// ancestor is left out. Throws EFileError when the base cannot be read.
// `visit`, when given, sees each header too, read with `fields` beside the links.
std::vector<int> BuildReplyParents(TCustomBase& base, const TProgress& progress = {}, unsigned fields = 0,
                                   const TListHeaderVisitor& visit = {});

// The MSGID or REPLY value as the two are matched: blanks collapsed, letter case ignored.
std::string ThreadKey(std::string_view kludgeValue);
void AppendThreadKey(std::string& out, std::string_view kludgeValue);

} // namespace tavro
