#pragma once

#include "widgets/FtnHighlighter.h"

#include <QPlainTextEdit>

#include <vector>

class QTimer;

namespace tavro {
class TUser;
}

namespace tavro::app {

// A plain-text editor coloured by the FTN text classifier, for long texts. A line is coloured
// only when it comes on screen, and again after it is edited; a new text shows its first
// screen at once and takes the rest in as soon as the program returns to its event loop,
// before any further input.
class TStyledTextEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TStyledTextEdit(QWidget* parent = nullptr);

    // The user's colours and font styles; the shown text is coloured again.
    void SetUser(const TUser& user);

    // Replaces the whole text; undo starts afresh. Each line may carry a tag (0 for none):
    // it stays with the line through edits, and a line the user splits keeps it in its first
    // half.
    void ReplaceText(const QString& text);
    void ReplaceLines(const QStringList& lines, std::vector<int> tags = {});
    // Takes the rest of the text in now, for work that needs all of it.
    void Complete();
    static int Tag(const QTextBlock& block);

    // Long lines shown wrapped at this column (a right margin), or not wrapped for 0.
    void SetWrapColumn(int column);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int ScreenLines() const;
    qsizetype FirstScreenEnd(const QString& text) const;
    void Fill(const QString& firstScreen);
    void Follow(QTextDocument* document);
    void SetTags(QTextBlock block);
    void ColourVisibleBlocks();
    void Forget(int position, int removed, int added);
    void PlaceRightMargin();

    QStringList Rest; // the lines below the first screen, not in the document yet
    std::vector<int> Tags;
    size_t TagsDone = 0; // the tags already given to lines
    QTimer* RestTimer;

    TStyleFormats Formats;
    int Generation = 0; // a block whose state differs was coloured with older formats, or edited
    bool Colouring = false;
    int WrapColumn = 0;
};

} // namespace tavro::app
