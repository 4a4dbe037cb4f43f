#pragma once

#include "core/Base.h"
#include "core/Msg.h"

#include <string>
#include <vector>

namespace tavro::test {

// The ids of a base in position order.
inline std::vector<TMsgId> Ids(TCustomBase& base) {
    std::vector<TMsgId> ids;
    for (int i = 0; i < base.GetCount(); ++i)
        ids.push_back(base.GetMsgId(i));
    return ids;
}

// The texts of body lines, without their tags.
inline std::vector<std::string> Texts(const TBodyLines& lines) {
    std::vector<std::string> texts;
    for (const TBodyLine& line : lines)
        texts.push_back(line.Text);
    return texts;
}

// The body lines of a message, loading it first.
inline std::vector<std::string> BodyTexts(TCustomMsg& msg) {
    return Texts(msg.GetBody());
}

} // namespace tavro::test
