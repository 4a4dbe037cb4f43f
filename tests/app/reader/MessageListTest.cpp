// The reader's message list over a real base: what it shows when an area opens, how it
// keeps up with the tosser, and what it never does while it paints.
#include "reader/AreaTree.h"
#include "reader/MessageView.h"
#include "reader/MsgListModel.h"
#include "reader/MsgListPane.h"
#include "reader/ViewForm.h"
#include "reader/ViewerArea.h"
#include "reader/ViewerPanes.h"

#include "bases/JamBase.h"
#include "config/Echo.h"
#include "config/TreeInfo.h"
#include "config/User.h"
#include "core/Settings.h"
#include "widgets/FtnData.h"

#include "Crashmail.h"
#include "RecordingUi.h"
#include "TempDir.h"

#include "ReaderHome.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include <filesystem>

using namespace tavro;
using namespace tavro::app;
using tavro::test::ItemNamed;
using tavro::test::SetLastRead;
using tavro::test::TJamPost;
using tavro::test::TReaderHome;
using tavro::test::WriteJam;

class MessageListTest : public QObject, public TReaderHome {
    Q_OBJECT
private slots:
    void init() { Start(); }
    void cleanup() { Stop(); }

    // Lastread below the first id focuses the first message; at a deleted id the nearest
    // lower one.
    void opensAtTheLastReadMessage_data() {
        QTest::addColumn<uint>("lastRead");
        QTest::addColumn<int>("focused");
        QTest::newRow("below the first") << 0u << 0;
        QTest::newRow("at an id") << 3u << 2;
        QTest::newRow("at a deleted id") << 4u << 2;
        QTest::newRow("beyond the last") << 99u << 3;
    }
    void opensAtTheLastReadMessage() {
        QFETCH(uint, lastRead);
        QFETCH(int, focused);
        const std::string jhr = File("area.jhr");
        WriteJam(jhr, {{"A", "one"}, {"B", "two"}, {"C", "three"}, {"D", "four"}, {"E", "five"}});
        {
            TJamBase base(jhr, "RU.TEST", "");
            base.Rescan();
            QVERIFY(base.DeleteMsg(4));
        }
        SetLastRead(jhr, lastRead);
        AddArea("RU.TEST", jhr);
        TViewForm form;
        form.SetCurrentUser(User.get());
        QCOMPARE(form.windowTitle(), QStringLiteral("Tavro Viewer: RU.TEST"));
        QCOMPARE(Model(form)->rowCount(), 4);
        QCOMPARE(form.ListPane()->CurrentPosition(), focused);
    }

