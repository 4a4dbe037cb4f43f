#include "MessageView.h"

#include "config/User.h"

#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <utility>

namespace tavro::app {

TMessageView::TMessageView(QWidget* parent)
    : QPlainTextEdit(parent), RestTimer(new QTimer(this)), Formats(StyleFormats(TUser())) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    RestTimer->setSingleShot(true);
    connect(RestTimer, &QTimer::timeout, this, &TMessageView::Complete);
}

// Where the text's lines stop filling the view (with some to spare), -1 when they never do.
qsizetype TMessageView::FirstScreenEnd(const QString& text) const {
    const int lines = std::max(64, viewport()->height() / std::max(fontMetrics().lineSpacing(), 1) + 2);
    qsizetype at = -1;
    for (int line = 0; line < lines; ++line) {
        at = text.indexOf(QLatin1Char('\n'), at + 1);
        if (at < 0)
            return -1;
    }
    return at;
}

void TMessageView::ShowText(const QString& text) {
    const qsizetype split = FirstScreenEnd(text);
    Rest = split < 0 ? QString() : text.mid(split);
    // A new document is filled before the view sees it, so no cursor or layout follows
    // each line as it is added.
    auto* next = new QTextDocument(this);
    next->setDocumentLayout(new QPlainTextDocumentLayout(next));
    next->setUndoRedoEnabled(false);
    next->setDefaultFont(font());
    next->setPlainText(split < 0 ? text : text.left(split));
    // The editor's own first document is deleted by the editor; later ones are ours.
    QTextDocument* shown = document()->parent() == this ? document() : nullptr;
    setDocument(next);
    delete shown;
    if (Rest.isEmpty())
        RestTimer->stop();
    else
        RestTimer->start(0);
}

void TMessageView::ClearText() {
    Rest.clear();
    RestTimer->stop();
    clear();
}

void TMessageView::Complete() {
    RestTimer->stop();
    if (Rest.isEmpty())
        return;
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(std::exchange(Rest, QString()));
}

void TMessageView::SetUser(const TUser& user) {
    Formats = StyleFormats(user);
    ++Generation;
    viewport()->update();
}

void TMessageView::paintEvent(QPaintEvent* event) {
    ColourVisibleBlocks();
    QPlainTextEdit::paintEvent(event);
}

// New blocks start with the state -1; a coloured one carries the generation of its formats.
void TMessageView::ColourVisibleBlocks() {
    const int bottom = viewport()->height();
    const QPointF offset = contentOffset();
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
}

} // namespace tavro::app
