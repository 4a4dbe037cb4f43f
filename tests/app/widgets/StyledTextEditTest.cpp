// The composer's editor: an edited line is coloured again by what it has become, and the
// line tags of a long text reach the lines that come after the first screen.
#include "widgets/StyledTextEdit.h"

#include "config/User.h"
#include "widgets/UserColors.h"

#include <QTextBlock>
#include <QtTest>

using namespace tavro;
using namespace tavro::app;

namespace {

QColor Foreground(const QTextBlock& block) {
    const QList<QTextLayout::FormatRange> runs = block.layout()->formats();
    return runs.isEmpty() ? QColor() : runs.front().format.foreground().color();
}

} // namespace

class StyledTextEditTest : public QObject {
    Q_OBJECT
private slots:
    void anEditedLineIsColouredAgain() {
        TStyledTextEdit editor;
        TUser user;
        user.Colors[ceText] = {0x00000000, 0x00FFFFFF};
        user.Colors[ceQuote1] = {0x00123456, 0x00FFFFFF};
        editor.SetUser(user);
        editor.resize(400, 300);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        editor.ReplaceText(QStringLiteral("plain words\nmore"));
        editor.viewport()->repaint();
        QCOMPARE(Foreground(editor.document()->firstBlock()), ToQColor(user.Colors[ceText].Fg));

        QTextCursor cursor(editor.document());
        cursor.insertText(QStringLiteral(" IP> "));
        editor.viewport()->repaint();
        QCOMPARE(Foreground(editor.document()->firstBlock()), ToQColor(user.Colors[ceQuote1].Fg));
        editor.undo();
        editor.viewport()->repaint();
        QCOMPARE(Foreground(editor.document()->firstBlock()), ToQColor(user.Colors[ceText].Fg));
    }

    // The signature lines of a template sit below a long quote: their tags must not be lost,
    // and taking the rest in is not a step the user can undo.
    void tagsReachTheLinesBelowTheFirstScreen() {
        TStyledTextEdit editor;
        editor.resize(400, 300);
        QStringList lines;
        std::vector<int> tags;
        for (int i = 0; i < 1000; ++i) {
            lines << QStringLiteral("line %1").arg(i);
            tags.push_back(i % 7 == 0 ? i + 1 : 0);
        }
        editor.ReplaceLines(lines, tags);
        QVERIFY(editor.document()->blockCount() < 1000);
        QTRY_COMPARE(editor.document()->blockCount(), 1000);
        QCOMPARE(editor.toPlainText(), lines.join(QLatin1Char('\n')));
        for (QTextBlock block = editor.document()->firstBlock(); block.isValid(); block = block.next())
            QCOMPARE(TStyledTextEdit::Tag(block), tags[size_t(block.blockNumber())]);
        QVERIFY(!editor.document()->isUndoAvailable());
    }
};

QTEST_MAIN(StyledTextEditTest)
#include "StyledTextEditTest.moc"
