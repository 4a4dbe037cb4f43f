// Printing from the reader: the page layout read back from a PDF, the selected lines of the
// message text, and the print dialog's "Selection" choice.
#include "reader/MessagePrinter.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace tavro::app;

namespace {

struct TWord {
    QRectF Box; // in points, from the top left of the page
    QString Text;
};

struct TPdfPage {
    QSizeF Size;
    QList<TWord> Words;
};

bool PdfToolsMissing() {
    return QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() ||
           QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
}
#define SKIP_WITHOUT_PDF_TOOLS()                                                                             \
    if (PdfToolsMissing())                                                                                   \
    QSKIP("pdftotext and pdfinfo (poppler-utils) read the printouts")

QByteArray Run(const QString& tool, const QStringList& arguments) {
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

QString PdfText(const QString& pdf) {
    return QString::fromUtf8(Run(QStringLiteral("pdftotext"), {"-layout", "-enc", "UTF-8", pdf, "-"}));
}

int PdfPageCount(const QString& pdf) {
    const QString info = QString::fromUtf8(Run(QStringLiteral("pdfinfo"), {pdf}));
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// Every word with its box, page by page, from pdftotext's bounding-box output.
QList<TPdfPage> PdfWords(const QString& pdf) {
    const QString html =
        QString::fromUtf8(Run(QStringLiteral("pdftotext"), {"-bbox", "-enc", "UTF-8", pdf, "-"}));
    static const QRegularExpression tag(
        QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\">|<word xMin=\"([\\d.]+)\" "
                       "yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    QList<TPdfPage> pages;
    for (const QRegularExpressionMatch& match : tag.globalMatch(html)) {
        if (!match.captured(1).isEmpty()) {
            pages.append({QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble()), {}});
        } else if (!pages.isEmpty()) {
            const QPointF topLeft(match.captured(3).toDouble(), match.captured(4).toDouble());
            const QPointF bottomRight(match.captured(5).toDouble(), match.captured(6).toDouble());
            pages.last().Words.append({QRectF(topLeft, bottomRight), match.captured(7)});
        }
    }
    return pages;
}

// A4 with the margins given in millimetres: the printable area is offset on the paper.
const QMarginsF Margins(15, 12, 5, 10);

void MakePdfPrinter(QPrinter& printer, const QString& path, const QMarginsF& margins = Margins) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(margins, QPageLayout::Millimeter);
}

constexpr qreal PointsPerMm = 72 / 25.4;

// How many lines of the print font fit on a page of the printer.
int LinesPerPage(QPrinter& printer) {
    return int(printer.height() / QFontMetricsF(PrintFont(), &printer).height());
}

QStringList NumberedLines(int count, int width = 0) {
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QStringLiteral("line%1").arg(i).leftJustified(width, u'x');
    return lines;
}

// Runs `inspect` on the print dialog once it is open; `inspect` closes it.
void OnPrintDialog(std::function<void(QPrintDialog*)> inspect) {
    QTimer::singleShot(0, [inspect] {
        auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            QTest::qFail("no print dialog", __FILE__, __LINE__);
            if (QWidget* other = QApplication::activeModalWidget())
                other->close();
            return;
        }
        inspect(dialog);
    });
}

} // namespace

class MessagePrinterTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(Dir.isValid()); }

    void fontIsFixedPitchCyrillic() {
        const QFont font = PrintFont();
        QCOMPARE(font.pointSize(), 11);
        QVERIFY(QFontInfo(font).fixedPitch());
        QVERIFY(QFontDatabase::writingSystems(QFontInfo(font).family()).contains(QFontDatabase::Cyrillic));
        QVERIFY(!font.bold() && !font.italic());
    }

    void printsTheLinesCyrillicIncluded() {
        SKIP_WITHOUT_PDF_TOOLS();
        const QStringList lines = {
            QStringLiteral("\u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440!"),
            QStringLiteral("Hello, world"), QString(),
            QStringLiteral("From: \u0418\u0432\u0430\u043D \u041F\u0435\u0442\u0440\u043E\u0432 "
                           "2:5020/1.5")};
        const QString pdf = Dir.filePath(QStringLiteral("message.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        MakePdfPrinter(printer, pdf);
        QVERIFY(PrintLines(printer, lines));

        QCOMPARE(PdfPageCount(pdf), 1);
        QStringList printed = PdfText(pdf).split(u'\n');
        for (QString& line : printed)
            line = line.trimmed();
        printed.removeAll(QStringLiteral("\f"));
        while (!printed.isEmpty() && printed.last().isEmpty())
            printed.removeLast();
        QCOMPARE(printed, lines);
    }

    // 80 columns of the 11-point fixed-pitch font in the middle of the printable width, lines
    // from its top, one line height apart; a long line runs on and takes one line.
    void laysOutEightyColumnsCentred() {
        SKIP_WITHOUT_PDF_TOOLS();
        const QString pdf = Dir.filePath(QStringLiteral("layout.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        MakePdfPrinter(printer, pdf);
        const QString wide(80, u'W');
        const QString narrow(80, u'i');
        // The PDF reader drops the words that run off the paper.
        const QString longLine = QStringLiteral("long ").repeated(30);
        QVERIFY(PrintLines(printer, {wide, narrow, longLine, QStringLiteral("after")}));

        const QList<TPdfPage> pages = PdfWords(pdf);
        QCOMPARE(pages.size(), 1);
        const QList<TWord>& words = pages[0].Words;
        QVERIFY(words.size() > 2 + 16 + 1);
        QCOMPARE(words[0].Text, wide);
        QCOMPARE(words[1].Text, narrow);
        QCOMPARE(words.last().Text, QStringLiteral("after"));
        const QRectF wideBox = words[0].Box;
        const QRectF narrowBox = words[1].Box;

        // A fixed-pitch font of 11 points is about 0.6 em wide.
        QVERIFY2(qAbs(wideBox.width() - 80 * 11 * 0.6) < 80 * 11 * 0.05,
                 qPrintable(QString::number(wideBox.width())));
        QVERIFY(qAbs(narrowBox.width() - wideBox.width()) < 1);
        const qreal printableLeft = Margins.left() * PointsPerMm;
        const qreal printableRight = pages[0].Size.width() - Margins.right() * PointsPerMm;
        QVERIFY2(qAbs((wideBox.left() - printableLeft) - (printableRight - wideBox.right())) < 1,
                 qPrintable(QStringLiteral("%1 .. %2").arg(wideBox.left()).arg(wideBox.right())));
        QVERIFY(qAbs(narrowBox.left() - wideBox.left()) < 1);

        const qreal lineHeight = QFontMetricsF(PrintFont(), &printer).height() * 72 / printer.resolution();
        QVERIFY(qAbs(wideBox.top() - Margins.top() * PointsPerMm) < lineHeight / 2);
        QVERIFY(qAbs(narrowBox.top() - wideBox.top() - lineHeight) < 0.5);
        for (qsizetype i = 2; i + 1 < words.size(); ++i)
            QVERIFY(qAbs(words[i].Box.top() - wideBox.top() - 2 * lineHeight) < 0.5);
        QVERIFY(qAbs(words.last().Box.top() - wideBox.top() - 3 * lineHeight) < 0.5);
    }

    // When 80 columns are wider than the printable area the lines start at its left edge
    // rather than outside it.
    void narrowPageStartsAtItsEdge() {
        SKIP_WITHOUT_PDF_TOOLS();
        const QString pdf = Dir.filePath(QStringLiteral("narrow.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        const QMarginsF wide(40, 12, 40, 10);
        MakePdfPrinter(printer, pdf, wide);
        QVERIFY(PrintLines(printer, {QStringLiteral("Start")}));
        const QList<TPdfPage> pages = PdfWords(pdf);
        QCOMPARE(pages.size(), 1);
        QCOMPARE(pages[0].Words.size(), 1);
        QVERIFY(qAbs(pages[0].Words[0].Box.left() - wide.left() * PointsPerMm) < 1);
    }

    void breaksPagesByLineHeight_data() {
        QTest::addColumn<int>("pagesFull"); // lines: so many full pages
        QTest::addColumn<int>("extra");     // and so many lines more
        QTest::addColumn<int>("width");     // of each line, in characters
        QTest::addColumn<int>("pages");
        QTest::newRow("nothing") << 0 << 0 << 0 << 1;
        QTest::newRow("one full page") << 1 << 0 << 0 << 1;
        QTest::newRow("one line more") << 1 << 1 << 0 << 2;
        QTest::newRow("three pages") << 2 << 5 << 0 << 3;
        QTest::newRow("long lines are not broken") << 2 << 5 << 150 << 3;
    }
    void breaksPagesByLineHeight() {
        SKIP_WITHOUT_PDF_TOOLS();
        QFETCH(int, pagesFull);
        QFETCH(int, extra);
        QFETCH(int, width);
        QFETCH(int, pages);
        const QString pdf = Dir.filePath(QStringLiteral("pages.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        MakePdfPrinter(printer, pdf);
        const int perPage = LinesPerPage(printer);
        // A4 less 30 mm is some 56 lines of 11 points.
        QVERIFY2(perPage > 45 && perPage < 65, qPrintable(QString::number(perPage)));
        const QStringList lines = NumberedLines(pagesFull * perPage + extra, width);
        QVERIFY(PrintLines(printer, lines));

        QCOMPARE(PdfPageCount(pdf), pages);
        const QStringList printed = PdfText(pdf).split(u'\f');
        for (int page = 1; page < pages; ++page) {
            const QString first = printed.value(page).trimmed().section(u'\n', 0, 0).trimmed();
            // The paper cuts a long line off.
            QCOMPARE(first.left(80), lines[page * perPage].left(80));
        }
        if (!lines.isEmpty())
            QVERIFY(printed.value(pages - 1).contains(lines.last().left(80)));
    }

    void selectedLinesAreWholeLines_data() {
        QTest::addColumn<int>("anchor"); // positions in "first line\nsecond line\nthird line\nfourth"
        QTest::addColumn<int>("position");
        QTest::addColumn<QStringList>("lines");
        const QStringList all = {"first line", "second line", "third line", "fourth"};
        QTest::newRow("none") << 3 << 3 << QStringList();
        QTest::newRow("inside one line") << 13 << 15 << all.mid(1, 1);
        QTest::newRow("middle to middle") << 3 << 26 << all.mid(0, 3);
        QTest::newRow("backwards") << 26 << 3 << all.mid(0, 3);
        QTest::newRow("up to the start of a line") << 11 << 23 << all.mid(1, 1);
        QTest::newRow("the line break alone") << 10 << 11 << all.mid(0, 1);
        QTest::newRow("everything") << 0 << 40 << all;
    }
    void selectedLinesAreWholeLines() {
        QFETCH(int, anchor);
        QFETCH(int, position);
        QFETCH(QStringList, lines);
        QPlainTextEdit view;
        view.setPlainText(QStringLiteral("first line\nsecond line\nthird line\nfourth"));
        QTextCursor cursor(view.document());
        cursor.setPosition(anchor);
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        view.setTextCursor(cursor);
        QCOMPARE(SelectedLines(view), lines);
    }

    // The dialog offers "Selection" only with a selection; the lines come from the choice made.
    void dialogOffersTheSelection_data() {
        QTest::addColumn<bool>("hasSelection");
        QTest::addColumn<bool>("chooseSelection");
        QTest::addColumn<bool>("accept");
        QTest::newRow("no selection") << false << false << true;
        QTest::newRow("selection not chosen") << true << false << true;
        QTest::newRow("selection chosen") << true << true << true;
        QTest::newRow("cancelled") << true << true << false;
    }
    void dialogOffersTheSelection() {
        SKIP_WITHOUT_PDF_TOOLS();
        QFETCH(bool, hasSelection);
        QFETCH(bool, chooseSelection);
        QFETCH(bool, accept);
        const QString pdf = Dir.filePath(QStringLiteral("dialog.pdf"));
        QFile::remove(pdf);
        QPrinter printer(QPrinter::HighResolution);
        MakePdfPrinter(printer, pdf);

        bool offered = !hasSelection;
        bool shown = !hasSelection;
        OnPrintDialog([&](QPrintDialog* dialog) {
            offered = dialog->testOption(QAbstractPrintDialog::PrintSelection);
            auto* selection = dialog->findChild<QRadioButton*>(QStringLiteral("printSelection"));
            if (selection) {
                shown = selection->isEnabled() && !selection->isHidden();
                if (chooseSelection)
                    selection->setChecked(true);
            }
            accept ? dialog->accept() : dialog->reject();
        });
        QList<bool> calls;
        const QStringList templateLines = {QStringLiteral("Template output"),
                                           QStringLiteral("of the message")};
        const QStringList selectedLines = {
            QStringLiteral("\u0412\u044B\u0434\u0435\u043B\u0435\u043D\u043E")};
        const bool printed = PrintWithDialog(printer, nullptr, hasSelection, [&](bool selection) {
            calls << selection;
            return selection ? selectedLines : templateLines;
        });
        QCOMPARE(offered, hasSelection);
        QCOMPARE(shown, hasSelection);
        QCOMPARE(printed, accept);
        if (!accept) {
            QVERIFY(calls.isEmpty());
            QVERIFY(!QFile::exists(pdf));
            return;
        }
        QCOMPARE(calls, QList<bool>{chooseSelection});
        const QString text = PdfText(pdf);
        const QStringList expected = chooseSelection ? selectedLines : templateLines;
        const QStringList other = chooseSelection ? templateLines : selectedLines;
        for (const QString& line : expected)
            QVERIFY2(text.contains(line), qPrintable(text));
        for (const QString& line : other)
            QVERIFY2(!text.contains(line), qPrintable(text));
    }

private:
    QTemporaryDir Dir;
};

QTEST_MAIN(MessagePrinterTest)
#include "MessagePrinterTest.moc"
