// The reader's area tree: the user's folders and areas, kept in step with the user's lists
// through every change, and what each node shows.
#include "reader/AreaTree.h"
#include "reader/AreaTreeDelegate.h"
#include "reader/AreaTreeScroller.h"
#include "reader/AreaTreeView.h"

#include "config/Echo.h"
#include "config/User.h"
#include "core/Base.h"
#include "reader/AreaState.h"
#include "widgets/FtnData.h"
#include "widgets/MessageDialog.h"

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QFontInfo>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <map>

using namespace tavro;
using namespace tavro::app;

namespace {

// Drops wherever the test says instead of following the pointer.
class TDropView final : public TAreaTreeView {
public:
    QPoint DropAt;
    bool LeaveFirst = false;
    bool ScrollerRanDuringDrag = false;

    void Drag() { startDrag(Qt::MoveAction); }

protected:
    Qt::DropAction ExecDrag(QDrag* drag) override {
        const QMimeData* mime = drag->mimeData();
        if (LeaveFirst) {
            QDragLeaveEvent leave;
            dragLeaveEvent(&leave);
            ScrollerRanDuringDrag = Scroller()->IsActive();
        }
        return SendDrop(viewport(), DropAt, mime);
    }

public:
    static Qt::DropAction SendDrop(QWidget* target, const QPoint& at, const QMimeData* mime) {
        QDragEnterEvent enter(at, Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDragMoveEvent move(at, Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        if (!move.isAccepted())
            return Qt::IgnoreAction;
        QDropEvent drop(QPointF(at), Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    }
};

// A user whose tree is written as text: "name" is an area (its tag is the name in upper
// case), "name[...]" a folder. Areas live in JAM bases under a temporary directory, missing
// until a test posts to them.
class TTreeUser {
public:
    explicit TTreeUser(const QString& text) {
        User.UserId = 0;
        User.Name = "Ivan Petrov";
        qsizetype pos = 0;
        Parse(text, pos, User.AreaTree);
    }

    TEcho* Echo(const QString& name) const { return Echoes.at(name.toUpper()).get(); }
    TTreeInfo* Node(const QString& name) const { return Find(User.AreaTree, name.toStdString()); }

    // Writes messages by another user into the area's base.
    void Post(const QString& name, int count) {
        TEcho* echo = Echo(name);
        TBaseRef base = echo->GetBase();
        QVERIFY(base && base->CreateIfMissing());
        base->SetUser(1, "Olga Ivanova");
        for (int i = 0; i < count; ++i) {
            auto msg = base->NewMsg();
            msg->FromName = "Olga Ivanova";
            msg->ToName = "All";
            msg->Subject = "Hello";
            msg->Body = {{"Hi"}};
            QVERIFY(msg->Save());
        }
        base->Close();
        echo->CloseBase();
    }

    void Damage(const QString& name) {
        QFile file(QString::fromStdString(Echo(name)->Path));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a JAM header");
    }

    TUser User;

private:
    void Parse(const QString& text, qsizetype& pos, std::vector<std::unique_ptr<TTreeInfo>>& list) {
        while (pos < text.size() && text[pos] != u']') {
            if (text[pos] == u' ') {
                ++pos;
                continue;
            }
            qsizetype end = pos;
            while (end < text.size() && text[end] != u' ' && text[end] != u'[' && text[end] != u']')
                ++end;
            const QString name = text.mid(pos, end - pos);
            pos = end;
            std::unique_ptr<TTreeInfo> node;
            if (pos < text.size() && text[pos] == u'[') {
                node = std::make_unique<TTreeInfo>();
                ++pos;
                Parse(text, pos, node->Children);
                ++pos;
            } else {
                auto& echo = Echoes[name.toUpper()];
                echo = std::make_unique<TEcho>();
                echo->Name = name.toUpper().toStdString();
                echo->EchoType = etEchomail;
                echo->BaseType = btJam;
                echo->Path = Dir.filePath(name + QStringLiteral(".jhr")).toStdString();
                node = std::make_unique<TTreeInfo>(echo.get());
            }
            node->Name = name.toStdString();
            list.push_back(std::move(node));
        }
    }

    static TTreeInfo* Find(const std::vector<std::unique_ptr<TTreeInfo>>& list, const std::string& name) {
        for (const auto& node : list) {
            if (node->Name == name)
                return node.get();
            if (TTreeInfo* found = Find(node->Children, name))
                return found;
        }
        return nullptr;
    }

    QTemporaryDir Dir;
    std::map<QString, std::unique_ptr<TEcho>> Echoes;
};

QString ListsText(const std::vector<std::unique_ptr<TTreeInfo>>& list) {
    QStringList parts;
    for (const auto& node : list)
        parts << QString::fromStdString(node->Name) +
                     (node->IsFolder() ? QLatin1Char('[') + ListsText(node->Children) + QLatin1Char(']')
                                       : QString());
    return parts.join(QLatin1Char(' '));
}

// The items as shown, checked against the nodes they stand for.
QString ItemsText(const QTreeWidgetItem* parent) {
    QStringList parts;
    for (int i = 0; i < parent->childCount(); ++i) {
        const QTreeWidgetItem* item = parent->child(i);
        const TTreeInfo* node = TAreaTree::NodeOf(item);
        if (!node || item->text(0) != QString::fromStdString(node->Name))
            return QStringLiteral("<item out of step with its node>");
        parts << item->text(0) +
                     (node->IsFolder() ? QLatin1Char('[') + ItemsText(item) + QLatin1Char(']') : QString());
    }
    return parts.join(QLatin1Char(' '));
}

int ImageOf(const QTreeWidgetItem* item) {
    return item->data(0, TAreaTree::ImageRole).toInt();
}

bool IsBold(const QTreeWidgetItem* item) {
    return item->font(0).bold();
}

} // namespace

class AreaTreeTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TTreeUser> Data;
    std::unique_ptr<TDropView> View;
    std::unique_ptr<TAreaTree> Tree;

    void Start(const QString& text) {
        Tree.reset();
        View = std::make_unique<TDropView>();
        View->resize(300, 400);
        Tree = std::make_unique<TAreaTree>(View.get());
        Data = std::make_unique<TTreeUser>(text);
        Tree->SetUser(&Data->User);
        View->expandAll();
        View->show();
        View->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(View.get()));
    }

