#pragma once

#include <QHash>
#include <QObject>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

namespace tavro::app {

// The composer's commands with their menus and toolbar. Commands whose work comes later
// (attributes, cross-posts, attachments, spelling, case and layout, the nodelist and the
// address book) are there and disabled.
class TWriteCommands final : public QObject {
    Q_OBJECT
public:
    explicit TWriteCommands(QMainWindow* window);

    QAction* Action(const QString& name) const { return Actions.value(name); }
    QToolBar* ToolBar() const { return ToolBar_; }
    QMenu* Menu(const QString& caption) const { return Menus.value(caption); }

private:
    QHash<QString, QAction*> Actions;
    QHash<QString, QMenu*> Menus;
    QToolBar* ToolBar_;
};

} // namespace tavro::app
