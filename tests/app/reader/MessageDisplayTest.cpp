// The message pane over a small Squish base with the reply links a tosser stores: the
// header's position and links, the drop-down of several answers, kludges on and off.
#include "reader/MessageDisplay.h"
#include "reader/MessageView.h"
#include "reader/MsgHeaderPanel.h"

#include "config/User.h"
#include "core/Base.h"

#include "../../reader/ReaderBases.h"

#include <QFontDatabase>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace tavro;
using namespace tavro::app;

class MessageDisplayTest : public QObject {
    Q_OBJECT

private slots:
    void headerLinksAndAnswers();
    void kludgesOnAndOff();
    void fittedTextFollowsTheViewWidth();
};

void MessageDisplayTest::headerLinksAndAnswers() {
    test::TTempDir dir;
    // 0 answered by 1 and 2; 1 answered by 2 alone; 2 answers 1.
    TBaseRef base = test::MakeBase(btSquish, dir,
                                   {{"root", 0, "", "", "Ann", 45000, {2, 3}},
                                    {"one", 1, "", "", "Bob", 45000, {3}},
                                    {"two", 2, "", "", "Carl"}});
    TMsgHeaderPanel header;
    TMessageView text;
    TMessageDisplay display(&header, &text);
    QSignalSpy focus(&display, &TMessageDisplay::FocusRequested);

    display.Show(*base, 0, {});
    QCOMPARE(header.MsgNumText(), QStringLiteral("1/3-2"));
    QCOMPARE(header.LinksText(), QStringLiteral(" +2 3"));
    QVERIFY(!header.LeftLinkButton()->isEnabled());
    QVERIFY(header.RightLinkButton()->isEnabled());
    QCOMPARE(header.FromNameBox()->text(), QStringLiteral("Ann"));
    QVERIFY(header.FromNameBox()->isReadOnly());
    // Two answers: a menu of them, the first highlighted; choosing one focuses it.
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QCOMPARE(menu->actions().size(), 2);
        QCOMPARE(menu->actions()[1]->text(), QStringLiteral("3 Carl"));
        QCOMPARE(menu->activeAction(), menu->actions()[0]);
        menu->actions()[1]->trigger();
        menu->close();
    });
    header.RightLinkButton()->click();
    QCOMPARE(focus.size(), 1);
    QCOMPARE(focus.takeFirst().at(0).toInt(), 2);

    // One answer: no menu, straight there; the parent by the left button.
    display.Show(*base, 1, {});
    QCOMPARE(header.LinksText(), QStringLiteral("-1 +3"));
    header.RightLinkButton()->click();
    header.LeftLinkButton()->click();
    QCOMPARE(focus.size(), 2);
    QCOMPARE(focus.at(0).at(0).toInt(), 2);
    QCOMPARE(focus.at(1).at(0).toInt(), 0);

    display.Clear();
    QCOMPARE(header.LinksText(), QString());
    QCOMPARE(header.FromNameBox()->text(), QString());
    QVERIFY(!header.RightLinkButton()->isEnabled());
    QVERIFY(text.toPlainText().isEmpty());
}

void MessageDisplayTest::kludgesOnAndOff() {
    test::TTempDir dir;
    TBaseRef base = test::MakeBase(btJam, dir, {{"subject", 0, "2:5020/1 abcd"}});
    TMsgHeaderPanel header;
    TMessageView text;
    TMessageDisplay display(&header, &text);
    display.Show(*base, 0, {});
    QCOMPARE(text.toPlainText(), QStringLiteral("text"));
    display.SetShowKludges(true);
    QCOMPARE(text.toPlainText(), QStringLiteral("\x01MSGID: 2:5020/1 abcd\ntext"));
    display.SetShowKludges(false);
    QCOMPARE(text.toPlainText(), QStringLiteral("text"));
}

// With the user's "fit to the viewer" the text is wrapped at the view's width, again when it
// changes; otherwise at 79 columns whatever the view.
void MessageDisplayTest::fittedTextFollowsTheViewWidth() {
    test::TTempDir dir;
    TBaseRef base = test::MakeBase(btJam, dir, {{"subject"}});
    TMsgHeaderPanel header;
    TMessageView text;
    text.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text.resize(1200, 300);
    text.show();
    QVERIFY(QTest::qWaitForWindowExposed(&text));
    TMessageDisplay display(&header, &text);
    TUser user;
    user.FormatToViewer = true;
    display.SetUser(&user);
    // A long body line in the message the base hands out while it is held.
    TMsgHandle msg = base->GetMsg(0);
    msg->GetBody();
    std::string line;
    for (int i = 0; i < 40; ++i)
        line += "word" + std::to_string(i) + " ";
    msg->Body = {{line}};
    display.Show(*base, 0, {});
    const int wide = text.document()->blockCount();
    text.resize(400, 300);
    QApplication::processEvents();
    QVERIFY(text.document()->blockCount() > wide);
    user.FormatToViewer = false;
    display.Show(*base, 0, {});
    const int fixed = text.document()->blockCount();
    text.resize(1200, 300);
    QApplication::processEvents();
    QCOMPARE(text.document()->blockCount(), fixed);
}

QTEST_MAIN(MessageDisplayTest)
#include "MessageDisplayTest.moc"
