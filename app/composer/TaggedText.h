#pragma once

#include "core/Msg.h"

class QPlainTextEdit;

namespace tavro::app {

// The body in the editor, each line keeping the tag of the template line it came from as
// the data of its text block: a line the user splits keeps its tag in its first half, a new
// line has none.
void SetTaggedText(QPlainTextEdit* editor, const TBodyLines& body);
TBodyLines TaggedText(const QPlainTextEdit* editor);

} // namespace tavro::app
