// Reading an area with the keyboard: moves at the ends of the list, the last-read pointer
// following the focus both ways, reading only while the text is on screen, and marks.
#include "reader/MessageView.h"
#include "reader/MsgHeaderPanel.h"
#include "reader/MsgListPane.h"
#include "reader/ReaderKeys.h"
#include "reader/ReaderMoves.h"
#include "reader/ViewerArea.h"

#include "config/Echo.h"
#include "core/Endian.h"

#include "../../reader/ReaderBases.h"
#include "ReaderHome.h"
#include "TempDir.h"

#include <QAction>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeView>

using namespace tavro;
using namespace tavro::app;
using tavro::test::TReaderHome;
using tavro::test::WriteJam;

class ReadingTest : public QObject, public TReaderHome {
    Q_OBJECT
private:
    // The user's record of a JAM last-read file, read here byte by byte.
    static uint32_t JamLastRead(const std::string& jlr) {
        const std::string data = tavro::test::ReadFile(jlr);
        return data.size() >= 16 ? GetLE32(&data[8]) : 0;
    }
    static TMsgId IdAt(TViewForm& form, int position) {
        return form.ListPane()->Model()->Base()->GetMsgId(position);
    }

private slots:
    void init() { Start(); }
    void cleanup() { Stop(); }

    void movesAtTheEndsGoToTheTree() {
        const std::string jhr = File("area.jhr");
        WriteJam(jhr, {{"A", "one"}, {"B", "two"}, {"C", "three"}, {"D", "four"}}, {1, 2, 3});
        AddArea("RU.TEST", jhr);
        TViewForm form;
        form.SetCurrentUser(User.get());
        QSignalSpy toTree(form.Area(), &TViewerArea::GoToTree);
        form.ListPane()->FocusMessage(3);
        QVERIFY(form.Moves()->Run(TReaderCommand::NextMsg));
        QCOMPARE(toTree.size(), 1);
        QCOMPARE(form.ListPane()->CurrentPosition(), 3);
        form.ListPane()->FocusMessage(0);
        form.Moves()->Run(TReaderCommand::PrevMsg);
        QCOMPARE(toTree.size(), 2);
        // Row 0 is unread, but it lies above.
        form.ListPane()->FocusMessage(1);
        form.Moves()->Run(TReaderCommand::NextUnread);
        QCOMPARE(toTree.size(), 3);
        form.Moves()->Run(TReaderCommand::NextThread); // a flat list: nothing
        QCOMPARE(toTree.size(), 3);
        QCOMPARE(form.ListPane()->CurrentPosition(), 1);
        form.Moves()->Run(TReaderCommand::LastMsg);
        QCOMPARE(form.ListPane()->CurrentPosition(), 3);
        // In full-screen mode the tree is shown alone.
        form.Action(QStringLiteral("FullScreenAction"))->setChecked(true);
        form.Moves()->Run(TReaderCommand::NextMsg);
        QCOMPARE(form.Panes()->AlonePane(), int(TViewerPanes::pnTree));
    }

    // Going back lowers the pointer; the next opening of the area starts there. Reading with
    // the list alone on screen moves the pointer but leaves the message unread.
    void lastReadFollowsTheFocusBothWays() {
        const std::string jhr = File("area.jhr");
        std::vector<tavro::test::TJamPost> posts;
        for (int i = 0; i < 10; ++i)
            posts.push_back({"A", "message " + std::to_string(i)});
        WriteJam(jhr, posts);
        AddArea("RU.TEST", jhr);
        {
            TViewForm form;
            form.SetCurrentUser(User.get());
            form.ListPane()->FocusMessage(9);
            form.ListPane()->FocusMessage(2);
            TCustomBase* base = form.ListPane()->Model()->Base();
            QCOMPARE(base->GetLastRead(), IdAt(form, 2));
            QVERIFY(base->IsRead(IdAt(form, 9)));
            form.Action(QStringLiteral("FullScreenAction"))->setChecked(true);
            form.Panes()->ShowAlone(TViewerPanes::pnList);
            form.ListPane()->FocusMessage(5);
            QCOMPARE(base->GetLastRead(), IdAt(form, 5));
            QVERIFY(!base->IsRead(IdAt(form, 5)));
            form.ListPane()->FocusMessage(2);
            form.Area()->CloseOpenBase();
            QCOMPARE(JamLastRead(File("area.jlr")), IdAt(form, 2));
        }
        TViewForm again;
        again.SetCurrentUser(User.get());
        QCOMPARE(again.ListPane()->CurrentPosition(), 2);
    }

