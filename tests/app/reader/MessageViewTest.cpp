// The message text view: a long text shows its first screen at once and the rest as soon
// as the event loop runs; lines are coloured when they come on screen, again with new
// colours.
#include "reader/MessageView.h"

#include "config/User.h"
#include "widgets/UserColors.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

using namespace tavro;
using namespace tavro::app;

namespace {

QString Lines(int count, const QString& prefix) {
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << prefix + QString::number(i);
    return lines.join(QLatin1Char('\n'));
}

bool Coloured(const QTextBlock& block) {
    return !block.layout()->formats().isEmpty();
}

} // namespace

class MessageViewTest : public QObject {
    Q_OBJECT
private slots:
    void restFollowsInTheEventLoop() {
        TMessageView view;
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QString text = Lines(2000, QStringLiteral("line "));
        view.ShowText(text);
        QVERIFY(view.document()->blockCount() < 2000);
        QTRY_COMPARE(view.document()->blockCount(), 2000);
        QCOMPARE(view.toPlainText(), text);

        // A newer text or clearing drops what was still to come of the older one.
        view.ShowText(text);
        view.ShowText(QStringLiteral("short"));
        QTest::qWait(20);
        QCOMPARE(view.toPlainText(), QStringLiteral("short"));
        view.ShowText(text);
        view.ClearText();
        QTest::qWait(20);
        QCOMPARE(view.toPlainText(), QString());

        // Work in the same turn can ask for all of it; a text that fits comes whole.
        view.ShowText(text);
        view.Complete();
        QCOMPARE(view.toPlainText(), text);
        view.ShowText(Lines(3, QStringLiteral("x")));
        QCOMPARE(view.document()->blockCount(), 3);
    }

    void linesAreColouredOnScreen() {
        TMessageView view;
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.ShowText(Lines(500, QStringLiteral(" IP> quoted ")));
        view.Complete();
        view.viewport()->repaint();
        QTextDocument* document = view.document();
        QVERIFY(Coloured(document->firstBlock()));
        QVERIFY(!Coloured(document->findBlockByNumber(400)));
        view.verticalScrollBar()->setValue(390);
        view.viewport()->repaint();
        QVERIFY(Coloured(document->findBlockByNumber(400)));

        // New colours reach the shown lines.
        TUser user;
        user.Colors[ceQuote1] = {0x00123456, 0x00FFFFFF};
        view.SetUser(user);
        view.viewport()->repaint();
        const QTextLayout::FormatRange run = document->findBlockByNumber(400).layout()->formats().front();
        QCOMPARE(run.format.foreground().color(), ToQColor(user.Colors[ceQuote1].Fg));
    }
};

QTEST_MAIN(MessageViewTest)
#include "MessageViewTest.moc"
