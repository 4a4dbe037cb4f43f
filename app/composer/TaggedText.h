#pragma once

#include "core/Msg.h"

namespace tavro::app {

class TStyledTextEdit;

// The body in the editor, each line keeping the tag of the template line it came from: a
// line the user splits keeps its tag in its first half, a new line has none.
void SetTaggedText(TStyledTextEdit* editor, const TBodyLines& body);
// The same body with some lines changed: only those lines are replaced, as one step of the
// editor's undo, so the caret, the view and the undo history stay.
void UpdateTaggedText(TStyledTextEdit* editor, const TBodyLines& body);
TBodyLines TaggedText(TStyledTextEdit* editor);

} // namespace tavro::app
