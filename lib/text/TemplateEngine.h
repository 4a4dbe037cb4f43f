#pragma once

#include "core/Msg.h"

namespace tavro {

class TEcho;
class TTemplate;

// Where the composer puts the caret after an expansion: a character column and a body
// line, both 0-based.
struct TCursorPos {
    int Column = 0;
    int Line = 0;
    bool operator==(const TCursorPos&) const = default;
};

// Appends the expansion of every template line to the target's body. Lines that use header
// fields carry the template line's index + 1 as their tag. Nothing happens, and (0, 0) is
// returned, for an empty template or an area without efUseTemplate. `quoted` and
// `quotedArea` may be null.
TCursorPos ApplyTemplate(TCustomMsg& target, const TEcho& area, const TTemplate& tpl, bool wrap,
                         bool withKludges, const TEcho* quotedArea, TCustomMsg* quoted);

// Expands again, in place, every tagged body line from its template line, after a header
// field changed; untagged lines, and lines whose template line no longer exists, stay.
// Quoted text is not inserted again: what the first expansion brought stays as it is now.
void ReapplyTemplate(TCustomMsg& target, const TEcho& area, const TTemplate& tpl, const TEcho* quotedArea,
                     TCustomMsg* quoted);

} // namespace tavro
