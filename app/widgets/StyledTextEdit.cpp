#include "StyledTextEdit.h"

#include "config/User.h"

#include <QPlainTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBlockUserData>
#include <QTextDocument>
#include <QTimer>

#include <utility>

namespace tavro::app {

namespace {

class TLineTag final : public QTextBlockUserData {
public:
    explicit TLineTag(int tag) : Value(tag) {}
    int Value;
};

} // namespace

TStyledTextEdit::TStyledTextEdit(QWidget* parent)
    : QPlainTextEdit(parent), RestTimer(new QTimer(this)), Formats(StyleFormats(TUser())) {
    RestTimer->setSingleShot(true);
    connect(RestTimer, &QTimer::timeout, this, &TStyledTextEdit::Complete);
    Follow(document());
}

void TStyledTextEdit::Follow(QTextDocument* document) {
    connect(document, &QTextDocument::contentsChange, this, &TStyledTextEdit::Forget);
}

void TStyledTextEdit::SetUser(const TUser& user) {
    Formats = StyleFormats(user);
    ++Generation;
    viewport()->update();
}

// How many lines fill the view, with some to spare.
int TStyledTextEdit::ScreenLines() const {
    return std::max(64, viewport()->height() / std::max(fontMetrics().lineSpacing(), 1) + 2);
}

// Where the text's first screen of lines ends, -1 when the text is no longer.
qsizetype TStyledTextEdit::FirstScreenEnd(const QString& text) const {
    const int lines = ScreenLines();
    qsizetype at = -1;
    for (int line = 0; line < lines; ++line) {
        at = text.indexOf(QLatin1Char('\n'), at + 1);
        if (at < 0)
            return -1;
    }
    return at;
}

void TStyledTextEdit::ReplaceText(const QString& text) {
    const qsizetype split = FirstScreenEnd(text);
    Rest.clear();
    if (split >= 0)
        Rest << text.mid(split + 1);
    Tags.clear();
    Fill(split < 0 ? text : text.left(split));
}

// Long texts are not joined into one string: a large block costs page faults of its own.
void TStyledTextEdit::ReplaceLines(const QStringList& lines, std::vector<int> tags) {
    const qsizetype first = std::min<qsizetype>(lines.size(), ScreenLines());
    Rest = lines.mid(first);
    Tags = std::move(tags);
    Fill(lines.first(first).join(QLatin1Char('\n')));
}

void TStyledTextEdit::Fill(const QString& firstScreen) {
    TagsDone = 0;
    // A new document is filled before the editor sees it, so no cursor or layout follows
    // each line as it is added.
    QTextDocument* old = document();
    auto* next = new QTextDocument(this);
    next->setDocumentLayout(new QPlainTextDocumentLayout(next));
    next->setUndoRedoEnabled(false);
    next->setDefaultFont(old->defaultFont());
    next->setDefaultTextOption(old->defaultTextOption());
    next->setDocumentMargin(old->documentMargin());
    next->setPlainText(firstScreen);
    next->setUndoRedoEnabled(old->isUndoRedoEnabled());
    SetTags(next->firstBlock());
    Follow(next);
    // The editor's own first document is deleted by the editor; later ones are ours.
    const bool ours = old->parent() == this;
    setDocument(next);
    if (ours)
        delete old;
    if (Rest.isEmpty())
        RestTimer->stop();
    else
        RestTimer->start(0);
}

void TStyledTextEdit::Complete() {
    RestTimer->stop();
    if (Rest.isEmpty())
        return;
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    const int first = end.blockNumber() + 1;
    // Not something the user did: it must not be undone.
    const bool undo = document()->isUndoRedoEnabled();
    document()->setUndoRedoEnabled(false);
    end.insertText(QLatin1Char('\n') + std::exchange(Rest, QStringList()).join(QLatin1Char('\n')));
    document()->setUndoRedoEnabled(undo);
    SetTags(document()->findBlockByNumber(first));
}

void TStyledTextEdit::SetTags(QTextBlock block) {
    for (; block.isValid() && TagsDone < Tags.size(); block = block.next(), ++TagsDone)
        if (Tags[TagsDone] != 0)
            block.setUserData(new TLineTag(Tags[TagsDone]));
}

int TStyledTextEdit::Tag(const QTextBlock& block) {
    const auto* tag = dynamic_cast<const TLineTag*>(block.userData());
    return tag ? tag->Value : 0;
}

void TStyledTextEdit::SetWrapColumn(int column) {
    WrapColumn = std::max(column, 0);
    setLineWrapMode(WrapColumn > 0 ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    PlaceRightMargin();
}

// The text area ends at the wrap column; a narrower window wraps at its edge.
void TStyledTextEdit::PlaceRightMargin() {
    int margin = 0;
    if (WrapColumn > 0) {
        const int needed = WrapColumn * fontMetrics().horizontalAdvance(QLatin1Char('x')) +
                           int(2 * document()->documentMargin()) + cursorWidth() + 1;
        const int room =
            contentsRect().width() - (verticalScrollBar()->isVisible() ? verticalScrollBar()->width() : 0);
        margin = std::max(0, room - needed);
    }
    if (viewportMargins().right() != margin)
        setViewportMargins(0, 0, margin, 0);
}

void TStyledTextEdit::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    PlaceRightMargin();
}

void TStyledTextEdit::changeEvent(QEvent* event) {
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        PlaceRightMargin();
}

void TStyledTextEdit::paintEvent(QPaintEvent* event) {
    ColourVisibleBlocks();
    QPlainTextEdit::paintEvent(event);
}

// New blocks start with the state -1; a coloured one carries the generation of its formats.
void TStyledTextEdit::ColourVisibleBlocks() {
    const int bottom = viewport()->height();
    const QPointF offset = contentOffset();
    Colouring = true;
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        if (blockBoundingGeometry(block).translated(offset).top() > bottom)
            break;
        if (block.userState() == Generation)
            continue;
        block.layout()->setFormats(StyleRuns(block.text(), Formats));
        block.setUserState(Generation);
        // Bold or italic runs change the line's metrics: lay it out again.
        document()->markContentsDirty(block.position(), block.length());
    }
    Colouring = false;
}

// An edited line may have become a quote, a kludge or a tearline: colour it again.
void TStyledTextEdit::Forget(int position, int /*removed*/, int added) {
    if (Colouring)
        return;
    const QTextBlock last = document()->findBlock(position + added);
    for (QTextBlock block = document()->findBlock(position); block.isValid(); block = block.next()) {
        block.setUserState(-1);
        if (block == last)
            break;
    }
}

} // namespace tavro::app
