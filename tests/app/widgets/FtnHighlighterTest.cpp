#include "widgets/FtnHighlighter.h"
#include "widgets/EditorSettings.h"
#include "widgets/UserColors.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QtTest>

#include <tuple>

using namespace tavro;
using namespace tavro::app;

namespace {

// start, length, element
using TRun = std::tuple<int, int, int>;

// Every text element in its own colour, so a run's colour tells its element.
void ColourEveryElement(TUser& user) {
    for (int i = 0; i < ColorElementCount; ++i) {
        user.Colors[static_cast<size_t>(i)] = {static_cast<TColor>(0x101010 * (i + 1)), 0x00F0F0F0};
    }
    user.Styles[ceQuote1] = fsBold;
    user.Styles[ceAddress] = fsUnderline | fsItalic;
}

uint8_t StyleOf(const QTextCharFormat& format) {
    uint8_t style = 0;
    style |= format.fontWeight() == QFont::Bold ? fsBold : 0;
    style |= format.fontItalic() ? fsItalic : 0;
    style |= format.fontUnderline() ? fsUnderline : 0;
    return static_cast<uint8_t>(style);
}

// The runs the highlighter gave the first line, each checked against its element's
// colours and font style.
QList<TRun> Runs(const QTextDocument& document, const TUser& user) {
    QList<TRun> runs;
    for (const QTextLayout::FormatRange& range : document.firstBlock().layout()->formats()) {
        int element = -1;
        for (int i = 0; i < FtnHighlighter::StyleCount; ++i) {
            if (range.format.foreground().color() == ToQColor(user.Colors[static_cast<size_t>(i)].Fg)) {
                element = i;
            }
        }
        if (element >= 0) {
            const auto index = static_cast<size_t>(element);
            if (range.format.background().color() != ToQColor(user.Colors[index].Bg) ||
                StyleOf(range.format) != user.Styles[index]) {
                element = -2; // right colour, wrong background or style
            }
        }
        runs.append({range.start, range.length, element});
    }
    return runs;
}

} // namespace

class FtnHighlighterTest : public QObject {
    Q_OBJECT
private slots:
    void runsCarryTheClassifiersStyles_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QList<TRun>>("runs");
        QTest::newRow("quote with address")
            << QStringLiteral(" IP> see 1:23/45.6 now")
            << QList<TRun>{{0, 9, ceQuote1}, {9, 9, ceAddress}, {18, 4, ceQuote1}};
        QTest::newRow("second level quote with url")
            << QStringLiteral("IP>> http://h.org/x") << QList<TRun>{{0, 5, ceQuote2}, {5, 14, ceAddress}};
        QTest::newRow("kludge is never scanned")
            << QStringLiteral("\x01MSGID: 1:23/45 1234") << QList<TRun>{{0, 20, ceKludge}};
        QTest::newRow("tearline") << QStringLiteral("--- Tavro") << QList<TRun>{{0, 9, ceTearOrigin}};
        QTest::newRow("plain text with e-mail")
            << QStringLiteral("mail a@b.org") << QList<TRun>{{0, 5, ceText}, {5, 7, ceAddress}};
        QTest::newRow("cyrillic before a link keeps positions")
            << QStringLiteral("Привет 1:2/3") << QList<TRun>{{0, 7, ceText}, {7, 5, ceAddress}};
        // An emoji is two UTF-16 units but one character of the display code page.
        QTest::newRow("character outside the basic plane keeps positions")
            << QString::fromUtf8("\xF0\x9F\x98\x80 2:5020/1")
            << QList<TRun>{{0, 3, ceText}, {3, 8, ceAddress}};
    }
    void runsCarryTheClassifiersStyles() {
        QFETCH(QString, line);
        QFETCH(QList<TRun>, runs);
        TUser user;
        ColourEveryElement(user);
        QPlainTextEdit view;
        FtnHighlighter highlighter(view.document());
        highlighter.SetUser(user);
        view.setPlainText(line);
        QCOMPARE(Runs(*view.document(), user), runs);
    }

    void newColoursReachTheShownText() {
        QPlainTextEdit view;
        FtnHighlighter highlighter(view.document());
        view.setPlainText(QStringLiteral(" IP> quoted"));
        TUser user;
        ColourEveryElement(user);
        highlighter.SetUser(user);
        QCOMPARE(Runs(*view.document(), user), (QList<TRun>{{0, 11, ceQuote1}}));
    }

    void editorTakesTheUsersLook() {
        TUser user;
        user.Colors[ceText] = {0x00112233, 0x00445566};
        user.Colors[ceSelection] = {0x00778899, 0xFF00000F}; // button face
        user.SpacesInTab = 4;
        user.BlockIndent = 3;
        user.KeyMapping = 0;
        user.EditorOptions = 0x113;
        QPalette palette;
        palette.setColor(QPalette::Button, QColor(1, 2, 3));
        QApplication::setPalette(palette);

        QPlainTextEdit editor;
        FtnHighlighter highlighter(editor.document());
        ApplyEditorSettings(&editor, &highlighter, user);
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            QCOMPARE(editor.palette().color(group, QPalette::Base), QColor(0x66, 0x55, 0x44));
            QCOMPARE(editor.palette().color(group, QPalette::Text), QColor(0x33, 0x22, 0x11));
            QCOMPARE(editor.palette().color(group, QPalette::HighlightedText), QColor(0x99, 0x88, 0x77));
            QCOMPARE(editor.palette().color(group, QPalette::Highlight), QColor(1, 2, 3));
        }
        QVERIFY(editor.font().fixedPitch() || QFontInfo(editor.font()).fixedPitch());
        QCOMPARE(editor.tabStopDistance(),
                 QFontMetricsF(editor.font()).horizontalAdvance(QLatin1Char(' ')) * 4);
        TEditorBehaviour behaviour = EditorBehaviour(&editor);
        QCOMPARE(behaviour.Options, 0x113u);
        QCOMPARE(behaviour.KeyScheme, QStringLiteral("Default"));
        QCOMPARE(behaviour.BlockIndent, 3);
        QCOMPARE(behaviour.TabWidth, 4);

        // Other key mappings give the editor no scheme; a damaged tab width is kept in range.
        user.KeyMapping = 2;
        user.SpacesInTab = 1000;
        ApplyEditorSettings(&editor, nullptr, user);
        behaviour = EditorBehaviour(&editor);
        QCOMPARE(behaviour.KeyMapping, uint8_t{2});
        QCOMPARE(behaviour.KeyScheme, QString());
        QCOMPARE(behaviour.TabWidth, 32);
        QApplication::setPalette(QPalette());
    }
};

QTEST_MAIN(FtnHighlighterTest)
#include "FtnHighlighterTest.moc"
