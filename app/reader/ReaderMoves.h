#pragma once

#include "ReaderKeys.h"

#include <QObject>

#include <functional>
#include <vector>

class QAction;
class QString;

namespace tavro::app {

class TViewForm;

// Moving through the open area and marking its messages: the window's navigation and
// "Mark" commands and the keys of the text and the list.
class TReaderMoves final : public QObject {
    Q_OBJECT
public:
    explicit TReaderMoves(TViewForm* form);

    // Runs one command; false when it did nothing, so its key goes on to the pane.
    bool Run(TReaderCommand command);
    // The tree takes over: shown alone in full-screen mode, otherwise focused.
    void GoToTree();
    void GoToList();
    void GoToText();
    // Opens the next area in tree order with unread mail, at its last-read message.
    bool NextUnreadArea();

protected:
    // The list's clicks with Ctrl or Shift, and its double clicks.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool ListClicked(int position, int column, Qt::KeyboardModifiers modifiers, bool doubleClick);
    void ConnectActions();
    void OnAction(const char* name, std::function<void()> run);
    bool ClickLink(bool next);
    // Positions of the rows on display, those in closed threads left out, from the top.
    std::vector<int> RowsOnDisplay() const;
    void MarkBeside(bool before);

    TViewForm* Form;
    TReaderKeys* Keys;
};

} // namespace tavro::app
