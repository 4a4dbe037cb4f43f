#include "WriteCommands.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace tavro::app {

namespace {

struct TWriteCommand {
    const char* Name;
    const char* Caption;
    const char* Shortcut; // portable text, "" for none
    const char* Menu;
    bool Built;
    bool OnToolBar;
};

// In menu order.
const TWriteCommand WriteCommandTable[] = {
    {"SendAction", "Send", "F2", "&Message", true, true},
    {"CancelAction", "Cancel", "Esc", "&Message", true, true},
    {"AttributesAction", "Attributes", "Alt+H", "&Message", false, false},
    {"CrosspostAction", "Crosspost", "", "&Message", false, false},
    {"ToolbarAction", "&Toolbar", "", "&View", true, false},
    {"WordWrap1", "Text &border", "Ctrl+W", "&View", true, false},
    {"UndoAction", "&Undo", "Alt+Backspace", "&Edit", true, false},
    {"RedoAction", "&Redo", "Shift+Alt+Backspace", "&Edit", true, false},
    {"CutAction", "Cu&t", "Shift+Del", "&Edit", true, true},
    {"CopyAction", "&Copy", "Ctrl+Ins", "&Edit", true, true},
    {"PasteAction", "&Paste", "Shift+Ins", "&Edit", true, true},
    {"DeleteAction", "&Delete", "Ctrl+Del", "&Edit", true, false},
    {"SelectAllAction", "Select &All", "Ctrl+A", "&Edit", true, false},
    {"RecodeTextAction", "Recode text", "Shift+Ctrl+Backspace", "&Edit", false, false},
    {"UpperCaseAction", "Convert to upper case", "Ctrl+[", "&Edit", false, false},
    {"LowerCaseAction", "Convert to lower case", "Ctrl+]", "&Edit", false, false},
    {"ToggleCaseAction", "Toggle case", "Ctrl+\\", "&Edit", false, false},
    {"CapitalizeCaseAction", "Capitalize case", "Ctrl+/", "&Edit", false, false},
    {"DateStampAction", "Insert Date", "", "&Edit", true, false},
    {"TimeStampAction", "Insert Time", "", "&Edit", true, false},
    {"UUEncodeAction", "UUEncode", "Ctrl+E", "&Edit", false, false},
    {"FileAttachAction", "Attach a file(s)", "Alt+PgUp", "&Edit", false, false},
    {"ImportAction", "&Import from file", "Ctrl+I", "&Edit", false, false},
    {"SpellcheckAction", "&Spell Check", "Alt+F7", "&Edit", false, false},
    {"SpellChecherConfigureAction", "Configure Spell Checker", "", "&Edit", false, false},
    {"FindAction", "&Find", "Ctrl+F", "&Search", true, false},
    {"FindNextAction", "Find &next", "Ctrl+L", "&Search", false, false},
    {"BrowseNodelistAction", "Browse the Nodelist", "Ctrl+B", "&Search", false, false},
    {"HelpAction", "&Help", "F1", "&Help", false, false},
};

} // namespace

TWriteCommands::TWriteCommands(QMainWindow* window) : QObject(window), ToolBar_(new QToolBar(window)) {
    ToolBar_->setObjectName(QStringLiteral("Toolbar"));
    ToolBar_->setWindowTitle(QStringLiteral("Toolbar"));
    window->addToolBar(Qt::TopToolBarArea, ToolBar_);
    for (const TWriteCommand& command : WriteCommandTable) {
        auto* action = new QAction(QString::fromUtf8(command.Caption), window);
        action->setObjectName(QString::fromLatin1(command.Name));
        if (*command.Shortcut)
            action->setShortcut(
                QKeySequence(QString::fromLatin1(command.Shortcut), QKeySequence::PortableText));
        action->setEnabled(command.Built);
        window->addAction(action);
        Actions.insert(action->objectName(), action);
        const QString menuName = QString::fromLatin1(command.Menu);
        QMenu*& menu = Menus[menuName];
        if (!menu)
            menu = window->menuBar()->addMenu(menuName);
        menu->addAction(action);
        if (command.OnToolBar)
            ToolBar_->addAction(action);
    }
    Action(QStringLiteral("FindNextAction"))->setEnabled(false); // until something was found
    for (const char* name : {"ToolbarAction", "WordWrap1"}) {
        Action(QString::fromLatin1(name))->setCheckable(true);
        Action(QString::fromLatin1(name))->setChecked(true);
    }
    // The address book's button comes with the address book.
    QAction* book = ToolBar_->addAction(QStringLiteral("Address book"));
    book->setObjectName(QStringLiteral("BTAddrBook"));
    book->setToolTip(QStringLiteral("Address book"));
    book->setEnabled(false);
}

} // namespace tavro::app
