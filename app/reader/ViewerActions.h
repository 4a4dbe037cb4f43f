#pragma once

#include "widgets/FtnData.h"

#include <QHash>
#include <QObject>

#include <optional>
#include <vector>

class QAction;
class QMainWindow;
class QMenu;
class QMenuBar;
class QToolBar;
class QToolButton;

namespace tavro::app {

// What a command needs before it can be used.
enum class TCommandNeed {
    Nothing,
    User,
    Area,      // a user and an open area
    Message,   // ... and a current message
    Messages,  // an open area with at least one message (the mark commands)
    FindMatch, // the last search in the shown message found something
};

struct TViewerCommand {
    const char* Name; // the action's object name
    const char* Caption;
    const char* Shortcut; // portable key text, "" for none
    const char* Hint;
    std::optional<TCommandIcon> Icon;
    TCommandNeed Need;
    int HelpTopic;
    bool Checkable;
    // Whether the command does anything yet; one that does not stays disabled.
    bool Built;
};

// Every command of the reader window, in no particular order.
const std::vector<TViewerCommand>& ViewerCommands();

// The program's home page, also the hint of its command.
extern const char* const HomePageUrl;

// What the commands' enabled states follow.
struct TCommandState {
    bool User = false;
    bool Area = false;
    bool Message = false;
    bool Messages = false;
    bool FindMatch = false;
};

// The reader window's actions, menus and toolbar.
class TViewerActions final : public QObject {
    Q_OBJECT
public:
    explicit TViewerActions(QMainWindow* window);

    QAction* Action(const QString& name) const;
    void Update(const TCommandState& state);

    QToolBar* ToolBar() const { return ToolBar_; }
    // The drop-downs that later commands fill: favourite contacts, replies of the message.
    QMenu* FavouritesMenu() const { return FavouritesMenu_; }
    // The drop-down of "New" is there only while it has something to offer.
    void ShowFavourites(bool shown);
    QToolButton* RightLinkButton() const { return RightLinkBtn_; }
    // The replies drop-down of the toolbar's reply-chain button; null takes it away.
    void SetRepliesMenu(QMenu* menu);

private:
    QAction* Make(const TViewerCommand& command);
    QMenu* SubMenu(const QString& holder, const QString& objectName,
                   std::initializer_list<const char*> names);
    void BuildMenus(QMenuBar* bar);
    void BuildToolBar();
    QToolButton* AddDropDownButton(const char* action, const QString& buttonName, QMenu* menu);

    QMainWindow* Window;
    QHash<QString, QAction*> Actions;
    QHash<QAction*, const TViewerCommand*> Commands;
    QToolBar* ToolBar_ = nullptr;
    QMenu* FavouritesMenu_ = nullptr;
    QToolButton* RightLinkBtn_ = nullptr;
};

} // namespace tavro::app