    // Areas with unread mail in tree order, going round; the open one and read ones skipped.
    void nextUnreadArea() {
        WriteJam(File("a.jhr"), {{"A", "one"}});
        WriteJam(File("b.jhr"), {{"B", "two"}}, {0});
        tavro::test::SetLastRead(File("b.jhr"), 1);
        WriteJam(File("c.jhr"), {{"C", "three"}});
        AddArea("A.AREA", File("a.jhr"));
        AddArea("B.AREA", File("b.jhr"));
        AddArea("C.AREA", File("c.jhr"));
        TViewForm form;
        form.SetCurrentUser(User.get());
        QCOMPARE(form.Area()->OpenEcho()->Name, std::string("A.AREA"));
        QVERIFY(form.Moves()->Run(TReaderCommand::NextArea));
        QCOMPARE(form.Area()->OpenEcho()->Name, std::string("C.AREA"));
        QCOMPARE(form.ListPane()->CurrentPosition(), 0);
        // A was read when it was open; nothing is left.
        QVERIFY(!form.Moves()->Run(TReaderCommand::NextArea));
        QCOMPARE(form.Area()->OpenEcho()->Name, std::string("C.AREA"));
    }

    void keysOfTheTextAndTheList() {
        using C = TReaderCommand;
        const struct {
            int Key;
            Qt::KeyboardModifiers Modifiers;
            std::optional<C> Text, List;
        } cases[] = {
            {Qt::Key_Right, Qt::NoModifier, C::NextMsg, {}},
            {Qt::Key_Left, Qt::AltModifier, C::PrevUnread, {}},
            {Qt::Key_Right, Qt::ControlModifier, C::NextChain, C::NextChain},
            {Qt::Key_Plus, Qt::KeypadModifier, C::NextChain, {}},
            {Qt::Key_Plus, Qt::NoModifier, {}, {}},
            {Qt::Key_Down, Qt::ControlModifier, C::NextThread, {}},
            {Qt::Key_End, Qt::ControlModifier, C::LastMsg, {}},
            {Qt::Key_Space, Qt::NoModifier, C::ToggleMark, C::ToggleMarkAndNext},
            {Qt::Key_Escape, Qt::NoModifier, C::ToTree, C::ToText},
            {Qt::Key_Return, Qt::NoModifier, {}, C::ToText},
            {Qt::Key_L, Qt::NoModifier, C::ToList, {}},
            {Qt::Key_Right, Qt::ShiftModifier, C::NextArea, {}},
            {Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier, {}, {}},
        };
        for (const auto& c : cases) {
            QCOMPARE(TextKeyCommand(c.Key, c.Modifiers), c.Text);
            QCOMPARE(ListKeyCommand(c.Key, c.Modifiers), c.List);
        }
    }

    // The pointer the window leaves is where the formats' own files say, read here byte by
    // byte: Squish's .sql and the *.MSG "lastread" hold one number per user.
    void lastReadInSquishAndMsgFiles() {
        for (TBaseType type : {btSquish, btMsg}) {
            tavro::test::TTempDir dir;
            std::vector<tavro::test::TPost> posts;
            for (int i = 0; i < 5; ++i)
                posts.push_back({"message"});
            TBaseRef base = tavro::test::MakeBase(type, dir, posts);
            base.Reset();
            AddArea(type == btSquish ? "SQUISH.AREA" : "MSG.AREA", tavro::test::PathFor(type, dir), nullptr,
                    type);
            TMsgId expected = 0;
            {
                TViewForm form;
                form.SetCurrentUser(User.get());
                form.ListPane()->FocusMessage(4);
                form.ListPane()->FocusMessage(1);
                expected = IdAt(form, 1);
                form.Area()->CloseOpenBase();
            }
            const std::string file = type == btSquish ? dir.File("area.sql") : dir.File("area") + "/lastread";
            const std::string data = tavro::test::ReadFile(file);
            const uint32_t stored = type == btSquish ? (data.size() >= 4 ? GetLE32(data.data()) : 0)
                                                     : (data.size() >= 2 ? GetLE16(data.data()) : 0);
            QCOMPARE(stored, expected);
            TViewForm again;
            again.SetCurrentUser(User.get());
            QCOMPARE(again.ListPane()->CurrentPosition(), 1);
            User->AreaTree.clear();
            Echoes.clear();
        }
    }

