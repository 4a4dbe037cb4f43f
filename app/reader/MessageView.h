#pragma once

#include "widgets/StyledTextEdit.h"

namespace tavro::app {

// The read-only view of a message's text: its first screen shows at once.
class TMessageView final : public TStyledTextEdit {
    Q_OBJECT
public:
    explicit TMessageView(QWidget* parent = nullptr);

    void ShowText(const QString& text) { ReplaceText(text); }
    void ClearText() { ReplaceText(QString()); }
};

} // namespace tavro::app