    // Opening reads only the rows drawn: a header that cannot be read shows up as a locked
    // area only when its row is needed.
    void modelIsConsistentFlatThreadedAndSorted() {
        const std::string jhr = File("area.jhr");
        WriteJam(jhr,
                 {{"Ivan", "root", "1:1/1 1"},
                  {"Petr", "Re: root", "1:1/1 2", "1:1/1 1"},
                  {"Anna", "other"},
                  {"Reader", "Re: Re: root", "", "1:1/1 2"},
                  {"Oleg", "Re: missing parent", "", "1:1/1 77"}},
                 {0, 2});
        AddArea("RU.TEST", jhr);
        TViewForm form;
        QAbstractItemModelTester tester(Model(form), QAbstractItemModelTester::FailureReportingMode::QtTest);
        form.SetCurrentUser(User.get());
        QCOMPARE(Model(form)->rowCount(), 5);
        form.Action("ThreadModeAction")->setChecked(true);
        QCOMPARE(Model(form)->rowCount(), 3);
        const QModelIndex root = Model(form)->index(0, 0);
        QCOMPARE(Model(form)->rowCount(root), 1);
        const QModelIndex reply = Model(form)->index(0, 0, root);
        QCOMPARE(Model(form)->rowCount(reply), 1);
        QCOMPARE(Model(form)->index(0, 3, reply).data().toString(), QStringLiteral("Re: Re: root"));
        QVERIFY(form.Panes()->List()->rootIsDecorated());
        // The number is bold while the message or a reply below it is unread.
        QVERIFY(root.data(Qt::FontRole).value<QFont>().bold());
        QVERIFY(!Model(form)->index(1, 0).data(Qt::FontRole).value<QFont>().bold());
        // From is bold for the user's own name, and only there.
        const QModelIndex own = Model(form)->index(0, 1, reply);
        QCOMPARE(own.data().toString(), QStringLiteral("Reader"));
        QVERIFY(own.data(Qt::FontRole).value<QFont>().bold());
        QVERIFY(!Model(form)->index(0, 1, root).data(Qt::FontRole).value<QFont>().bold());
        QVERIFY(!own.siblingAtColumn(2).data(Qt::FontRole).value<QFont>().bold());
        // Icons tell read from unread.
        auto image = [](const QModelIndex& index) {
            return index.data(Qt::DecorationRole).value<QIcon>().pixmap(16).toImage();
        };
        QCOMPARE(image(Model(form)->index(1, 0)),
                 TFTNData::Pixmap(TFTNData::MessageImage(true, false)).toImage());
        QCOMPARE(image(Model(form)->index(0, 0, root)),
                 TFTNData::Pixmap(TFTNData::MessageImage(false, false)).toImage());
        // A click on a column sorts, the current row stays current.
        const int current = form.ListPane()->CurrentPosition();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QHeaderView* header = form.Panes()->List()->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(3) + 10, header->height() / 2));
        QCOMPARE(form.ListPane()->CurrentPosition(), current);
        QCOMPARE(Model(form)->index(0, 3).data().toString(), QStringLiteral("Re: missing parent"));
        QCOMPARE(form.Panes()->List()->header()->sortIndicatorSection(), 3);
        // Refilling returns to storage order.
        form.Action("ThreadModeAction")->setChecked(false);
        QCOMPARE(Model(form)->index(0, 3).data().toString(), QStringLiteral("root"));
        QCOMPARE(form.Panes()->List()->header()->sortIndicatorSection(), -1);
    }

    void folderEmptyMissingAndLockedAreas() {
        auto folder = std::make_unique<TTreeInfo>();
        folder->Name = "Echoes";
        TTreeInfo* folderNode = folder.get();
        User->AreaTree.push_back(std::move(folder));
        const std::string jhr = File("area.jhr");
        WriteJam(jhr, {{"A", "one"}});
        AddArea("RU.TEST", jhr, folderNode);
        AddArea("RU.NEW", File("new.jhr"), folderNode);
        std::filesystem::create_directories(File("broken"));
        test::WriteFile(File("broken/area.jhr"), std::string(2000, 'x'));
        test::WriteFile(File("broken/area.jdx"), std::string(8, '\x10'));
        AddArea("RU.BROKEN", File("broken/area.jhr"), folderNode);
        TViewForm form;
        form.SetCurrentUser(User.get());
        QCOMPARE(form.windowTitle(), QStringLiteral("Tavro Viewer: Echoes"));
        QCOMPARE(Model(form)->rowCount(), 0);

        Focus(form, "RU.TEST");
        QCOMPARE(Model(form)->rowCount(), 1);
        Focus(form, "Echoes");
        QCOMPARE(Model(form)->rowCount(), 0);
        QCOMPARE(form.Area()->OpenEcho(), nullptr);

        // Not there yet: an empty area, not a locked one.
        Focus(form, "RU.NEW");
        QCOMPARE(Model(form)->rowCount(), 0);
        QVERIFY(!form.Area()->OpenNode()->Locked);
        QVERIFY(!std::filesystem::exists(File("new.jhr")));

        Focus(form, "RU.BROKEN");
        QVERIFY(form.Area()->OpenNode()->Locked);
        QCOMPARE(Model(form)->rowCount(), 0);
        QCOMPARE(form.StatusText(2), QStringLiteral("\"RU.BROKEN\" echo is locked"));
    }

    // A tosser holding the base must not make every paint wait: only the update step tries
    // a locked area again.
    void paintingLeavesALockedAreaAlone() {
        const std::string jhr = File("area.jhr");
        WriteJam(jhr, {{"A", "one"}, {"B", "two"}});
        AddArea("RU.TEST", jhr);
        TViewForm form;
        form.resize(800, 600);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.SetCurrentUser(User.get());
        QCOMPARE(Model(form)->rowCount(), 2);
        const std::string saved = test::ReadFile(jhr);
        test::WriteFile(jhr, saved.substr(0, 1100));
        form.Area()->UpdateStep();
        QVERIFY(form.Area()->OpenNode()->Locked);
        test::WriteFile(jhr, saved);
        form.Panes()->List()->viewport()->repaint();
        QVERIFY(form.Area()->OpenNode()->Locked);
        QCOMPARE(Model(form)->rowCount(), 0);
        form.Area()->UpdateStep();
        QVERIFY(!form.Area()->OpenNode()->Locked);
        QCOMPARE(Model(form)->rowCount(), 2);
    }

    // New mail tossed into the open area shows after the update step, and a long message
    // being read keeps its place.
    void newMailFromTheTosserKeepsTheReadingPlace() {
        const TAddress ours(2, 5020, 9999), uplink(2, 5020, 1);
        std::filesystem::create_directories(File("fido"));
        test::TCrashmail crashmail(File("fido"), {ours, uplink, "RU.TEST", test::TCrashmailStorage::Jam});
        if (test::TCrashmail::FindProgram().empty())
            QSKIP(test::TCrashmail::MissingHint());
        QVERIFY(bool(crashmail.Prepare()));
        const std::string jhr = crashmail.EchoArea() + ".jhr";
        WriteJam(jhr, {{"A", "long one", "", "", 400}, {"B", "two"}});
        SetLastRead(jhr, 1);
        AddArea("RU.TEST", jhr);
        TViewForm form;
        form.resize(800, 600);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.SetCurrentUser(User.get());
        QCOMPARE(form.ListPane()->CurrentPosition(), 0);
        QScrollBar* text = form.Panes()->MsgView()->verticalScrollBar();
        QTRY_VERIFY(text->maximum() > 100); // the lines below the first screen follow
        text->setValue(100);

        test::TPacket packet;
        packet.Orig = uplink;
        packet.Dest = ours;
        test::TPacketMsg msg;
        msg.OrigNet = 5020;
        msg.OrigNode = 1;
        msg.DestNet = 5020;
        msg.DestNode = 9999;
        msg.FromName = "Tosser";
        msg.ToName = "All";
        msg.Subject = "fresh";
        msg.DateTime = "05 Mar 24  10:03:00";
        msg.Text = "AREA:RU.TEST\r\x01MSGID: 2:5020/1 1\rnew mail\r--- x\r * Origin: x (2:5020/1)\r";
        packet.Msgs.push_back(msg);
        QVERIFY(bool(crashmail.Toss(packet)));

        form.Area()->UpdateStep();
        QCOMPARE(Model(form)->rowCount(), 3);
        QCOMPARE(Model(form)->index(2, 3).data().toString(), QStringLiteral("fresh"));
        QCOMPARE(form.ListPane()->CurrentPosition(), 0);
        QCOMPARE(text->value(), 100);
    }
};

QTEST_MAIN(MessageListTest)
#include "MessageListTest.moc"
