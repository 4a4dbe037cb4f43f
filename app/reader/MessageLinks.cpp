#include "MessageLinks.h"

#include "widgets/QtText.h"

#include "reader/MsgText.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextBlock>

namespace tavro::app {

TMessageLinks::TMessageLinks(QPlainTextEdit* text, QObject* parent)
    : QObject(parent), OpenUrl([](const QUrl& url) { QDesktopServices::openUrl(url); }), Text(text) {
    Text->viewport()->setMouseTracking(true);
    Text->viewport()->installEventFilter(this);
    Text->setContextMenuPolicy(Qt::DefaultContextMenu);
}

std::optional<TMessageLinks::TFound> TMessageLinks::LinkAt(const QPoint& point) const {
    const QTextCursor cursor = Text->cursorForPosition(point);
    // The character under the point, not the gap before it.
    const QRect caret = Text->cursorRect(cursor);
    int column = cursor.positionInBlock();
    if (point.x() < caret.left())
        --column;
    const QString line = cursor.block().text();
    if (column < 0 || column >= line.size())
        return std::nullopt;
    // One byte per character in the display code page, as the colouring reads the line.
    for (const TLink& link : TFTNParser::FindLinks(FromQt(line)))
        if (size_t(column) >= link.Start && size_t(column) < link.Start + link.Length)
            return TFound{line.mid(qsizetype(link.Start), qsizetype(link.Length)), link.Kind};
    return std::nullopt;
}

bool TMessageLinks::Open(const TFound& link) {
    if (link.Kind == lkAddress) {
        emit AddressOpened(link.Text);
        return true;
    }
    const std::string target = DesktopLinkTarget(FromQt(link.Text), link.Kind);
    if (target.empty())
        return false;
    OpenUrl(QUrl(ToQt(target)));
    return true;
}

bool TMessageLinks::OpenSelectionAsUrl() {
    // Lines of a selection come with paragraph separators; those go like any blank.
    const std::string url = UrlFromSelection(
        FromQt(Text->textCursor().selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'))));
    if (url.empty())
        return false;
    OpenUrl(QUrl(ToQt(url)));
    return true;
}

QMenu* TMessageLinks::MakeMenu(const QPoint& point) {
    auto* menu = new QMenu(Text);
    const std::optional<TFound> link = LinkAt(point);
    QAction* open = menu->addAction(QStringLiteral("Open Link"), this, [this, link] {
        if (link)
            Open(*link);
    });
    QAction* copy = menu->addAction(QStringLiteral("Copy Link"), this, [link] {
        if (link)
            QApplication::clipboard()->setText(link->Text);
    });
    open->setEnabled(link.has_value());
    copy->setEnabled(link.has_value());
    QAction* asUrl = menu->addAction(QStringLiteral("Open as URL"), this, [this] { OpenSelectionAsUrl(); });
    asUrl->setEnabled(Text->textCursor().hasSelection());
    menu->addSeparator();
    menu->addAction(QStringLiteral("Select all message text"), QKeySequence(Qt::CTRL | Qt::Key_A), Text,
                    &QPlainTextEdit::selectAll);
    QAction* clip = menu->addAction(QStringLiteral("&Copy to clipboard"),
                                    QKeySequence(Qt::CTRL | Qt::Key_Insert), Text, &QPlainTextEdit::copy);
    clip->setEnabled(Text->textCursor().hasSelection());
    return menu;
}

bool TMessageLinks::eventFilter(QObject* watched, QEvent* event) {
    if (watched != Text->viewport())
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const Qt::KeyboardModifiers held = mouse->modifiers();
        const bool hand = (held == Qt::NoModifier || held == Qt::ControlModifier) &&
                          LinkAt(mouse->position().toPoint()).has_value();
        Text->viewport()->setCursor(hand ? Qt::PointingHandCursor : Qt::IBeamCursor);
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const bool ctrlClick = event->type() == QEvent::MouseButtonPress &&
                               mouse->button() == Qt::LeftButton && mouse->modifiers() == Qt::ControlModifier;
        const bool doubleClick =
            event->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton;
        if (ctrlClick || doubleClick)
            if (const std::optional<TFound> link = LinkAt(mouse->position().toPoint()); link && Open(*link))
                return true;
        break;
    }
    case QEvent::ContextMenu: {
        const auto* context = static_cast<QContextMenuEvent*>(event);
        QMenu* menu = MakeMenu(context->pos());
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(context->globalPos());
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tavro::app
