#include "ViewerActions.h"

#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

namespace tavro::app {

const char* const HomePageUrl = "https://tavro.example.org/";

namespace {

using N = TCommandNeed;
using I = TCommandIcon;

std::vector<TViewerCommand> MakeCommands() {
    return {
        // View
        {"ToolbarAction", "&Toolbar", "", "Show or hide the toolbar", {}, N::Nothing, 0, true, true},
        {"ShowKludgesAction", "S&how kludges", "H", "Show/hide message kludges", I::ShowKludges, N::Nothing,
         1280, true, true},
        // Shift+Right in the text; a window-wide key would take Shift+Right from every editor.
        {"NextAreaAction",
         "Next unread &area",
         "",
         "Go to the next area with unread messages",
         {},
         N::User,
         0,
         false,
         true},
        // Mode
        {"FullScreenAction", "F&ull screen", "U", "Toggle screen mode", {}, N::Nothing, 0, true, true},
        {"BigTreeAction", "Bi&g tree", "G", "Toggle \"Big Tree\" mode", {}, N::Nothing, 0, true, true},
        {"ThreadModeAction", "Threads", "T", "", {}, N::Nothing, 0, true, true},
        // Message
        {"NewAction", "New", "Ins", "Create new message", I::New, N::Area, 1220, false, true},
        {"EditAction", "Edit", "F2", "Edit message", {}, N::Message, 900, false, true},
        {"DeleteAction", "Delete", "Del", "Delete message(s)", I::Delete, N::Message, 1270, false, true},
        {"RepliesAction", "Reply", "", "Replies menu", I::Reply, N::Message, 1230, false, true},
        {"ReplyAction",
         "&Reply",
         "R",
         "Reply to message, without quoting",
         {},
         N::Message,
         1230,
         false,
         true},
        {"QuoteAction",
         "&Quote",
         "Q",
         "Quote-Reply to message (Reply to FROM name)",
         {},
         N::Message,
         1230,
         false,
         true},
        {"CommentAction",
         "Commen&t",
         "",
         "Comment-Reply to message (Reply to TO name)",
         {},
         N::Message,
         1230,
         false,
         true},
        {"QuoteInAreaAction",
         "Quote I&n Area",
         "N",
         "Quote-Reply in another area (Reply to FROM name)",
         {},
         N::Message,
         1230,
         false,
         true},
        {"CommentInAreaAction",
         "C&omment In Area",
         "O",
         "Comment-Reply in another area (Reply to TO name)",
         {},
         N::Message,
         1230,
         false,
         true},
        {"TransferAction", "Transfer", "", "Forward/Copy/Move menu", I::Transfer, N::Message, 1240, false,
         true},
        {"ForwardAction", "&Forward", "F", "Forward message(s)", {}, N::Message, 1240, false, true},
        {"CopyAction", "&Copy", "C", "Copy message(s)", {}, N::Message, 1240, false, true},
        {"MoveAction", "&Move", "M", "Move message(s)", {}, N::Message, 1240, false, true},
        {"WriteAction", "&Write", "W", "Write/export message(s) to file", I::Write, N::Message, 1250, false,
         true},
        {"PrintAction", "Print", "", "Export message(s) to printer", I::Print, N::Message, 1260, false, true},
        {"UUDecodeAction", "UUDecode", "Ctrl+U", "Scan echoarea for UUE", {}, N::Message, 0, false, false},
        // Search
        {"FindAction", "&Find...", "F7", "Searches for specific text in message base", I::Find, N::Area, 0,
         false, false},
        {"FindInMessageAction",
         "Find in message",
         "Ctrl+F",
         "Searches for specific text",
         {},
         N::Message,
         0,
         false,
         false},
        {"FindNextAction",
         "Find next in message...",
         "Ctrl+L",
         "Repeats search",
         {},
         N::FindMatch,
         0,
         false,
         false},
        {"NodelistBrowserAction", "Nodelist browser", "Ctrl+B", "", {}, N::Nothing, 0, false, false},
        // Mark
        {"MarkAllAction",
         "Mark &all",
         "Ctrl+A",
         "Marking all messages in area",
         {},
         N::Messages,
         0,
         false,
         true},
        {"UnmarkAllAction",
         "&Unmark all",
         "",
         "Unmarking all messages in area",
         {},
         N::Messages,
         0,
         false,
         true},
        {"InvertMarkAction",
         "&Invert mark",
         "",
         "Mark unmarked and unmark marked messages",
         {},
         N::Messages,
         0,
         false,
         true},
        {"MarkBeforeAction", "Mark &before (<current)", "", "", {}, N::Messages, 0, false, true},
        {"MarkAfterAction", "Mark a&fter (>current)", "", "", {}, N::Messages, 0, false, true},
        {"MarkThreadAction",
         "Mark &thread",
         "Ctrl+T",
         "Marking all messages current thread",
         {},
         N::Messages,
         0,
         false,
         true},
        {"MarkThreadReadAction", "Mark thread read", "Ctrl+Q", "", {}, N::Messages, 0, false, true},
        {"MarkMsgUnreadAction", "Mark message unread", "", "", {}, N::Messages, 0, false, true},
        {"MarkAllReadAction", "Mark all read", "Ctrl+Shift+A", "", {}, N::Messages, 0, false, true},
        // Options
        {"SelectUserAction", "Select &user", "F12", "", I::SelectUser, N::Nothing, 1900, false, true},
        {"RescanAction", "Rescan", "F5", "Rescan all echos", I::Rescan, N::User, 1290, false, true},
        {"SetupAction", "&Setup", "", "", I::Setup, N::Nothing, 60, false, false},
        {"AddrBookAction", "&Address book", "", "Address book", I::AddressBook, N::Nothing, 1300, false,
         false},
        {"GroupManAction", "Group manager", "", "", {}, N::Nothing, 2180, false, false},
        {"UnsubscribeAction", "Unsubscribe", "Alt+U", "", {}, N::User, 0, false, false},
        // Help
        {"HelpAction", "&Help", "F1", "", I::Help, N::Nothing, 1350, false, false},
        {"HelpContentsAction", "&Contents", "", "", {}, N::Nothing, 0, false, false},
        {"WWWAction", "Tavro home &page", "", HomePageUrl, {}, N::Nothing, 0, false, true},
        {"BugReportAction",
         "&Bug report",
         "",
         "Create message to our techsupport...",
         {},
         N::User,
         0,
         false,
         false},
        {"AboutAction", "&About...", "", "About Tavro", {}, N::Nothing, 0, false, false},
        // Toolbar navigation
        {"LeftLinkAction", "Previous in reply chain", "", "Previous message in reply chain", I::PrevInChain,
         N::Message, 1310, false, true},
        {"PrevMsgAction", "Previous message", "", "Previous message", I::PrevMessage, N::Message, 1320, false,
         true},
        {"NextMsgAction", "Next message", "", "Next message", I::NextMessage, N::Message, 1330, false, true},
        {"RightLinkAction", "Next in reply chain", "", "Next message in reply chain", I::NextInChain,
         N::Message, 1340, false, true},
    };
}

bool Satisfied(TCommandNeed need, const TCommandState& s) {
    switch (need) {
    case N::Nothing:
        return true;
    case N::User:
        return s.User;
    case N::Area:
        return s.User && s.Area;
    case N::Message:
        return s.User && s.Area && s.Message;
    case N::Messages:
        return s.Area && s.Messages;
    case N::FindMatch:
        return s.User && s.Area && s.Message && s.FindMatch;
    }
    return false;
}

} // namespace

const std::vector<TViewerCommand>& ViewerCommands() {
    static const std::vector<TViewerCommand> commands = MakeCommands();
    return commands;
}

TViewerActions::TViewerActions(QMainWindow* window) : QObject(window), Window(window) {
    for (const TViewerCommand& command : ViewerCommands())
        Make(command);
    BuildMenus(window->menuBar());
    BuildToolBar();
    Update({});
}

QAction* TViewerActions::Make(const TViewerCommand& command) {
    auto* action = new QAction(QString::fromUtf8(command.Caption), Window);
    const QString name = QString::fromLatin1(command.Name);
    action->setObjectName(name);
    if (*command.Shortcut)
        action->setShortcut(QKeySequence(QString::fromLatin1(command.Shortcut), QKeySequence::PortableText));
    if (*command.Hint) {
        action->setStatusTip(QString::fromUtf8(command.Hint));
        action->setToolTip(QString::fromUtf8(command.Hint));
    }
    if (command.Icon)
        action->setIcon(TFTNData::CommandIcon(*command.Icon));
    action->setCheckable(command.Checkable);
    action->setProperty("HelpTopic", command.HelpTopic);
    Window->addAction(action);
    Actions.insert(name, action);
    Commands.insert(action, &command);
    return action;
}

QAction* TViewerActions::Action(const QString& name) const {
    return Actions.value(name);
}

void TViewerActions::Update(const TCommandState& state) {
    for (auto it = Commands.cbegin(); it != Commands.cend(); ++it)
        it.key()->setEnabled(it.value()->Built && Satisfied(it.value()->Need, state));
}

QMenu* TViewerActions::SubMenu(const QString& holder, const QString& objectName,
                               std::initializer_list<const char*> names) {
    auto* menu = new QMenu(Window);
    menu->setObjectName(objectName);
    for (const char* name : names)
        menu->addAction(Action(QString::fromLatin1(name)));
    Action(holder)->setMenu(menu);
    return menu;
}

void TViewerActions::BuildMenus(QMenuBar* bar) {
    SubMenu(QStringLiteral("RepliesAction"), QStringLiteral("RepliesMenu"),
            {"ReplyAction", "QuoteAction", "CommentAction", "QuoteInAreaAction", "CommentInAreaAction"});
    SubMenu(QStringLiteral("TransferAction"), QStringLiteral("TransferMenu"),
            {"ForwardAction", "CopyAction", "MoveAction"});
    struct TMenu {
        const char* Name;
        const char* Title;
        std::vector<const char*> Items; // "" is a separator
    };
    const TMenu menus[] = {
        {"ViewMenu", "&View", {"ToolbarAction", "ShowKludgesAction", "", "NextAreaAction"}},
        {"ModeMenu", "Mo&de", {"FullScreenAction", "BigTreeAction", "ThreadModeAction"}},
        {"MessageMenu",
         "&Message",
         {"NewAction", "EditAction", "DeleteAction", "", "RepliesAction", "TransferAction", "", "WriteAction",
          "PrintAction", "", "UUDecodeAction"}},
        {"SearchMenu",
         "&Search",
         {"FindAction", "FindInMessageAction", "FindNextAction", "", "NodelistBrowserAction"}},
        {"MarkMenu",
         "Ma&rk",
         {"MarkAllAction", "UnmarkAllAction", "InvertMarkAction", "", "MarkBeforeAction", "MarkAfterAction",
          "MarkThreadAction", "", "MarkThreadReadAction", "MarkMsgUnreadAction", "MarkAllReadAction"}},
        {"OptionsMenu",
         "&Options",
         {"SelectUserAction", "RescanAction", "", "SetupAction", "AddrBookAction", "GroupManAction", "",
          "UnsubscribeAction"}},
        {"HelpMenu",
         "&Help",
         {"HelpAction", "HelpContentsAction", "WWWAction", "", "BugReportAction", "", "AboutAction"}},
    };
    for (const TMenu& m : menus) {
        QMenu* menu = bar->addMenu(QString::fromLatin1(m.Title));
        menu->setObjectName(QString::fromLatin1(m.Name));
        for (const char* item : m.Items) {
            if (*item)
                menu->addAction(Action(QString::fromLatin1(item)));
            else
                menu->addSeparator();
        }
    }
}

void TViewerActions::SetRepliesMenu(QMenu* menu) {
    RightLinkBtn_->setMenu(menu);
    RightLinkBtn_->setPopupMode(menu ? QToolButton::MenuButtonPopup : QToolButton::DelayedPopup);
}

QToolButton* TViewerActions::AddDropDownButton(const char* action, const QString& buttonName, QMenu* menu) {
    auto* button = new QToolButton(ToolBar_);
    button->setObjectName(buttonName);
    button->setDefaultAction(Action(QString::fromLatin1(action)));
    if (menu) {
        button->setMenu(menu);
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
    ToolBar_->addWidget(button);
    return button;
}

void TViewerActions::ShowFavourites(bool shown) {
    auto* button = ToolBar_->findChild<QToolButton*>(QStringLiteral("NewBtn"));
    if (!button || (button->menu() != nullptr) == shown)
        return;
    button->setMenu(shown ? FavouritesMenu_ : nullptr);
    button->setPopupMode(shown ? QToolButton::MenuButtonPopup : QToolButton::DelayedPopup);
}

void TViewerActions::BuildToolBar() {
    ToolBar_ = new QToolBar(QStringLiteral("Toolbar"), Window);
    ToolBar_->setObjectName(QStringLiteral("ToolBar"));
    ToolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    Window->addToolBar(Qt::TopToolBarArea, ToolBar_);

    FavouritesMenu_ = new QMenu(Window);
    FavouritesMenu_->setObjectName(QStringLiteral("FavouritesMenu"));
    AddDropDownButton("NewAction", QStringLiteral("NewBtn"), FavouritesMenu_);
    for (const char* name : {"RepliesAction", "TransferAction"}) {
        QAction* action = Action(QString::fromLatin1(name));
        ToolBar_->addAction(action);
        if (auto* button = qobject_cast<QToolButton*>(ToolBar_->widgetForAction(action)))
            button->setPopupMode(QToolButton::InstantPopup);
    }
    for (const char* name : {"WriteAction", "PrintAction", "DeleteAction", "", "ShowKludgesAction",
                             "RescanAction", "AddrBookAction", ""}) {
        if (*name)
            ToolBar_->addAction(Action(QString::fromLatin1(name)));
        else
            ToolBar_->addSeparator();
    }
    AddDropDownButton("LeftLinkAction", QStringLiteral("LeftLinkBtn"), nullptr);
    ToolBar_->addAction(Action(QStringLiteral("PrevMsgAction")));
    ToolBar_->addAction(Action(QStringLiteral("NextMsgAction")));
    // The replies drop-down is attached once a message has more than one answer.
    RightLinkBtn_ = AddDropDownButton("RightLinkAction", QStringLiteral("RightLinkBtn"), nullptr);
    ToolBar_->addSeparator();
    ToolBar_->addAction(Action(QStringLiteral("HelpAction")));
}

} // namespace tavro::app
