#include "MessageView.h"

namespace tavro::app {

TMessageView::TMessageView(QWidget* parent) : TStyledTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
}

} // namespace tavro::app
