#include "reader/ViewForm.h"
#include "reader/MessageView.h"
#include "reader/ViewerPanes.h"
#include "reader/ViewerStatusBar.h"

#include "config/Config.h"
#include "config/Echo.h"
#include "config/User.h"

#include <QAbstractItemModel>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusTipEvent>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

using namespace tavro;
using namespace tavro::app;

namespace {

QStringList ActionNames(const QList<QAction*>& actions) {
    QStringList names;
    for (const QAction* action : actions)
        if (!action->isSeparator())
            names << action->objectName();
    return names;
}

QStringList ToolbarNames(QToolBar* toolbar) {
    QStringList names;
    for (QAction* action : toolbar->actions()) {
        if (action->isSeparator())
            continue;
        auto* button = qobject_cast<QToolButton*>(toolbar->widgetForAction(action));
        names << (button && button->defaultAction() ? button->defaultAction()->objectName()
                                                    : action->objectName());
    }
    return names;
}

// A desktop with a system tray, which the test platform lacks.
class TTrayViewForm : public TViewForm {
protected:
    bool TrayAvailable() const override { return true; }
};

} // namespace

class ViewFormTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> Home;

    QString IniFile() const { return Home->filePath(QStringLiteral("tavro.ini")); }
    void WriteIni(const QByteArray& text) {
        QFile file(IniFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

private slots:
    void init() {
        Home = std::make_unique<QTemporaryDir>();
        qputenv("TAVRO_HOME", Home->path().toUtf8());
        Settings() = TGlobalSettings{};
    }
    void cleanup() { qunsetenv("TAVRO_HOME"); }

    void framesThreePanesUnderOneCaption() {
        TViewForm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Tavro Viewer"));
        QVERIFY(form.findChild<QWidget*>(QStringLiteral("LeftPanel"))
                    ->isAncestorOf(form.findChild<QTreeWidget*>("VT")));
        auto* list = form.findChild<QTreeView*>(QStringLiteral("MT"));
        QVERIFY(form.findChild<QWidget*>(QStringLiteral("TopPanel"))->isAncestorOf(list));
        QStringList captions;
        for (int i = 0; i < list->model()->columnCount(); ++i)
            captions << list->model()->headerData(i, Qt::Horizontal).toString();
        QCOMPARE(captions, (QStringList{QStringLiteral("\u2116"), "From", "To", "Subj", "Date"}));
        QCOMPARE(form.Panes()->ColumnWidths(), (QList<int>{40, 100, 100, 250, 70}));
        QVERIFY(form.findChild<QFrame*>(QStringLiteral("InfoPanel")));
        QVERIFY(form.findChild<QPlainTextEdit*>(QStringLiteral("MsgView"))->isReadOnly());
    }

    void statusBarShowsHintsTextsAndProgress() {
        TViewForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        TViewerStatusBar* bar = form.StatusBar();
        QCOMPARE(bar->Panel(0)->width(), 250);
        QCOMPARE(bar->Panel(1)->width(), 100);
        QVERIFY(bar->Panel(2)->width() >= 50);
        QProgressBar* progress = bar->Progress();
        QVERIFY(progress->isHidden());
        form.ShowProgress(-1);
        QVERIFY(progress->isVisible());
        QCOMPARE(progress->maximum(), 0);
        form.ShowProgress(40);
        QCOMPARE(progress->maximum(), 100);
        QCOMPARE(progress->value(), 40);
        // The bar lies over panel 1, not beside it.
        QVERIFY(bar->Panel(1)->geometry().contains(progress->geometry().translated(bar->Panel(1)->pos())));
        form.HideProgress();
        QVERIFY(progress->isHidden());
        form.SetStatusText(2, QStringLiteral("Compiling \"net.001\""));
        QCOMPARE(form.StatusText(2), QStringLiteral("Compiling \"net.001\""));
        form.SetStatusText(3, QStringLiteral("nowhere"));
        QStatusTipEvent tip(QStringLiteral("Rescan all echos"));
        QApplication::sendEvent(form.menuBar(), &tip);
        QCOMPARE(form.StatusText(0), QStringLiteral("Rescan all echos"));
        QCOMPARE(form.StatusText(2), QStringLiteral("Compiling \"net.001\""));
    }

    void menusHoldTheirCommandsInOrder_data() {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("actions");
        QTest::newRow("view") << "ViewMenu"
                              << "&View"
                              << QStringList{"ToolbarAction", "ShowKludgesAction", "NextAreaAction"};
        QTest::newRow("mode") << "ModeMenu"
                              << "Mo&de"
                              << QStringList{"FullScreenAction", "BigTreeAction", "ThreadModeAction"};
        QTest::newRow("message") << "MessageMenu"
                                 << "&Message"
                                 << QStringList{"NewAction",     "EditAction",     "DeleteAction",
                                                "RepliesAction", "TransferAction", "WriteAction",
                                                "PrintAction",   "UUDecodeAction"};
        QTest::newRow("replies") << "RepliesMenu"
                                 << ""
                                 << QStringList{"ReplyAction", "QuoteAction", "CommentAction",
                                                "QuoteInAreaAction", "CommentInAreaAction"};
        QTest::newRow("transfer") << "TransferMenu"
                                  << "" << QStringList{"ForwardAction", "CopyAction", "MoveAction"};
        QTest::newRow("search") << "SearchMenu"
                                << "&Search"
                                << QStringList{"FindAction", "FindInMessageAction", "FindNextAction",
                                               "NodelistBrowserAction"};
        QTest::newRow("mark") << "MarkMenu"
                              << "Ma&rk" << QStringList{"MarkAllAction",        "UnmarkAllAction",
                                                        "InvertMarkAction",     "MarkBeforeAction",
                                                        "MarkAfterAction",      "MarkThreadAction",
                                                        "MarkThreadReadAction", "MarkMsgUnreadAction",
                                                        "MarkAllReadAction"};
        QTest::newRow("options") << "OptionsMenu"
                                 << "&Options"
                                 << QStringList{"SelectUserAction", "RescanAction",   "SetupAction",
                                                "AddrBookAction",   "GroupManAction", "UnsubscribeAction"};
        QTest::newRow("help") << "HelpMenu"
                              << "&Help"
                              << QStringList{"HelpAction", "HelpContentsAction", "WWWAction",
                                             "BugReportAction", "AboutAction"};
    }
    void menusHoldTheirCommandsInOrder() {
        QFETCH(QString, menu);
        QFETCH(QString, title);
        QFETCH(QStringList, actions);
        TViewForm form;
        auto* found = form.findChild<QMenu*>(menu);
        QVERIFY(found);
        QCOMPARE(ActionNames(found->actions()), actions);
        if (!title.isEmpty())
            QCOMPARE(found->title(), title);
    }

    void menuBarOrder() {
        TViewForm form;
        QStringList titles;
        for (QAction* action : form.menuBar()->actions())
            titles << action->text();
        QCOMPARE(titles,
                 (QStringList{"&View", "Mo&de", "&Message", "&Search", "Ma&rk", "&Options", "&Help"}));
    }

    void commandsCarryCaptionShortcutAndHint_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<QString>("hint");
        QTest::newRow("kludges") << "ShowKludgesAction"
                                 << "S&how kludges"
                                 << "H"
                                 << "Show/hide message kludges";
        QTest::newRow("big tree") << "BigTreeAction"
                                  << "Bi&g tree"
                                  << "G"
                                  << "Toggle \"Big Tree\" mode";
        QTest::newRow("new") << "NewAction"
                             << "New"
                             << "Ins"
                             << "Create new message";
        QTest::newRow("delete") << "DeleteAction"
                                << "Delete"
                                << "Del"
                                << "Delete message(s)";
        QTest::newRow("quote in area") << "QuoteInAreaAction"
                                       << "Quote I&n Area"
                                       << "N"
                                       << "Quote-Reply in another area (Reply to FROM name)";
        QTest::newRow("mark all read") << "MarkAllReadAction"
                                       << "Mark all read"
                                       << "Ctrl+Shift+A"
                                       << "";
        QTest::newRow("find next") << "FindNextAction"
                                   << "Find next in message..."
                                   << "Ctrl+L"
                                   << "Repeats search";
        QTest::newRow("unsubscribe") << "UnsubscribeAction"
                                     << "Unsubscribe"
                                     << "Alt+U"
                                     << "";
        QTest::newRow("bug report") << "BugReportAction"
                                    << "&Bug report"
                                    << ""
                                    << "Create message to our techsupport...";
        QTest::newRow("select user") << "SelectUserAction"
                                     << "Select &user"
                                     << "F12"
                                     << "";
    }
    void commandsCarryCaptionShortcutAndHint() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, shortcut);
        QFETCH(QString, hint);
        TViewForm form;
        QAction* action = form.Action(name);
        QVERIFY(action);
        QCOMPARE(action->text(), caption);
        QCOMPARE(action->shortcut().toString(QKeySequence::PortableText), shortcut);
        QCOMPARE(action->statusTip(), hint);
    }

    // Two enabled actions on one key make Qt run neither.
    void noTwoCommandsShareAKey() {
        TViewForm form;
        QHash<QString, QString> owners;
        for (QAction* action : form.actions()) {
            const QString key = action->shortcut().toString();
            if (key.isEmpty())
                continue;
            QVERIFY2(!owners.contains(key),
                     qPrintable(key + ": " + owners.value(key) + ", " + action->objectName()));
            owners.insert(key, action->objectName());
        }
    }

    void toolbarHoldsItsButtonsWithIcons() {
        TViewForm form;
        auto* toolbar = form.findChild<QToolBar*>(QStringLiteral("ToolBar"));
        QCOMPARE(ToolbarNames(toolbar),
                 (QStringList{"NewAction", "RepliesAction", "TransferAction", "WriteAction", "PrintAction",
                              "DeleteAction", "ShowKludgesAction", "RescanAction", "AddrBookAction",
                              "LeftLinkAction", "PrevMsgAction", "NextMsgAction", "RightLinkAction",
                              "HelpAction"}));
        for (const QString& name : ToolbarNames(toolbar))
            QVERIFY2(!form.Action(name)->icon().isNull(), qPrintable(name));
        auto* replies = qobject_cast<QToolButton*>(toolbar->widgetForAction(form.Action("RepliesAction")));
        QCOMPARE(replies->popupMode(), QToolButton::InstantPopup);
        QCOMPARE(ActionNames(form.findChild<QToolButton*>("NewBtn")->menu()->actions()), QStringList());
        QVERIFY(form.findChild<QToolButton*>("RightLinkBtn"));
    }

    void onlyBuiltCommandsAreEnabled() {
        TViewForm form;
        QStringList enabled;
        for (QAction* action : form.actions())
            if (action->isEnabled())
                enabled << action->objectName();
        enabled.sort();
        QCOMPARE(enabled,
                 (QStringList{"BigTreeAction", "FullScreenAction", "SelectUserAction", "ShowKludgesAction",
                              "ThreadModeAction", "ToolbarAction", "WWWAction"}));
    }

    // The caption names the focused node; a user with an empty tree has none.
    void currentUserSetsCaptionAndCommands() {
        TViewForm form;
        TUser max, other;
        max.Name = "Max Mustermann";
        other.Name = "Other";
        QSignalSpy title(&form, &QWidget::windowTitleChanged);
        form.SetCurrentUser(&max);
        QCOMPARE(form.CurrentUser(), &max);
        QCOMPARE(form.windowTitle(), QStringLiteral("Tavro Viewer "));
        QVERIFY(!form.Action("NewAction")->isEnabled());
        QVERIFY(form.Action("RescanAction")->isEnabled());
        QVERIFY(!form.Action("MarkAllAction")->isEnabled());
        const int titles = title.count();
        form.SetCurrentUser(&max);
        QCOMPARE(title.count(), titles);
        form.SetCurrentUser(&other);
        QCOMPARE(form.CurrentUser(), &other);
        form.SetCurrentUser(nullptr);
        QCOMPARE(form.CurrentUser(), nullptr);
        QCOMPARE(form.windowTitle(), QStringLiteral("Tavro Viewer"));
        QVERIFY(!form.Action("NewAction")->isEnabled());
        QVERIFY(!form.Action("RescanAction")->isEnabled());
    }

    void fallbackNetmailAreaFollowsTheSettings() {
        Settings().NetmailPath = " /fido/netmail ";
        TViewForm form;
        TEcho* first = form.FallbackNetmailArea();
        QVERIFY(first);
        QCOMPARE(first->Path, std::string("/fido/netmail"));
        Settings().NetmailPath = "/fido/other";
        form.RebuildFallbackNetmailArea();
        QCOMPARE(form.FallbackNetmailArea()->Path, std::string("/fido/other"));
        // A composer opened before may still hold the old one.
        QCOMPARE(first->Path, std::string("/fido/netmail"));
        Settings().NetmailPath = "";
        form.RebuildFallbackNetmailArea();
        QCOMPARE(form.FallbackNetmailArea(), nullptr);
    }

    void layoutModesSwitchPanes() {
        TViewForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        TViewerPanes* panes = form.Panes();
        auto* left = form.findChild<QWidget*>("LeftPanel");
        auto* top = form.findChild<QWidget*>("TopPanel");
        auto* message = form.findChild<QWidget*>("MessagePanel");
        QCOMPARE(message->width(), panes->width());
        QVERIFY(left->height() < panes->height());
        const int leftWidth = panes->LeftPanelWidth();
        form.Action("BigTreeAction")->trigger();
        QTRY_COMPARE(left->height(), panes->height());
        QVERIFY(message->width() < panes->width());
        QCOMPARE(panes->LeftPanelWidth(), leftWidth);

        form.findChild<QTreeView*>("MT")->setFocus();
        form.Action("FullScreenAction")->trigger();
        QVERIFY(top->isVisible());
        QVERIFY(!left->isVisible());
        QVERIFY(!message->isVisible());
        form.Action("FullScreenAction")->trigger();
        QVERIFY(left->isVisible() && top->isVisible() && message->isVisible());
        QCOMPARE(panes->LeftPanelWidth(), leftWidth);
        QCOMPARE(QApplication::focusWidget(), form.findChild<QTreeView*>("MT"));

        form.Action("ToolbarAction")->trigger();
        QVERIFY(form.findChild<QToolBar*>("ToolBar")->isHidden());
    }

    void layoutRoundTripsThroughTheIniFile() {
        QList<int> columns{55, 120, 90, 300, 80};
        {
            TViewForm form;
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            form.resize(700, 500);
            form.move(30, 40);
            form.Panes()->SetLeftPanelWidth(170);
            form.Panes()->SetTopPanelHeight(150);
            form.Panes()->SetColumnWidths(columns);
            form.Action("BigTreeAction")->trigger();
            form.Action("ThreadModeAction")->trigger();
            form.addToolBar(Qt::LeftToolBarArea, form.findChild<QToolBar*>("ToolBar"));
            QTRY_COMPARE(form.Panes()->LeftPanelWidth(), 170);
            form.close();
        }
        QSettings ini(IniFile(), QSettings::IniFormat);
        ini.beginGroup(QStringLiteral("Viewer"));
        for (const char* key :
             {"State", "Fullscreen", "BigTree", "ThreadsView", "SubjColSize", "ToolbarVisible", "ToolbarDock",
              "ToolbarPos", "Left", "Top", "Width", "Height", "LeftPanelWidth", "TopPanelHeight"})
            QVERIFY2(ini.contains(QLatin1String(key)), key);
        QCOMPARE(ini.value("SubjColSize").toString(), QStringLiteral("55,120,90,300,80"));
        QCOMPARE(ini.value("ToolbarDock").toString(), QStringLiteral("LeftDock"));
        QCOMPARE(ini.value("BigTree").toInt(), 1);
        QCOMPARE(ini.value("Fullscreen").toInt(), 0);

        TViewForm again;
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QCOMPARE(again.size(), QSize(700, 500));
        QCOMPARE(again.pos(), QPoint(30, 40));
        QCOMPARE(again.Panes()->ColumnWidths(), columns);
        QVERIFY(again.BigTree());
        QVERIFY(again.ThreadsMode());
        QVERIFY(!again.FullScreen());
        QCOMPARE(again.toolBarArea(again.findChild<QToolBar*>("ToolBar")), Qt::LeftToolBarArea);
        QCOMPARE(again.Panes()->LeftPanelWidth(), 170);
        QCOMPARE(again.Panes()->TopPanelHeight(), 150);
        QCOMPARE(again.SavedWindowState(), 0);
    }

    void restoreRunsSavedModesOnce() {
        WriteIni(
            "[Viewer]\nFullscreen=1\nBigTree=1\nThreadsView=1\nToolbarVisible=0\nToolbarDock=BottomDock\n"
            "SubjColSize=0,,120\nState=2\n");
        TViewForm form;
        QVERIFY(form.FullScreen());
        QVERIFY(form.BigTree());
        QVERIFY(form.ThreadsMode());
        QVERIFY(!form.Action("ToolbarAction")->isChecked());
        QCOMPARE(form.toolBarArea(form.findChild<QToolBar*>("ToolBar")), Qt::BottomToolBarArea);
        QCOMPARE(form.Panes()->ColumnWidths(), (QList<int>{40, 120, 100, 250, 70}));
        QCOMPARE(form.SavedWindowState(), 2);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.findChild<QToolBar*>("ToolBar")->isHidden());
        // Full screen starts from the tree.
        QVERIFY(form.findChild<QWidget*>("LeftPanel")->isVisible());
        QVERIFY(!form.findChild<QWidget*>("TopPanel")->isVisible());
        QVERIFY(!form.findChild<QWidget*>("MessagePanel")->isVisible());
        QVERIFY(form.isMaximized());
    }

    void unknownDockNamesLeaveTheToolbarDocked_data() {
        QTest::addColumn<QByteArray>("dock");
        QTest::newRow("floating without Qt's record") << QByteArray("(none)");
        QTest::newRow("a control, not a dock") << QByteArray("MT");
        QTest::newRow("garbage") << QByteArray("%%%");
    }
    void unknownDockNamesLeaveTheToolbarDocked() {
        QFETCH(QByteArray, dock);
        WriteIni("[Viewer]\nToolbarDock=" + dock + "\nToolbarPos=1,2,3\n");
        TViewForm form;
        auto* toolbar = form.findChild<QToolBar*>("ToolBar");
        QCOMPARE(form.toolBarArea(toolbar), Qt::TopToolBarArea);
        QVERIFY(!toolbar->isFloating());
        QVERIFY(form.Action("ToolbarAction")->isChecked());
    }

    void offScreenGeometryIsBroughtBack() {
        WriteIni("[Viewer]\nLeft=30000\nTop=30000\nWidth=30000\nHeight=200\n");
        TViewForm form;
        const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(room.contains(form.geometry().center()));
        QVERIFY(form.width() <= room.width());
        QCOMPARE(form.height(), 200);
    }

    void closingSavesAndTellsTheShell() {
        TViewForm form;
        form.show();
        QSignalSpy closed(&form, &TViewForm::Closed);
        form.close();
        QCOMPARE(closed.count(), 1);
        QVERIFY(QFile::exists(IniFile()));
    }

    void minimisingHidesInTheTrayWhenWanted_data() {
        QTest::addColumn<bool>("minToTray");
        QTest::addColumn<bool>("trayExists");
        QTest::addColumn<bool>("hidden");
        QTest::newRow("tray wanted and present") << true << true << true;
        QTest::newRow("not wanted") << false << true << false;
        QTest::newRow("no tray on this desktop") << true << false << false;
    }
    void minimisingHidesInTheTrayWhenWanted() {
        QFETCH(bool, minToTray);
        QFETCH(bool, trayExists);
        QFETCH(bool, hidden);
        Settings().MinToTray = minToTray;
        std::unique_ptr<TViewForm> form =
            trayExists ? std::make_unique<TTrayViewForm>() : std::make_unique<TViewForm>();
        TUser user;
        user.Name = "Max";
        form->SetCurrentUser(&user);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->setWindowState(Qt::WindowMinimized);
        QTest::qWait(20);
        QCOMPARE(form->isHidden(), hidden);
        auto* tray = form->findChild<QSystemTrayIcon*>("TrayIcon");
        QCOMPARE(tray != nullptr && tray->isVisible(), hidden);
        if (hidden)
            QCOMPARE(tray->toolTip(), form->windowTitle());
        form->RestoreFromTray();
        QVERIFY(form->isVisible());
        QVERIFY(!form->isMinimized());
        QVERIFY(tray == nullptr || !tray->isVisible());
    }
};

QTEST_MAIN(ViewFormTest)
#include "ViewFormTest.moc"
