#pragma once

#include "widgets/FtnHighlighter.h"

#include <QPlainTextEdit>

class QTimer;

namespace tavro {
class TUser;
}

namespace tavro::app {

// The read-only view of a message's text. Lines are laid out and coloured only when they
// come on screen, so a long message shows its first screen at once.
class TMessageView final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TMessageView(QWidget* parent = nullptr);

    // Replaces the text. The lines of the first screen come at once; the rest follows as
    // soon as the program returns to its event loop, before any further input.
    void ShowText(const QString& text);
    void ClearText();
    // Adds the rest of the text now, for work that needs all of it in the same turn.
    void Complete();

    // The user's colours and font styles; the shown text is coloured again.
    void SetUser(const TUser& user);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void ColourVisibleBlocks();
    qsizetype FirstScreenEnd(const QString& text) const;

    QString Rest; // the lines below the first screen, not in the document yet
    QTimer* RestTimer;

    TStyleFormats Formats;
    int Generation = 0; // a block whose state differs was coloured with older formats
};

} // namespace tavro::app
