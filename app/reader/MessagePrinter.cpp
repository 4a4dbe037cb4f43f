#include "MessagePrinter.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextBlock>

#include <algorithm>

namespace tavro::app {

namespace {

constexpr int PrintColumns = 80;
constexpr int PrintPointSize = 11;

bool HoldsCyrillic(const QString& family) {
    return QFontDatabase::writingSystems(family).contains(QFontDatabase::Cyrillic);
}

// DejaVu Sans Mono is on nearly every Linux desktop; otherwise the system's fixed font when it
// has Cyrillic, or else any fixed-pitch family that has.
QString PrintFamily() {
    const QString dejaVu = QStringLiteral("DejaVu Sans Mono");
    if (HoldsCyrillic(dejaVu))
        return dejaVu;
    const QString system = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    if (HoldsCyrillic(system))
        return system;
    const QStringList cyrillic = QFontDatabase::families(QFontDatabase::Cyrillic);
    const auto fixed = std::find_if(cyrillic.begin(), cyrillic.end(), [](const QString& family) {
        return QFontDatabase::isFixedPitch(family);
    });
    return fixed != cyrillic.end() ? *fixed : system;
}

} // namespace

QFont PrintFont() {
    QFont font(PrintFamily(), PrintPointSize, QFont::Normal, false);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

bool PrintLines(QPrinter& printer, const QStringList& lines) {
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    painter.setFont(PrintFont());
    painter.setPen(Qt::black);
    const QFontMetricsF metrics = painter.fontMetrics();
    const qreal lineHeight = metrics.height();
    const qreal left =
        std::max<qreal>(0, (printer.width() - PrintColumns * metrics.horizontalAdvance(u'W')) / 2);
    // The first line of a page is printed even when it does not fit, so that paging ends.
    const int perPage = std::max(1, int(printer.height() / lineHeight));
    int row = 0;
    for (const QString& line : lines) {
        if (row == perPage) {
            printer.newPage();
            row = 0;
        }
        painter.drawText(QPointF(left, row * lineHeight + metrics.ascent()), line);
        ++row;
    }
    return painter.end();
}

bool PrintWithDialog(QPrinter& printer, QWidget* parent, bool hasSelection,
                     const std::function<QStringList(bool selection)>& lines) {
    printer.setPrintRange(QPrinter::AllPages);
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, hasSelection);
    // Pages are laid out only while printing, so there are no page numbers to choose from.
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const bool selection = hasSelection && printer.printRange() == QPrinter::Selection;
    return PrintLines(printer, lines(selection));
}

bool PrintWithDialog(QWidget* parent, bool hasSelection,
                     const std::function<QStringList(bool selection)>& lines) {
    QPrinter printer(QPrinter::HighResolution);
    return PrintWithDialog(printer, parent, hasSelection, lines);
}

QStringList SelectedLines(const QPlainTextEdit& view) {
    const QTextCursor cursor = view.textCursor();
    if (!cursor.hasSelection())
        return {};
    const QTextDocument* document = view.document();
    const QTextBlock first = document->findBlock(cursor.selectionStart());
    QTextBlock last = document->findBlock(cursor.selectionEnd());
    if (last != first && cursor.selectionEnd() == last.position())
        last = last.previous();
    QStringList lines;
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        lines << block.text();
        if (block == last)
            break;
    }
    return lines;
}

} // namespace tavro::app