    QTreeWidgetItem* Item(const QString& name) const { return Tree->ItemOf(Data->Node(name)); }
    void Focus(const QString& name) { View->setCurrentItem(Item(name)); }
    // The events of a real double click: a click, then the second press and its release.
    void DoubleClick(QTreeWidgetItem* item) {
        const QPoint at = View->visualItemRect(item).center();
        QTest::mouseClick(View->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(View->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(View->viewport(), Qt::LeftButton, {}, at);
    }
    QString Lists() const { return ListsText(Data->User.AreaTree); }
    QString Items() const { return ItemsText(View->invisibleRootItem()); }
    QLineEdit* Editor() const { return EditorOf(View.get()); }
    static QLineEdit* EditorOf(QAbstractItemView* view) {
        return qobject_cast<QLineEdit*>(view->indexWidget(view->currentIndex()));
    }

private slots:
    void init() { ClearMessageDlgRecord(); }
    void cleanup() {
        Tree.reset();
        View.reset();
        Data.reset();
    }

    void buildsTheUsersTreeWithItsLook() {
        Start(QStringLiteral("a F[b G[c]] d"));
        View->collapseAll();
        QCOMPARE(Items(), QStringLiteral("a F[b G[c]] d"));
        QCOMPARE(View->topLevelItemCount(), 3);

        // Red text on white, a 12-point font: nodes 7 pixels taller than the font.
        TUser& user = Data->User;
        user.Colors[ceEchoTree] = {0x000000FF, 0x00FFFFFF};
        user.Colors[ceEchoTreeSel] = {0x00FF0000, 0x0000FF00};
        user.TreeFont.Size = 12;
        Tree->SetUser(&user);
        QCOMPARE(View->palette().color(QPalette::Text), QColor(255, 0, 0));
        QCOMPARE(View->palette().color(QPalette::Base), QColor(255, 255, 255));
        QCOMPARE(View->font().pointSize(), 12);
        const int height = QFontInfo(View->font()).pixelSize() + 7;
        QCOMPARE(View->Delegate()->GetRowHeight(), height);
        QCOMPARE(View->visualItemRect(Item(QStringLiteral("a"))).height(), height);

        // The selection is blue while the tree has the focus, green with the tree's text colour
        // while it has not, in every colour group (the branch lines share it).
        Focus(QStringLiteral("a"));
        View->setFocus();
        QTRY_VERIFY(View->hasFocus());
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
            QCOMPARE(View->palette().color(group, QPalette::Highlight), QColor(0, 0, 255));
        View->clearFocus();
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            QCOMPARE(View->palette().color(group, QPalette::Highlight), QColor(0, 255, 0));
            QCOMPARE(View->palette().color(group, QPalette::HighlightedText), QColor(255, 0, 0));
        }

        // No user: nothing, and the focused node is left.
        QSignalSpy leaving(Tree.get(), &TAreaTree::FocusLeaving);
        QSignalSpy focusedSpy(Tree.get(), &TAreaTree::NodeFocused);
        Tree->SetUser(nullptr);
        QCOMPARE(View->topLevelItemCount(), 0);
        QCOMPARE(leaving.count(), 1);
        QCOMPARE(leaving[0][0].value<TTreeInfo*>(), Data->Node(QStringLiteral("a")));
        QCOMPARE(focusedSpy.count(), 1);
        QCOMPARE(focusedSpy[0][0].value<TTreeInfo*>(), nullptr);
    }

    void commandsDoNothingWithoutAUser() {
        Start(QString());
        Tree->SetUser(nullptr);
        QSignalSpy changed(Tree.get(), &TAreaTree::ListsChanged);
        Tree->AddFolder();
        Tree->DeleteFolder();
        Tree->SortLevel(true);
        Tree->RescanAreas();
        QCOMPARE(View->topLevelItemCount(), 0);
        QCOMPARE(changed.count(), 0);
        Tree->UpdateMenu();
        for (const char* name : {"AddFolderAction", "DeleteFolderAction", "SortAction",
                                 "SortFoldersFirstAction", "PropertiesAction"})
            QVERIFY2(!Tree->Action(QString::fromLatin1(name))->isEnabled(), name);
    }

    void anEmptyTreeStillTakesAFolder() {
        Start(QString());
        QCOMPARE(View->topLevelItemCount(), 0);
        QSignalSpy changed(Tree.get(), &TAreaTree::ListsChanged);
        QSignalSpy focused(Tree.get(), &TAreaTree::NodeFocused);
        Tree->UpdateMenu();
        QVERIFY(Tree->Action(QStringLiteral("AddFolderAction"))->isEnabled());
        QVERIFY(!Tree->Action(QStringLiteral("DeleteFolderAction"))->isEnabled());
        QVERIFY(!Tree->Action(QStringLiteral("PropertiesAction"))->isEnabled());

        Tree->Action(QStringLiteral("AddFolderAction"))->trigger();
        QCOMPARE(Lists(), QStringLiteral("New folder. Rename me...[]"));
        QCOMPARE(Items(), Lists());
        QCOMPARE(changed.count(), 1);
        TTreeInfo* folder = Data->User.AreaTree.front().get();
        QVERIFY(folder->IsFolder());
        QCOMPARE(Tree->FocusedNode(), folder);
        QVERIFY(View->currentItem()->isSelected());
        QCOMPARE(focused.count(), 1);
        QCOMPARE(focused[0][0].value<TTreeInfo*>(), folder);
        QVERIFY(View->IsEditing());
        QCOMPARE(ImageOf(View->currentItem()), int(iiFolderCollapsed));

        // A second one goes to the end of the top level, whatever is focused.
        QTest::keyClick(Editor(), Qt::Key_Escape);
        Tree->AddFolder();
        QCOMPARE(Data->User.AreaTree.size(), size_t(2));
        QCOMPARE(Tree->FocusedNode(), Data->User.AreaTree.back().get());
    }

    void renamingTrimsTheNameAndKeepsTheTag() {
        Start(QStringLiteral("a F[b]"));
        QSignalSpy changed(Tree.get(), &TAreaTree::ListsChanged);
        View->setFocus();
        for (const auto& [name, typed, expected] :
             {std::tuple{"a", "  Test area  ", "Test area"}, std::tuple{"F", " Fido\t", "Fido"}}) {
            Focus(QString::fromLatin1(name));
            TTreeInfo* node = Tree->FocusedNode();
            QTest::keyClick(View.get(), Qt::Key_F2);
            QVERIFY(View->IsEditing());
            QVERIFY(Editor());
            Editor()->setText(QString::fromLatin1(typed));
            QTest::keyClick(Editor(), Qt::Key_Return);
            // The editor hands its text over once the key is done with.
            QTRY_COMPARE(node->Name, std::string(expected));
            QCOMPARE(View->currentItem()->text(0), QString::fromLatin1(expected));
        }
        QCOMPARE(Data->Node(QStringLiteral("Test area"))->Echo->Name, std::string("A"));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(Items(), Lists());

        // The same name again changes nothing.
        Focus(QStringLiteral("b"));
        QTest::keyClick(View.get(), Qt::Key_F2);
        Editor()->setText(QStringLiteral("b "));
        QTest::keyClick(Editor(), Qt::Key_Return);
        QTRY_VERIFY(!View->IsEditing());
        QCOMPARE(changed.count(), 2);
        QCOMPARE(View->currentItem()->text(0), QStringLiteral("b"));
    }

    // The reader window has single-letter commands and its own Ctrl+A and F2.
    void theTreeKeysAndTheRenameEditorWinOverTheWindowsShortcuts() {
        Start(QStringLiteral("a b"));
        QMainWindow window;
        TAreaTreeView* view = View.release();
        window.setCentralWidget(view);
        View.reset(new TDropView); // a spare for cleanup; the window owns the real one
        std::map<QString, QAction*> actions;
        for (const char* key : {"R", "Q", "T", "H", "U", "G", "C", "M", "W", "N", "O", "F", "Ctrl+A", "F2"}) {
            auto* action = new QAction(QString::fromLatin1(key), &window);
            action->setShortcut(QKeySequence(QString::fromLatin1(key)));
            window.addAction(action);
            actions[QString::fromLatin1(key)] = action;
        }
        std::map<QString, std::unique_ptr<QSignalSpy>> spies;
        for (const auto& [key, action] : actions)
            spies[key] = std::make_unique<QSignalSpy>(action, &QAction::triggered);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        view->setFocus();
        view->setCurrentItem(Tree->ItemOf(Data->Node(QStringLiteral("a"))));
        QTRY_VERIFY(view->hasFocus());

        // Not renaming: the window's commands run.
        QTest::keyClick(view, Qt::Key_R);
        QCOMPARE(spies[QStringLiteral("R")]->count(), 1);

        // F2 renames.
        QTest::keyClick(view, Qt::Key_F2);
        QCOMPARE(spies[QStringLiteral("F2")]->count(), 0);
        QVERIFY(view->IsEditing());
        QTest::keyClick(EditorOf(view), Qt::Key_Escape);
        QVERIFY(!view->IsEditing());

        // Ctrl+A adds a folder and renames it at once; every letter is typing.
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(spies[QStringLiteral("Ctrl+A")]->count(), 0);
        QCOMPARE(Data->User.AreaTree.size(), size_t(3));
        QVERIFY(view->IsEditing());
        QLineEdit* editor = EditorOf(view);
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier); // selects the text to type over
        QCOMPARE(Data->User.AreaTree.size(), size_t(3));
        QTest::keyClicks(editor, QStringLiteral("RQTHUGCMWNOF rqt"));
        QCOMPARE(editor->text(), QStringLiteral("RQTHUGCMWNOF rqt"));
        for (const auto& [key, spy] : spies)
            QCOMPARE(spy->count(), key == QStringLiteral("R") ? 1 : 0);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(Data->User.AreaTree.back()->Name, std::string("RQTHUGCMWNOF rqt"));

        // Ctrl+D deletes the empty folder; no box.
        view->setFocus();
        QTRY_VERIFY(view->hasFocus());
        QTest::keyClick(view, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(Data->User.AreaTree.size(), size_t(2));
        QVERIFY(RecordedMessageDlgCalls().empty());
        Tree.reset();
    }

    void enterAndDoubleClickGoOnFromAnArea() {
        Start(QStringLiteral("a F[b]"));
        View->collapseAll();
        QSignalSpy activated(Tree.get(), &TAreaTree::Activated);
        View->setFocus();
        Focus(QStringLiteral("F"));
        QTest::keyClick(View.get(), Qt::Key_Return);
        QCOMPARE(activated.count(), 0);
        DoubleClick(Item(QStringLiteral("F")));
        QVERIFY(Item(QStringLiteral("F"))->isExpanded());
        QCOMPARE(ImageOf(Item(QStringLiteral("F"))), int(iiFolderExpanded));
        QCOMPARE(activated.count(), 0);

        Focus(QStringLiteral("a"));
        QTest::keyClick(View.get(), Qt::Key_Return);
        QCOMPARE(activated.count(), 1);
        DoubleClick(Item(QStringLiteral("b")));
        QCOMPARE(activated.count(), 2);
    }

    void dropsMoveTheNodeInTheListsAndTheTree() {
        enum TWhere { Middle, Top, Bottom, BelowAll };
        const struct {
            const char* dragged;
            const char* target;
            TWhere where;
            const char* expected;
        } cases[] = {
            // On an area: above it.
            {"a", "d", Middle, "F[b G[c]] a d"},
            {"d", "b", Middle, "a F[d b G[c]]"},
            {"a", "d", Bottom, "F[b G[c]] d a"},
            {"d", "b", Top, "a F[d b G[c]] "},
            // On a folder: its last entry.
            {"a", "G", Middle, "F[b G[c a]] d"},
            // Empty space below the last node: the end of the top level.
            {"c", "", BelowAll, "a F[b G[]] d c"},
            {"a", "", BelowAll, "F[b G[c]] d a"},
            // Onto itself or into its own subtree: nothing.
            {"F", "F", Middle, "a F[b G[c]] d"},
            {"F", "G", Middle, "a F[b G[c]] d"},
            {"F", "c", Top, "a F[b G[c]] d"},
            {"G", "c", Middle, "a F[b G[c]] d"},
        };
        for (const auto& c : cases) {
            Start(QStringLiteral("a F[b G[c]] d"));
            QSignalSpy changed(Tree.get(), &TAreaTree::ListsChanged);
            QSignalSpy focused(Tree.get(), &TAreaTree::NodeFocused);
            Focus(QString::fromLatin1(c.dragged));
            focused.clear();
            TTreeInfo* dragged = Tree->FocusedNode();
            if (c.where == BelowAll) {
                View->DropAt = QPoint(20, View->viewport()->height() - 3);
            } else {
                const QRect rect = View->visualItemRect(Item(QString::fromLatin1(c.target)));
                const int y = c.where == Top      ? rect.top() + 1
                              : c.where == Bottom ? rect.bottom() - 1
                                                  : rect.center().y();
                View->DropAt = QPoint(rect.center().x(), y);
            }
            View->Drag();
            const QString expected = QString::fromLatin1(c.expected).trimmed();
            QCOMPARE(Lists(), expected);
            QCOMPARE(Items(), expected);
            const bool moved = expected != QStringLiteral("a F[b G[c]] d");
            QCOMPARE(changed.count(), moved ? 1 : 0);
            QCOMPARE(Tree->FocusedNode(), dragged);
            QCOMPARE(focused.count(), 0);
            QVERIFY(!View->IsDragging());
        }
    }

    void aDropKeepsTheViewWhereItWas() {
        QString text;
        for (int i = 0; i < 60; ++i)
            text += QStringLiteral("n%1 ").arg(i);
        Start(text + QStringLiteral("F[]"));
        View->resize(200, 150);
        QTest::qWait(0);
        View->scrollToItem(Item(QStringLiteral("n30")), QAbstractItemView::PositionAtTop);
        const int scroll = View->verticalScrollBar()->value();
        Focus(QStringLiteral("n31"));
        View->DropAt = View->visualItemRect(Item(QStringLiteral("n30"))).center();
        View->Drag();
        QCOMPARE(Data->User.AreaTree[30]->Name, std::string("n31"));
        QCOMPARE(View->verticalScrollBar()->value(), scroll);
        QCOMPARE(View->itemAt(0, 0), Item(QStringLiteral("n31")));
    }

    void onlyDragsFromTheTreeItselfAreTaken() {
        Start(QStringLiteral("a b"));
        Focus(QStringLiteral("a"));
        QMimeData mime;
        mime.setData(QStringLiteral("application/x-tavro-area-node"), QByteArray());
        const QPoint at = View->visualItemRect(Item(QStringLiteral("b"))).center();
        QCOMPARE(TDropView::SendDrop(View->viewport(), at, &mime), Qt::IgnoreAction);
        QMimeData text;
        text.setText(QStringLiteral("b"));
        QCOMPARE(TDropView::SendDrop(View->viewport(), at, &text), Qt::IgnoreAction);
        QCOMPARE(Lists(), QStringLiteral("a b"));
    }

    void aDragOutsideTheTreeScrollsItOneNodeATick() {
        QString text;
        for (int i = 0; i < 60; ++i)
            text += QStringLiteral("n%1 ").arg(i);
        Start(text);
        View->resize(200, 150);
        QTest::qWait(0);
        TAreaTreeScroller* scroller = View->Scroller();
        QCOMPARE(TAreaTreeScroller::PeriodMs, 100);

        // The timer runs from the moment the pointer leaves the tree until the drag ends.
        Focus(QStringLiteral("n0"));
        View->LeaveFirst = true;
        View->DropAt = View->visualItemRect(Item(QStringLiteral("n0"))).center();
        View->Drag();
        QVERIFY(View->ScrollerRanDuringDrag);
        QVERIFY(!scroller->IsActive());

        View->scrollToItem(Item(QStringLiteral("n10")), QAbstractItemView::PositionAtTop);
        QCOMPARE(View->itemAt(0, 0), Item(QStringLiteral("n10")));
        QWidget* viewport = View->viewport();
        const struct {
            QPoint local;
            const char* top;
        } ticks[] = {
            {{10, -5}, "n9"},
            {{10, -50}, "n8"},
            {{10, 20}, "n8"}, // inside: nothing
            {{10, viewport->height()}, "n9"},
            {{10, viewport->height() + 40}, "n10"},
        };
        for (const auto& t : ticks) {
            scroller->Tick(viewport->mapToGlobal(t.local));
            QCOMPARE(View->itemAt(0, 0), Item(QString::fromLatin1(t.top)));
        }
    }

    void sortingOrdersTheFocusedLevelOnly() {
        const struct {
            const char* action;
            const char* expected;
        } cases[] = {
            {"SortFoldersFirstAction", "top L[c[] z[y w] A b] K[]"},
            {"SortAction", "top L[A b c[] z[y w]] K[]"},
        };
        for (const auto& c : cases) {
            // The level [area "b", folder "z", area "A", folder "c"], one level down.
            Start(QStringLiteral("top L[b z[y w] A c[]] K[]"));
            Focus(QStringLiteral("z"));
            QSignalSpy changed(Tree.get(), &TAreaTree::ListsChanged);
            QSignalSpy focused(Tree.get(), &TAreaTree::NodeFocused);
            Tree->UpdateMenu();
            QVERIFY(Tree->Action(QString::fromLatin1(c.action))->isEnabled());
            Tree->Action(QString::fromLatin1(c.action))->trigger();
            QCOMPARE(Lists(), QString::fromLatin1(c.expected));
            QCOMPARE(Items(), Lists());
            QCOMPARE(changed.count(), 1);
            QCOMPARE(focused.count(), 0);
            QCOMPARE(Tree->FocusedNode(), Data->Node(QStringLiteral("z")));
            QVERIFY(View->currentItem()->isExpanded());
        }
    }

    void deletingTakesOnlyEmptyFolders() {
        const struct {
            const char* focused;
            const char* box; // empty: deleted
            const char* expected;
        } cases[] = {
            {"a", "Can't delete this echo! Go to \"General setup\" and delete there!", "a F[b] E[] G[H[]]"},
            {"F", "Can't delete selected folder! Folder not empty!", "a F[b] E[] G[H[]]"},
            {"G", "Can't delete selected folder! Folder not empty!", "a F[b] E[] G[H[]]"},
            {"E", "", "a F[b] G[H[]]"},
            {"H", "", "a F[b] E[] G[]"},
        };
        for (const auto& c : cases) {
            Start(QStringLiteral("a F[b] E[] G[H[]]"));
            ClearMessageDlgRecord();
            Focus(QString::fromLatin1(c.focused));
            TTreeInfo* node = Tree->FocusedNode();
            QSignalSpy changed(Tree.get(), &TAreaTree::ListsChanged);
            QSignalSpy leaving(Tree.get(), &TAreaTree::FocusLeaving);
            if (*c.box)
                QueueMessageDlgAnswer(mrOk);
            Tree->DeleteFolder();
            QCOMPARE(Lists(), QString::fromLatin1(c.expected));
            QCOMPARE(Items(), Lists());
            const auto& calls = RecordedMessageDlgCalls();
            if (*c.box) {
                QCOMPARE(calls.size(), size_t(1));
                QCOMPARE(calls[0].Text, QString::fromLatin1(c.box));
                QCOMPARE(calls[0].Type, mtError);
                QCOMPARE(calls[0].Buttons, unsigned(mbtOK));
                QCOMPARE(changed.count(), 0);
                QCOMPARE(Tree->FocusedNode(), node);
            } else {
                QVERIFY(calls.empty());
                QCOMPARE(changed.count(), 1);
                QCOMPARE(leaving.count(), 1);
                QCOMPARE(leaving[0][0].value<TTreeInfo*>(), node);
                QVERIFY(Tree->FocusedNode() != nullptr);
                // A folder left empty shows closed.
                if (QTreeWidgetItem* g = Item(QStringLiteral("G")); g && g->childCount() == 0)
                    QCOMPARE(ImageOf(g), int(iiFolderCollapsed));
            }
        }
    }

    void unreadMailShowsUpToTheTopThroughCollapsedFolders() {
        Start(QStringLiteral("F[G[u] r] d"));
        Data->Post(QStringLiteral("u"), 2);
        Data->Post(QStringLiteral("d"), 1);
        {
            // d has been read by this user up to its last message.
            TBaseRef base = Data->Echo(QStringLiteral("d"))->GetBase();
            base->SetUser(0, Data->User.Name);
            base->Rescan();
            base->SetRead(base->GetMsgId(0), true);
            base->SetLastRead(base->GetMsgId(0));
            base->Close();
            Data->Echo(QStringLiteral("d"))->CloseBase();
        }
        View->collapseAll();
        QSignalSpy status(Tree.get(), &TAreaTree::StatusText);
        Tree->RescanAreas();
        QStringList texts;
        for (const auto& args : status)
            texts << args[0].toString();
        QCOMPARE(texts, (QStringList{QStringLiteral("Scaning  U"), QStringLiteral("Scaning  R"),
                                     QStringLiteral("Scaning  D"), QString()}));

        const struct {
            const char* name;
            int image;
            bool bold;
        } looks[] = {
            {"F", iiFolderCollapsedNew, true},
            {"G", iiFolderCollapsedNew, true},
            {"u", iiNewArea, true},
            {"r", iiArea, false},
            {"d", iiArea, false},
        };
        for (const auto& l : looks) {
            QCOMPARE(ImageOf(Item(QString::fromLatin1(l.name))), l.image);
            QCOMPARE(IsBold(Item(QString::fromLatin1(l.name))), l.bold);
        }
        Item(QStringLiteral("F"))->setExpanded(true);
        QCOMPARE(ImageOf(Item(QStringLiteral("F"))), int(iiFolderExpanded));
        QVERIFY(IsBold(Item(QStringLiteral("F"))));

        // Selected wins over unread, locked over selected.
        View->expandAll();
        Focus(QStringLiteral("u"));
        QCOMPARE(ImageOf(Item(QStringLiteral("u"))), int(iiSelectedArea));
        QVERIFY(IsBold(Item(QStringLiteral("u"))));

        // Reading everything clears the bold text up to the top.
        TCustomBase* base = Data->Echo(QStringLiteral("u"))->GetBase().Get();
        base->SetUser(0, Data->User.Name);
        for (int i = 0; i < base->GetCount(); ++i)
            base->SetRead(base->GetMsgId(i), true);
        Tree->RefreshFocusedArea();
        for (const char* name : {"u", "G", "F"})
            QVERIFY2(!IsBold(Item(QString::fromLatin1(name))), name);

        // New mail in one area, found when that area is updated.
        Data->Post(QStringLiteral("d"), 1);
        Tree->UpdateAreaNode(Data->Echo(QStringLiteral("d")));
        QCOMPARE(ImageOf(Item(QStringLiteral("d"))), int(iiNewArea));
        QVERIFY(IsBold(Item(QStringLiteral("d"))));
    }

    void anAreaThatCannotBeReadShowsLocked() {
        Start(QStringLiteral("F[bad] good"));
        Data->Post(QStringLiteral("good"), 1);
        Data->Damage(QStringLiteral("bad"));
        TTreeInfo* bad = Data->Node(QStringLiteral("bad"));
        bad->HasNew = true;
        // Stands for the window: it opens what gets the focus and reports a failure.
        connect(Tree.get(), &TAreaTree::NodeFocused, Tree.get(), [this](TTreeInfo* node) {
            if (node && !node->IsFolder() && InspectArea(*node->Echo, Data->User).Kind == TAreaState::Locked)
                Tree->MarkAreaLocked(node);
        });
        QSignalSpy status(Tree.get(), &TAreaTree::StatusText);
        QSignalSpy locked(Tree.get(), &TAreaTree::AreaLocked);

        Tree->RescanAreas();
        QVERIFY(bad->HasNew);
        QVERIFY(!bad->Locked);
        status.clear();

        Focus(QStringLiteral("bad"));
        QVERIFY(bad->Locked);
        QCOMPARE(ImageOf(Item(QStringLiteral("bad"))), int(iiLockedArea));
        QCOMPARE(locked.count(), 1);
        QCOMPARE(locked[0][0].value<TTreeInfo*>(), bad);
        QCOMPARE(status.count(), 1);
        QCOMPARE(status[0][0].toString(), QStringLiteral("\"bad\" echo is locked"));
        Tree->MarkAreaLocked(bad);
        QCOMPARE(locked.count(), 1);
        QCOMPARE(status.count(), 1);

        // Another node, then back once the base is readable again: tried afresh.
        Focus(QStringLiteral("good"));
        QCOMPARE(ImageOf(Item(QStringLiteral("bad"))), int(iiLockedArea));
        QFile::remove(QString::fromStdString(Data->Echo(QStringLiteral("bad"))->Path));
        Data->Echo(QStringLiteral("bad"))->CloseBase();
        Data->Post(QStringLiteral("bad"), 1);
        Focus(QStringLiteral("bad"));
        QVERIFY(!bad->Locked);
        QCOMPARE(ImageOf(Item(QStringLiteral("bad"))), int(iiSelectedArea));
        QCOMPARE(locked.count(), 1);
    }
};

QTEST_MAIN(AreaTreeTest)
#include "AreaTreeTest.moc"