    void marksByMouse() {
        const std::string jhr = File("area.jhr");
        WriteJam(jhr, {{"A", "one"}, {"B", "two"}, {"C", "three"}, {"D", "four"}});
        AddArea("RU.TEST", jhr);
        TViewForm form;
        form.SetCurrentUser(User.get());
        form.resize(900, 700);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTreeView* view = form.Panes()->List();
        auto cell = [&](int row, int column) {
            return view->visualRect(view->model()->index(row, column)).center();
        };
        form.ListPane()->FocusMessage(0);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, cell(2, 1));
        QCOMPARE(form.ListPane()->CurrentPosition(), 2);
        QCOMPARE(form.Area()->Marks().Count(), 1);
        // From the focused row to the clicked one, both included; nothing removed.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, cell(0, 1));
        QCOMPARE(form.Area()->Marks().Count(), 3);
        QCOMPARE(form.ListPane()->CurrentPosition(), 0);
        // A double click in the number column toggles the row's mark.
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, cell(1, 0));
        QCOMPARE(form.Area()->Marks().Count(), 2);
        QVERIFY(!form.ListPane()->Model()->IsMarked(1));
    }

    void marks() {
        const std::string jhr = File("area.jhr");
        WriteJam(jhr, {{"A", "one"}, {"B", "two"}, {"C", "three"}});
        AddArea("RU.TEST", jhr);
        TViewForm form;
        form.SetCurrentUser(User.get());
        form.Action(QStringLiteral("InvertMarkAction"))->trigger();
        QCOMPARE(form.Area()->Marks().Count(), 3);
        form.Action(QStringLiteral("InvertMarkAction"))->trigger();
        QCOMPARE(form.Area()->Marks().Count(), 0);
        // Space in the list marks and moves on, but stays on the last row.
        form.ListPane()->FocusMessage(1);
        form.Moves()->Run(TReaderCommand::ToggleMarkAndNext);
        QCOMPARE(form.ListPane()->CurrentPosition(), 2);
        form.Moves()->Run(TReaderCommand::ToggleMarkAndNext);
        QCOMPARE(form.ListPane()->CurrentPosition(), 2);
        QCOMPARE(form.Area()->Marks().Count(), 2);
        QVERIFY(form.ListPane()->Model()->IsMarked(2));
        form.Action(QStringLiteral("MarkBeforeAction"))->trigger();
        QCOMPARE(form.Area()->Marks().Count(), 3);
        form.Action(QStringLiteral("UnmarkAllAction"))->trigger();
        QCOMPARE(form.Area()->Marks().Count(), 0);
        form.Action(QStringLiteral("MarkAllReadAction"))->trigger();
        QVERIFY(!form.ListPane()->Model()->Base()->HasUnread());
    }

    // "Copy to clipboard" follows the focused control's selection, is off in the list and
    // keeps its state for other controls; it copies from the control it followed.
    void copyFollowsTheFocusedSelection() {
        const std::string jhr = File("area.jhr");
        WriteJam(jhr, {{"Ann", "one"}, {"Bob", "two"}});
        AddArea("RU.TEST", jhr);
        TViewForm form;
        form.SetCurrentUser(User.get());
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QAction* copy = form.findChild<QAction*>(QStringLiteral("CopyToClipbrdAction"));
        QVERIFY(copy);
        form.ListPane()->FocusMessage(0);
        QPlainTextEdit* text = form.Panes()->MsgView();
        auto focus = [&](QWidget* widget) {
            widget->setFocus();
            QApplication::processEvents();
        };
        focus(text);
        QVERIFY(!copy->isEnabled());
        text->selectAll();
        QVERIFY(copy->isEnabled());
        auto* other = new QPushButton(form.statusBar()); // neither a text control nor the list
        other->show();
        focus(other);
        QVERIFY(copy->isEnabled());
        copy->trigger();
        QCOMPARE(QApplication::clipboard()->text(), text->toPlainText());
        focus(form.Panes()->List());
        QVERIFY(!copy->isEnabled());
        QLineEdit* from = form.Panes()->InfoPanel()->FromNameBox();
        focus(from);
        QVERIFY(!copy->isEnabled());
        from->selectAll();
        QVERIFY(copy->isEnabled());
        copy->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Ann"));
    }

    // The toolbar's reply-chain button carries the replies drop-down exactly while the shown
    // message has more than one answer in the area.
    void toolbarRepliesDropDown() {
        tavro::test::TTempDir dir;
        tavro::test::MakeBase(btSquish, dir,
                              {{"root", 0, "", "", "Ann", 45000, {2, 3}}, {"one", 1}, {"two", 1}});
        AddArea("RU.TEST", tavro::test::PathFor(btSquish, dir), nullptr, btSquish);
        TViewForm form;
        form.SetCurrentUser(User.get());
        auto* button = form.findChild<QToolButton*>(QStringLiteral("RightLinkBtn"));
        QVERIFY(button);
        form.ListPane()->FocusMessage(0);
        QVERIFY(button->menu());
        QCOMPARE(button->popupMode(), QToolButton::MenuButtonPopup);
        QCOMPARE(button->menu(), form.Panes()->InfoPanel()->RightLinkButton()->menu());
        emit button->menu()->aboutToShow();
        QCOMPARE(button->menu()->actions().size(), 2);
        QCOMPARE(button->menu()->actions()[0]->text(), QStringLiteral("2 Ivan Petrov"));
        form.ListPane()->FocusMessage(1);
        QVERIFY(!button->menu());
    }
};

QTEST_MAIN(ReadingTest)
#include "ReadingTest.moc"
