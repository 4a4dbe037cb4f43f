#pragma once

#include "config/User.h"

#include <QString>

#include <cstdint>

class QPlainTextEdit;

namespace tavro::app {

class FtnHighlighter;

// What an editor keeps of a user's settings that Qt's editor has no place for; the
// composer reads it for its own key handling.
struct TEditorBehaviour {
    uint32_t Options = 0;
    uint8_t KeyMapping = 0;
    QString KeyScheme; // "Default" for the default mapping, empty for the others
    int TabWidth = 8;
    int BlockIndent = 2;
};

// Gives an editor (or a read-only view) the user's text font, tab width, background and
// selection colours and the eight text styles (through `highlighter`, which may be null),
// and keeps the behaviour settings on the widget.
void ApplyEditorSettings(QPlainTextEdit* editor, FtnHighlighter* highlighter, const TUser& user);

// The behaviour settings last applied to the editor; defaults when none were.
TEditorBehaviour EditorBehaviour(const QPlainTextEdit* editor);

} // namespace tavro::app
