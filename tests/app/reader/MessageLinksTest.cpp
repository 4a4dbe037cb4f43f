// Links in the message text: which text under the pointer is a link, what opening it hands
// to the desktop, "Open as URL" over two lines, and the context menu's states. (A "#" in
// place of "@" is no link to the classifier; what opening makes of one is tested with the
// reader's text rules.)
#include "reader/MessageLinks.h"

#include <QFontDatabase>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTextBlock>
#include <QtTest>

using namespace tavro::app;

class MessageLinksTest : public QObject {
    Q_OBJECT
private:
    // The middle of the character at a position of the text, in viewport coordinates.
    static QPoint CharAt(QPlainTextEdit& text, int line, int column) {
        QTextCursor cursor(text.document()->findBlockByNumber(line));
        cursor.setPosition(cursor.position() + column);
        const QRect left = text.cursorRect(cursor);
        return QPoint(left.x() + text.fontMetrics().horizontalAdvance(QLatin1Char('m')) / 2,
                      left.center().y());
    }

private slots:
    void linksUnderThePointerOpen() {
        QPlainTextEdit text;
        text.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        text.setReadOnly(true);
        text.setPlainText(
            QStringLiteral("Mail ivan@example.org or see\nwww.example.org/a\n/b and 2:5020/1.7 here"));
        text.resize(600, 300);
        text.show();
        QVERIFY(QTest::qWaitForWindowExposed(&text));
        TMessageLinks links(&text);
        QList<QUrl> opened;
        links.OpenUrl = [&](const QUrl& url) { opened << url; };
        QSignalSpy address(&links, &TMessageLinks::AddressOpened);

        QVERIFY(!links.LinkAt(CharAt(text, 0, 2)));
        const auto mail = links.LinkAt(CharAt(text, 0, 10));
        QVERIFY(mail);
        QCOMPARE(mail->Text, QStringLiteral("ivan@example.org"));
        QTest::mouseClick(text.viewport(), Qt::LeftButton, Qt::ControlModifier, CharAt(text, 0, 10));
        QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("mailto:ivan@example.org"))});
        // A plain click does nothing; a double click opens.
        QTest::mouseClick(text.viewport(), Qt::LeftButton, Qt::NoModifier, CharAt(text, 2, 10));
        QCOMPARE(address.size(), 0);
        QTest::mouseDClick(text.viewport(), Qt::LeftButton, Qt::NoModifier, CharAt(text, 2, 10));
        QCOMPARE(address.size(), 1);
        QCOMPARE(address.front().front().toString(), QStringLiteral("2:5020/1.7"));

        // Over a link the menu offers it; "Open as URL" needs a selection.
        std::unique_ptr<QMenu> menu(links.MakeMenu(CharAt(text, 0, 10)));
        QVERIFY(menu->actions()[0]->isEnabled());
        QVERIFY(!menu->actions()[2]->isEnabled());
        menu.reset(links.MakeMenu(CharAt(text, 0, 2)));
        QVERIFY(!menu->actions()[0]->isEnabled());
        QVERIFY(!menu->actions()[1]->isEnabled());

        // A selection over two lines opens as one address.
        QTextCursor cursor(text.document()->findBlockByNumber(1));
        cursor.movePosition(QTextCursor::Down, QTextCursor::KeepAnchor);
        cursor.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor, 2);
        text.setTextCursor(cursor);
        menu.reset(links.MakeMenu(CharAt(text, 0, 2)));
        QVERIFY(menu->actions()[2]->isEnabled());
        opened.clear();
        QVERIFY(links.OpenSelectionAsUrl());
        QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("http://www.example.org/a/b"))});
    }
};

QTEST_MAIN(MessageLinksTest)
#include "MessageLinksTest.moc"
