#pragma once

#include "core/SortedList.h"
#include "reader/MsgNavigation.h"

#include <QIcon>
#include <QObject>
#include <QPointer>

#include <functional>

class QTimer;

namespace tavro {
class TCustomBase;
class TEcho;
class TTreeInfo;
class TUser;
} // namespace tavro

namespace tavro::app {

class TAreaTree;
class TMessageDisplay;
class TMsgListPane;

// The open area: a focused tree node opens into the message list, the list follows what
// the tosser does to the base while it is open, and the update step refreshes it.
class TViewerArea final : public QObject {
    Q_OBJECT
public:
    static constexpr int UpdateIntervalMs = 10000;

    TViewerArea(TAreaTree* tree, TMsgListPane* list, TMessageDisplay* display, QObject* parent = nullptr);

    // Rebuilds the tree for the user, scans every area for unread mail and opens the
    // first node; null closes everything.
    void SetUser(TUser* user);
    TUser* User() const { return User_; }

    // The area shown in the list, null for a folder or nothing.
    TEcho* OpenEcho() const { return Echo; }
    TTreeInfo* OpenNode() const { return Node; }
    bool Threads() const { return Threads_; }
    void SetThreads(bool on);

    // Closes the open area's base: its last-read pointer and marks are written.
    void CloseOpenBase();
    // Refills the list when the base changed on disk; a locked area waits for the update step.
    void KeepCurrent();
    // Every ten seconds, and at once after a message was sent.
    void UpdateStep();
    // After the program itself changed the open base: it is read again and the list refilled,
    // focusing the last-read message.
    void Reload();

    // Moves the focus in the list; a move that finds no row goes to the tree.
    void Move(TMove move);
    // The marks of the open area, as ids; every change shows in the list.
    const TSortedList& Marks() const { return Marks_; }
    void ChangeMarks(const std::function<void(TSortedList& marks, TCustomBase& base)>& change);
    void ToggleCurrentMark();
    // Read marks changed behind the list: rows, tree and header follow.
    void ReadStateChanged();

    // Whether the message pane is on screen: only then does showing a message mark it read.
    std::function<bool()> MessagePaneShown;

signals:
    // A move found no row: the tree takes over.
    void GoToTree();
    // The window caption's text after "Tavro Viewer".
    void CaptionChanged(const QString& name, bool hasNode);
    // Whether there is an area, messages, a current message changed.
    void CommandsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void NodeFocused(TTreeInfo* node);
    void OpenArea(TTreeInfo* node);
    void Refill();
    void SyncMarks(TCustomBase& base);
    void MarkLocked();
    void ShowMessage(int position);
    QIcon RowIcon(int position) const;
    TCustomBase* Base() const;

    TAreaTree* Tree;
    TMsgListPane* List;
    TMessageDisplay* Display;
    QTimer* Timer;
    TUser* User_ = nullptr;
    TTreeInfo* Node = nullptr;
    TEcho* Echo = nullptr;
    bool Threads_ = false;
    bool Filling = false;
    TSortedList Marks_;
};

} // namespace tavro::app
